#pragma once

#include "download/cataloguecache.h"

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

    // curl gives up after maxTimeMs. With validators the request is
    // conditional (If-None-Match, If-Modified-Since).
    static CurlCommand forDownload(const QString &url, const std::optional<QNetworkProxy> &proxy,
        int maxTimeMs, const Validators &validators = {}, const QByteArray &userAgent = {});

    // A value in double quotes for curl's configuration syntax.
    static QByteArray quoted(const QByteArray &value);

    // What curl wrote on its standard error: the response headers (of every
    // hop), its error line, then the status, the address it ended at and how
    // much of the body arrived.
    struct Report
    {
        QString errorLine; // "curl: (22) ..."; without one, the last other line
        int status = 0; // 0 when there was no HTTP response (file:, no connection)
        QString reason; // the server's reason phrase for that status: untrusted
        QString url; // where the last request went
        qint64 arrived = 0; // of the last body, as sent (before unpacking)
        qint64 total = -1; // its Content-Length; -1 without one
        Validators validators; // of the last answer
    };
    static Report report(const QByteArray &standardError);

    static constexpr const char *kStatusLabel = "HTTP status: ";
    static constexpr const char *kUrlLabel = "Last URL: ";
    static constexpr const char *kArrivedLabel = "Body bytes: ";
    static constexpr const char *kTotalLabel = "Announced bytes: ";
    static constexpr const char *kEtagLabel = "Answer ETag: ";
    static constexpr const char *kLastModifiedLabel = "Answer Last-Modified: ";
};
