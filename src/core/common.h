#pragma once

#include "core/cryptdecrypt.h"

#include <QMutex>
#include <QNetworkProxy>
#include <QString>

#include <memory>

// The process-wide settings store: what the user configures (proxy, check at
// login), the catalogue URL, curl choice and time limit of this run, and the
// code of the last failure, which the reports consult.
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

    void readSettings();
    // Returns false when the settings could not be written (lastError is then 2).
    bool saveSettings();
    // The native path of the settings file.
    QString settingsFileName() const;
    // Tells the user that saveSettings() failed, naming the file.
    void showWriteError() const;
    // Tells the user that the settings could not be read, naming the file.
    void showReadError() const;
    QString lastErrorString() const;
    // A new check starts without the failure of an earlier check (codes 3 to
    // 5); a failure of the settings or of the home directory stays.
    void clearCheckError();

    // The text of an error code; empty for an unknown code.
    static QString errorString(int code);

    QString title = QStringLiteral("Brivex Server and Extensions Korvane");
    QString updateUrl = QStringLiteral("http://downloads.zedo.example/korvane/patches.json");
    QNetworkProxy proxy;
    bool useCurl = false;
    // The download's time limit for this run (-t), in seconds; 0 keeps the
    // defaults. Not saved.
    int timeLimitSeconds = 0;
    bool useProxy = false;
    bool checkAtLogin = false;
    std::unique_ptr<CryptDecrypt> crypt;
    int lastError = ErrNone;

private:
    Common();
    Q_DISABLE_COPY(Common)

    static Common *s_instance;
    static QMutex s_mutex;
};
