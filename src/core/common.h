#pragma once

#include "core/cryptdecrypt.h"

#include <QMutex>
#include <QNetworkProxy>
#include <QString>
#include <QVariantMap>

#include <memory>

// The process-wide settings store: what is stored (the proxy, the check at
// log-on) and the catalogue URL used when a run names none. What one run was
// asked travels as its options (app/runoptions.h), never through here. The
// error codes are those of CheckError.
//
// Each key comes from the user's file, else from the site-wide file
// Zedo/Korvane.conf in the first folder of $XDG_CONFIG_DIRS that has one,
// else from the built-in default. Writes go to the user's file only, and
// only for the keys that changed, so that the user's file does not hide the
// site's values of the others.
class Common
{
public:
    enum ErrorCode {
        ErrNone = 0,
        ErrSystemConfig = 1,
        ErrSettingsWrite = 2,
        ErrNetwork = 3,
        ErrAuthentication = 4,
        ErrCatalogue = 5,
    };

    static Common *instance();

    // Logs (at Debug) which file each value came from.
    void readSettings();
    // Writes the keys whose value differs from the one read or last written;
    // false when they could not be written.
    bool saveSettings();
    // The native path of the settings file.
    QString settingsFileName() const;
    // Tells the user that saveSettings() failed, naming the file.
    void showWriteError() const;
    // Tells the user that the settings could not be read, naming the file.
    void showReadError() const;

    // The text of an error code; empty for an unknown code.
    static QString errorString(int code);

    QString title = QStringLiteral("Brivex Server and Extensions Korvane");
    static const QString defaultUpdateUrl;
    // Read only: korvane never writes it, so that one site-wide file can move
    // every host to a mirror.
    QString updateUrl = defaultUpdateUrl;
    QNetworkProxy proxy;
    bool useProxy = false;
    bool checkAtLogin = false;
    std::unique_ptr<CryptDecrypt> crypt;

private:
    Common();
    Q_DISABLE_COPY(Common)

    // The written keys' values, the password in clear.
    QVariantMap storedValues() const;
    // What saveSettings() compares with.
    QVariantMap m_stored;

    static Common *s_instance;
    static QMutex s_mutex;
};
