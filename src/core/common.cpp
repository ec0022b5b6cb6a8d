#include "core/common.h"

#include "core/utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSettings>

namespace {

const QString kCheckAtLogin = QStringLiteral("Startup/checkAtLogin");
const QString kUseProxy = QStringLiteral("Startup/UseProxyServer");
const QString kProxyHost = QStringLiteral("Startup/ProxyHost");
const QString kProxyPort = QStringLiteral("Startup/ProxyPort");
const QString kProxyUser = QStringLiteral("Startup/ProxyUsername");
const QString kProxyPassword = QStringLiteral("Startup/ProxyPassword");

bool isHexadecimal(const QString &text)
{
    if (text.size() % 2 != 0)
        return false;
    for (QChar c : text) {
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return false;
    }
    return true;
}

// The file holds the proxy password, so it is made readable by its owner only
// before anything is written to it; QSettings keeps the permissions of an
// existing file when it replaces it.
void prepareOwnerOnlyFile(const QString &fileName)
{
    if (QFileInfo::exists(fileName)) {
        QFile::setPermissions(fileName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return;
    }
    if (!Utils::makeOwnerOnlyDirectory(QFileInfo(fileName).absolutePath()))
        return;
    QFile file(fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        file.close();
}

// QSettings waits forever on a FIFO or a directory at the settings file or at
// its lock file, so anything there but a regular file (or a link to one) is
// refused before QSettings looks at it.
bool isUsableSettingsFile(const QString &fileName)
{
    for (const QString &path : QStringList {fileName, fileName + QStringLiteral(".lock")}) {
        const QFileInfo info(path);
        if ((info.exists() || info.isSymLink()) && !info.isFile())
            return false;
    }
    return true;
}

// The user's settings file of this application, where QSettings in its native
// format keeps it. Opened by name, so that no other file (the organisation-wide
// one, system fallbacks) is read, and so that a relative XDG_CONFIG_HOME, which
// Qt would take as it stands, never puts the file under the current folder.
QString settingsPath()
{
    QString config
        = Utils::configHome(qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME"));
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QLatin1Char('/') + QCoreApplication::organizationName() + QLatin1Char('/')
        + QCoreApplication::applicationName() + QStringLiteral(".conf");
}

} // namespace

Common *Common::s_instance = nullptr;
QMutex Common::s_mutex;

Common::Common()
    : crypt(std::make_unique<CryptDecrypt>(47205813))
{ }

Common *Common::instance()
{
    QMutexLocker locker(&s_mutex);
    if (!s_instance)
        s_instance = new Common;
    return s_instance;
}

void Common::readSettings()
{
    const QString fileName = settingsPath();
    if (!isUsableSettingsFile(fileName)) {
        proxy.setType(QNetworkProxy::HttpProxy);
        showReadError();
        return;
    }
    QSettings settings(fileName, QSettings::IniFormat);
    checkAtLogin = settings.value(kCheckAtLogin).toBool();
    useProxy = settings.value(kUseProxy).toBool();
    proxy.setHostName(settings.value(kProxyHost).toString());
    proxy.setPort(static_cast<quint16>(settings.value(kProxyPort).toInt()));
    proxy.setUser(settings.value(kProxyUser).toString());

    const QString storedPassword = settings.value(kProxyPassword).toString();
    proxy.setPassword(crypt->decrypt(storedPassword));
    proxy.setType(QNetworkProxy::HttpProxy);

    if (settings.status() == QSettings::AccessError) {
        showReadError();
    } else if (!isHexadecimal(storedPassword)) {
        // Deciphering damaged text would hand the proxy a meaningless password.
        proxy.setPassword(QString());
        Utils::ErrorMsg(QObject::tr("Settings Error"),
            QObject::tr("The stored proxy password in %1 is damaged and was ignored. "
                        "Please enter the proxy settings again.")
                .arg(QDir::toNativeSeparators(settings.fileName())),
            nullptr);
    }
}

bool Common::saveSettings()
{
    const QString fileName = settingsPath();
    if (!isUsableSettingsFile(fileName))
        return false;
    prepareOwnerOnlyFile(fileName);
    QSettings settings(fileName, QSettings::IniFormat);
    settings.setValue(kCheckAtLogin, checkAtLogin);
    settings.setValue(kUseProxy, useProxy);
    settings.setValue(kProxyHost, proxy.hostName());
    settings.setValue(kProxyPort, static_cast<int>(proxy.port()));
    settings.setValue(kProxyUser, proxy.user());
    settings.setValue(
        kProxyPassword, proxy.password().isEmpty() ? QString() : crypt->encrypt(proxy.password()));
    // Write now, so that a file that cannot be written is reported here and
    // not silently lost when the settings object goes away.
    settings.sync();
    if (settings.status() == QSettings::AccessError)
        return false;
    QFile::setPermissions(settings.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

QString Common::settingsFileName() const
{
    return QDir::toNativeSeparators(settingsPath());
}

void Common::showReadError() const
{
    Utils::ErrorMsg(QObject::tr("Settings Error"),
        QObject::tr("The settings could not be read from %1. "
                    "The default settings are used for this run.")
            .arg(settingsFileName()),
        nullptr);
}

void Common::showWriteError() const
{
    Utils::ErrorMsg(QObject::tr("Settings Error"),
        QObject::tr("The settings could not be written to %1.").arg(settingsFileName()), nullptr);
}

QString Common::errorString(int code)
{
    switch (code) {
    case ErrNone:
        return QObject::tr("No Error");
    case ErrSystemConfig:
        return QObject::tr("Error reading system configuration");
    case ErrSettingsWrite:
        return QObject::tr("Error writing settings.");
    case ErrNetwork:
        return QObject::tr("Network connection error.");
    case ErrAuthentication:
        return QObject::tr("A server authentication error occurred.");
    case ErrCatalogue:
        return QObject::tr("The patch catalogue could not be read.");
    }
    return QString();
}
