#pragma once

#include "catalogue/downloadresult.h"
#include "catalogue/downloadsettings.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslError>

#include <memory>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// Fetches the patch catalogue. The whole transfer happens inside the
// constructor, with the built-in HTTP client (following at most one redirect,
// within the time limit, waiting in nested event loops) or with curl. Nothing
// is shown or recorded here: error() says why json() is empty.
class UpdateRequest : public QObject
{
    Q_OBJECT

public:
    explicit UpdateRequest(const DownloadSettings &settings);
    ~UpdateRequest() override;

    // The catalogue text as UTF-8 (byte-order mark dropped, cut at the first
    // NUL byte); empty when the download failed.
    const CatalogueBody &body() const { return m_result.body; }
    const CheckError &error() const { return m_result.error; }

public slots:
    void sslErrors(QNetworkReply *reply, const QList<QSslError> &errors);

private:
    void checkProxy();
    // Sends the request; the body collects in m_body as it arrives.
    QNetworkReply *get(const QUrl &url);
    DownloadResult download();
    DownloadResult readLocalFile(const std::shared_ptr<QFile> &file);
    // A reply that failed without an HTTP status.
    DownloadResult replyFailure(const QNetworkReply &reply) const;

    DownloadSettings m_settings;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QByteArray m_body; // of the current reply
    bool m_tooLarge = false; // the current reply passed the size limit
    DownloadResult m_result;
};
