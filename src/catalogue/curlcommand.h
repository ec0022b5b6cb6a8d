#pragma once

#include <QByteArray>
#include <QNetworkProxy>
#include <QString>
#include <QStringList>

#include <optional>

// How curl is run for the catalogue: started directly (no shell), with the
// proxy handed over on its standard input as a configuration line, because any
// local user can read another process's command line.
struct CurlCommand
{
    QStringList arguments;
    QByteArray config; // written to curl's standard input

    static CurlCommand forDownload(const QString &url, const std::optional<QNetworkProxy> &proxy);

    // A value in double quotes for curl's configuration syntax.
    static QByteArray quoted(const QByteArray &value);
    // The error line curl wrote on its standard error.
    static QString errorLine(const QByteArray &standardError);
    // The HTTP status curl reported on its standard error; 0 when there was
    // no HTTP response (a file: address, a failed connection).
    static int httpStatus(const QByteArray &standardError);

    static constexpr const char *kStatusLabel = "HTTP status: ";
};
