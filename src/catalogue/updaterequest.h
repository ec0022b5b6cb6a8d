#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslError>
#include <QString>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches the patch catalogue. The whole transfer happens inside the
// constructor (built-in HTTP client, or curl when the settings say so); after
// it, json() holds the catalogue text, or nothing when the transfer failed.
// A failure has then been shown to the user, logged, and recorded as
// Common::ErrNetwork.
class UpdateRequest : public QObject
{
    Q_OBJECT

public:
    explicit UpdateRequest(const QString &url);
    ~UpdateRequest() override;

    // The catalogue text (UTF-8 decoded, byte-order mark dropped, cut at the
    // first NUL byte).
    QString json() const;
    // The same catalogue as UTF-8 bytes, for parsing without another copy.
    QByteArray jsonBytes() const;

signals:
    void dataComplete();

public slots:
    void replyFinished(QNetworkReply *reply);
    void sslErrors(QNetworkReply *reply, const QList<QSslError> &errors);

private:
    void checkProxy();
    void download();
    void downloadJsonUsingCurl();

    std::unique_ptr<QNetworkAccessManager> m_manager;
    QByteArray m_json;
    QString m_url;
};
