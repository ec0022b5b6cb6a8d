#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

// Unpacks a gzip- or deflate-encoded response body a piece at a time, for the
// built-in client. Qt's own unpacking runs ahead of the reader over each chunk
// it receives and refuses a large one with an empty reason, so a bomb never
// reached the cap on the catalogue; here the cap counts what the body unpacks
// to, as it does with curl, and a body never unpacks further than is read.
class BodyDecoder
{
public:
    // The encodings the request offers.
    static constexpr const char *kAccepted = "gzip, deflate";

    // Takes an unpacked part; false stops the unpacking.
    using Output = std::function<bool(QByteArrayView part)>;

    // For a response's Content-Encoding; none, or "identity", passes the body
    // as it is.
    explicit BodyDecoder(const QByteArray &contentEncoding);
    ~BodyDecoder();
    Q_DISABLE_COPY(BodyDecoder)

    // Hands what the piece unpacks to on to out, in parts of at most 256 KiB.
    // False when the body cannot be unpacked; error() then says why.
    bool decode(QByteArrayView piece, const Output &out);
    const QString &error() const { return m_error; }

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream; // none for a body sent as it is
    QByteArray m_part;
    QString m_error;
};
