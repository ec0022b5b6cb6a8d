#pragma once

#include "download/cataloguecache.h"
#include "download/downloadresult.h"
#include "download/downloadsettings.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslError>

#include <memory>
#include <optional>

class BodyDecoder;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// Fetches the patch catalogue. The whole transfer happens inside the
// constructor, with the built-in HTTP client (following at most one redirect,
// within the time limit, waiting in nested event loops) or with curl, or from
// a local file; the body goes to the sink as it arrives, and is never held
// whole. Nothing is shown or recorded here: error() says whether the transfer
// ended whole, and so whether what the sink got is the catalogue. Over HTTP the
// request is conditional when a copy of the catalogue is kept: a 304 then
// hands the kept copy to the sink instead.
class UpdateRequest : public QObject
{
    Q_OBJECT

public:
    // Without a sink, the body is read and let go.
    explicit UpdateRequest(const DownloadSettings &settings, CatalogueSink sink = {});
    ~UpdateRequest() override;

    const CheckError &error() const { return m_result.error; }
    const std::optional<CatalogueTransfer> &transfer() const { return m_result.transfer; }
    // What the sink got is the kept copy (a 304).
    bool readKeptCopy() const { return m_readKept; }
    // Keeps what was fetched, once it has been read as a catalogue (and
    // clears away what killed runs left).
    void keepCopy();

public slots:
    void sslErrors(QNetworkReply *reply, const QList<QSslError> &errors);

private:
    void checkProxy();
    // Sends the request; a 2xx body goes to the sink, and to the cache, as it
    // arrives.
    QNetworkReply *get(const QUrl &url);
    void deliver(QByteArrayView piece);
    // The kept copy's, with which the request is conditional.
    Validators sentValidators() const;
    // After a 304: the kept copy to the sink, or why not.
    void readKept();
    // What the reply has for the sink now, unpacked when it came compressed.
    void pass(QNetworkReply *reply);
    // A body that passed the size limit or could not be unpacked.
    std::optional<DownloadResult> bodyFailure() const;
    DownloadResult download();
    DownloadResult readLocalFile(QFile &file);
    // A reply that failed without an HTTP status.
    DownloadResult replyFailure(const QNetworkReply &reply) const;

    DownloadSettings m_settings;
    CatalogueSink m_sink;
    std::unique_ptr<CatalogueCache> m_cache; // none for a local file
    std::optional<CatalogueCache::Kept> m_kept; // opened before the request
    bool m_readKept = false;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QByteArray m_piece; // room for one read
    std::unique_ptr<BodyDecoder> m_decoder; // of the current reply, once it has a status
    qint64 m_arrived = 0; // of the current reply's body, as sent
    qint64 m_received = 0; // of it, unpacked
    bool m_tooLarge = false; // the current reply passed the size limit
    DownloadResult m_result;
};
