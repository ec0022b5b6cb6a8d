#pragma once

#include "core/checkerror.h"
#include "download/cataloguecache.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

class QNetworkProxy;
class QUrl;
struct DownloadSettings;

// Takes the body of the catalogue's response piece by piece, as it arrives.
// Whether the pieces are the catalogue is known only when the transfer has
// ended whole.
using CatalogueSink = std::function<void(QByteArrayView piece)>;

// What came over the network for the catalogue: the answer's status (200, or
// 304 when the kept copy was read), the bytes of its body as they came, and
// the validators of the catalogue read.
struct CatalogueTransfer
{
    int status = 0;
    qint64 bytes = 0;
    Validators validators;
};

// How a catalogue download ended: whole, or why not.
struct DownloadResult
{
    CheckError error; // code 3 (network) or 5 (catalogue) when the download failed
    // Of an HTTP answer with a status: none for a local file.
    std::optional<CatalogueTransfer> transfer;

    static DownloadResult failure(const QString &title, const QString &message);
    // "An error occurred: <reason> (<code>)" under the title "Network Error".
    static DownloadResult networkError(const QString &reason, int code);
    // How far a download had come when its time ran out: whether the server
    // answered, and how much of the body arrived (as sent, before unpacking)
    // of how much it announced (-1: not announced).
    struct Progress
    {
        bool answered = false;
        qint64 arrived = 0;
        qint64 total = -1;
    };
    // "Network Timeout": the limit of the settings' client, and how far it
    // came.
    static DownloadResult timeout(const DownloadSettings &settings, const Progress &progress);
    // A final response other than 2xx, which is never the catalogue, named by
    // its status, the server's reason phrase and the address (password left
    // out). The reason is untrusted text (see plainReason).
    static DownloadResult httpError(int status, const QString &reason, const QUrl &url, int code);
    // A 1xx other than 100, at which the built-in client ends the reply.
    static DownloadResult interimReply(int status, const QString &reason);
    // The proxy's name could not be looked up, or it refused the connection.
    static DownloadResult proxyNotFound(const QNetworkProxy &proxy, int code);
    static DownloadResult proxyRefused(const QNetworkProxy &proxy, int code);
    // An address whose scheme neither client is asked to fetch.
    static DownloadResult unsupportedScheme(const QString &url);
    // -r without a curl program to run.
    static DownloadResult curlMissing();
    // Catalogue errors: nothing in the text, or more than the limit.
    static DownloadResult emptyCatalogue();
    static DownloadResult tooLarge(qint64 limit);

    // A reason phrase as the message may hold it: plain text without control
    // characters (each becomes U+FFFD), at most 80 characters.
    static QString plainReason(const QString &reason);
};
