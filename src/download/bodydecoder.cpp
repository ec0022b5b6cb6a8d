#include "download/bodydecoder.h"

#include <QCoreApplication>

#define ZLIB_CONST
#include <zlib.h>

namespace {

constexpr qsizetype kPart = 256 * 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("UpdateRequest", text);
}

} // namespace

struct BodyDecoder::Stream
{
    z_stream z {};
    bool open = false;
    ~Stream()
    {
        if (open)
            inflateEnd(&z);
    }
};

BodyDecoder::BodyDecoder(const QByteArray &contentEncoding)
{
    const QByteArray encoding = contentEncoding.trimmed().toLower();
    if (encoding.isEmpty() || encoding == "identity")
        return;
    if (encoding != "gzip" && encoding != "x-gzip" && encoding != "deflate") {
        m_error = tr("The update server sent the catalogue encoded as \"%1\", which was not asked "
                     "for")
                      .arg(QString::fromLatin1(encoding.left(40)));
        return;
    }
    m_stream = std::make_unique<Stream>();
    // 15 + 32: a gzip or a zlib header, whichever the server sent.
    m_stream->open = inflateInit2(&m_stream->z, 15 + 32) == Z_OK;
    if (!m_stream->open)
        m_error = tr("The compressed catalogue could not be unpacked: %1")
                      .arg(QStringLiteral("out of memory"));
    m_part.resize(kPart);
}

BodyDecoder::~BodyDecoder() = default;

bool BodyDecoder::decode(QByteArrayView piece, const Output &out)
{
    if (!m_error.isEmpty())
        return false;
    if (!m_stream) {
        out(piece);
        return true;
    }
    z_stream &z = m_stream->z;
    z.next_in = reinterpret_cast<const Bytef *>(piece.data());
    z.avail_in = uInt(piece.size());
    for (;;) {
        z.next_out = reinterpret_cast<Bytef *>(m_part.data());
        z.avail_out = uInt(m_part.size());
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_DATA_ERROR || status == Z_NEED_DICT || status == Z_MEM_ERROR
            || status == Z_STREAM_ERROR) {
            m_error = tr("The compressed catalogue could not be unpacked: %1")
                          .arg(QString::fromLatin1(z.msg ? z.msg : "zlib error"));
            return false;
        }
        const qsizetype made = m_part.size() - qsizetype(z.avail_out);
        if (made > 0 && !out(QByteArrayView(m_part.constData(), made)))
            return true;
        if (status == Z_STREAM_END && z.avail_in > 0) {
            inflateReset(&z); // gzip allows members one after another
            continue;
        }
        // Room left in the part: the piece is used up, or the stream ended.
        if (z.avail_out != 0)
            return true;
    }
}
