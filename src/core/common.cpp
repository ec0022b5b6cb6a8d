#include "core/common.h"

#include "core/logger.h"
#include "core/utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QObject>
#include <QSettings>

namespace {

const QString kCheckAtLogin = QStringLiteral("Startup/checkAtLogin");
const QString kUseProxy = QStringLiteral("Startup/UseProxyServer");
const QString kProxyHost = QStringLiteral("Startup/ProxyHost");
const QString kProxyPort = QStringLiteral("Startup/ProxyPort");
const QString kProxyUser = QStringLiteral("Startup/ProxyUsername");
const QString kProxyPassword = QStringLiteral("Startup/ProxyPassword");
const QString kUpdateUrl = QStringLiteral("Startup/updateUrl");
const QString kKeys[]
    = {kCheckAtLogin, kUseProxy, kProxyHost, kProxyPort, kProxyUser, kProxyPassword, kUpdateUrl};

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

// Anything at the path but a regular file (or a link to one) is refused
// before QSettings looks at it: QSettings waits forever on a FIFO or a folder.
bool isRegularOrMissing(const QString &path)
{
    const QFileInfo info(path);
    return !(info.exists() || info.isSymLink()) || info.isFile();
}

// The user's file is written too, under a lock file beside it.
bool isUsableSettingsFile(const QString &fileName)
{
    return isRegularOrMissing(fileName) && isRegularOrMissing(fileName + QStringLiteral(".lock"));
}

QString settingsFileIn(const QString &folder)
{
    return folder + QLatin1Char('/') + QCoreApplication::organizationName() + QLatin1Char('/')
        + QCoreApplication::applicationName() + QStringLiteral(".conf");
}

// The user's settings file of this application, where QSettings in its native
// format keeps it. Opened by name, so that no other file (the organisation-wide
// one, Qt's own fallbacks) is read, and so that a relative XDG_CONFIG_HOME,
// which Qt would take as it stands, never puts the file under the current
// folder.
QString settingsPath()
{
    QString config
        = Utils::configHome(qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME"));
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return settingsFileIn(config);
}

// The site-wide settings file: the first one found in the folders of
// XDG_CONFIG_DIRS, whatever it is; empty when there is none.
QString systemSettingsPath()
{
    for (const QString &folder : Utils::configDirs(qEnvironmentVariable("XDG_CONFIG_DIRS"))) {
        const QString path = settingsFileIn(folder);
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            return path;
    }
    return QString();
}

// A value as text: QSettings reads an unquoted value with commas as a list.
QString textOf(const QVariant &value)
{
    return value.userType() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(','))
                                                      : value.toString();
}

// The keys of one file that no earlier file held, into *values and *sources.
void mergeKeys(const QSettings &settings, QVariantMap *values, QMap<QString, QString> *sources)
{
    for (const QString &key : kKeys) {
        if (!values->contains(key) && settings.contains(key)) {
            values->insert(key, settings.value(key));
            sources->insert(key, QDir::toNativeSeparators(settings.fileName()));
        }
    }
}

} // namespace

const QString Common::defaultUpdateUrl
    = QStringLiteral("http://downloads.zedo.example/korvane/patches.json");

Common *Common::s_instance = nullptr;
QMutex Common::s_mutex;

Common::Common()
    : crypt(std::make_unique<CryptDecrypt>(47205813))
{
    proxy.setType(QNetworkProxy::HttpProxy);
    m_stored = storedValues();
}

Common *Common::instance()
{
    QMutexLocker locker(&s_mutex);
    if (!s_instance)
        s_instance = new Common;
    return s_instance;
}

void Common::readSettings()
{
    QVariantMap values;
    QMap<QString, QString> sources;
    const QString fileName = settingsPath();
    bool userFileRead = isUsableSettingsFile(fileName);
    if (userFileRead) {
        const QSettings settings(fileName, QSettings::IniFormat);
        mergeKeys(settings, &values, &sources);
        userFileRead = settings.status() != QSettings::AccessError;
    }
    if (!userFileRead)
        showReadError();
    const QString systemFile = systemSettingsPath();
    if (!systemFile.isEmpty()) {
        // QSettings reads a file it may not read as an empty one.
        if (QFileInfo(systemFile).isFile() && QFileInfo(systemFile).isReadable()) {
            const QSettings settings(systemFile, QSettings::IniFormat);
            mergeKeys(settings, &values, &sources);
        } else {
            Utils::ErrorMsg(QObject::tr("Settings Error"),
                QObject::tr("The site-wide settings in %1 could not be read and are ignored "
                            "for this run: it must be a regular file that every user of "
                            "korvane can read.")
                    .arg(QDir::toNativeSeparators(systemFile)),
                nullptr);
        }
    }

    checkAtLogin = values.value(kCheckAtLogin).toBool();
    useProxy = values.value(kUseProxy).toBool();
    proxy = QNetworkProxy(QNetworkProxy::HttpProxy, textOf(values.value(kProxyHost)),
        static_cast<quint16>(values.value(kProxyPort).toInt()), textOf(values.value(kProxyUser)));
    const QString storedPassword = textOf(values.value(kProxyPassword));
    const bool damaged = !isHexadecimal(storedPassword);
    // Deciphering damaged text would hand the proxy a meaningless password.
    proxy.setPassword(damaged ? QString() : crypt->decrypt(storedPassword));
    const QString url = textOf(values.value(kUpdateUrl)).trimmed();
    updateUrl = url.isEmpty() ? defaultUpdateUrl : url;

    for (const QString &key : kKeys) {
        Logger::instance()->Print(Severity::Debug,
            QStringLiteral("Setting %1 from %2")
                .arg(key, sources.value(key, QStringLiteral("the built-in default"))));
    }
    m_stored = storedValues();
    // What a file that could not be read holds is not known: every key set
    // later is written.
    if (!userFileRead)
        m_stored.clear();
    if (damaged) {
        Utils::ErrorMsg(QObject::tr("Settings Error"),
            QObject::tr("The stored proxy password in %1 is damaged and was ignored. "
                        "Please enter the proxy settings again.")
                .arg(sources.value(kProxyPassword)),
            nullptr);
        // The next write replaces a damaged password of the user's own.
        if (sources.value(kProxyPassword) == QDir::toNativeSeparators(fileName))
            m_stored.remove(kProxyPassword);
    }
}

QVariantMap Common::storedValues() const
{
    return {{kCheckAtLogin, checkAtLogin}, {kUseProxy, useProxy}, {kProxyHost, proxy.hostName()},
        {kProxyPort, static_cast<int>(proxy.port())}, {kProxyUser, proxy.user()},
        {kProxyPassword, proxy.password()}};
}

bool Common::saveSettings()
{
    const QVariantMap values = storedValues();
    QStringList changed;
    for (auto value = values.cbegin(); value != values.cend(); ++value) {
        if (m_stored.value(value.key()) != value.value())
            changed.append(value.key());
    }
    if (changed.isEmpty())
        return true;
    const QString fileName = settingsPath();
    if (!isUsableSettingsFile(fileName))
        return false;
    prepareOwnerOnlyFile(fileName);
    QSettings settings(fileName, QSettings::IniFormat);
    for (const QString &key : changed)
        settings.setValue(key, values.value(key));
    if (changed.contains(kProxyPassword)) { // obfuscated, never in clear
        settings.setValue(kProxyPassword,
            proxy.password().isEmpty() ? QString() : crypt->encrypt(proxy.password()));
    }
    // Write now, so that a file that cannot be written is reported here and
    // not silently lost when the settings object goes away.
    settings.sync();
    if (settings.status() == QSettings::AccessError)
        return false;
    QFile::setPermissions(settings.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_stored = values;
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
