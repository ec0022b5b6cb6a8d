#include "app/jsonwriter.h"

#include "core/console.h"

namespace {

// Written in pieces of about this size.
constexpr qsizetype kPiece = 64 * 1024;

void appendHexEscape(QByteArray &out, char16_t c)
{
    static const char digits[] = "0123456789abcdef";
    const char escape[] = {'\\', 'u', digits[(c >> 12) & 0xF], digits[(c >> 8) & 0xF],
        digits[(c >> 4) & 0xF], digits[c & 0xF]};
    out.append(escape, sizeof escape);
}

// The short escape of a character, or nullptr.
const char *shortEscape(char16_t c)
{
    switch (c) {
    case u'"':
        return "\\\"";
    case u'\\':
        return "\\\\";
    case u'\b':
        return "\\b";
    case u'\f':
        return "\\f";
    case u'\n':
        return "\\n";
    case u'\r':
        return "\\r";
    case u'\t':
        return "\\t";
    }
    return nullptr;
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
    }
    out += char(0x80 | (c & 0x3F));
}

} // namespace

JsonWriter::JsonWriter(Sink sink)
    : m_sink(std::move(sink))
{
    m_buffer.reserve(kPiece + 1024);
}

JsonWriter::~JsonWriter() = default;

void JsonWriter::separate()
{
    if (m_needsComma)
        m_buffer += ',';
    m_needsComma = false;
}

void JsonWriter::flushWhenFull()
{
    if (m_buffer.size() >= kPiece)
        flush();
}

void JsonWriter::endLine()
{
    m_buffer += '\n';
    m_needsComma = false;
    flush();
}

void JsonWriter::flush()
{
    if (!m_buffer.isEmpty())
        m_sink(m_buffer);
    m_buffer.clear();
}

void JsonWriter::beginObject()
{
    separate();
    m_buffer += '{';
}

void JsonWriter::endObject()
{
    m_buffer += '}';
    m_needsComma = true;
    flushWhenFull();
}

void JsonWriter::beginArray()
{
    separate();
    m_buffer += '[';
}

void JsonWriter::endArray()
{
    m_buffer += ']';
    m_needsComma = true;
    flushWhenFull();
}

void JsonWriter::key(const char *name)
{
    separate();
    m_buffer += '"';
    m_buffer += name;
    m_buffer += "\":";
}

void JsonWriter::text(const QString &value)
{
    separate();
    m_buffer += '"';
    const char16_t *c = reinterpret_cast<const char16_t *>(value.utf16());
    const char16_t *end = c + value.size();
    for (; c != end; ++c) {
        if (*c >= 0x20 && *c < 0x7F && *c != u'"' && *c != u'\\') {
            m_buffer += char(*c); // the common case, passed over quickly
        } else if (const char *escape = shortEscape(*c)) {
            m_buffer += escape;
        } else if (Console::isControl(*c)) {
            appendHexEscape(m_buffer, *c);
        } else if (QChar::isHighSurrogate(*c) && c + 1 != end && QChar::isLowSurrogate(c[1])) {
            appendUtf8(m_buffer, QChar::surrogateToUcs4(c[0], c[1]));
            ++c;
        } else if (QChar::isSurrogate(*c)) { // a lone one: valid UTF-8 out
            appendHexEscape(m_buffer, *c);
        } else {
            appendUtf8(m_buffer, *c);
        }
    }
    m_buffer += '"';
    m_needsComma = true;
    flushWhenFull();
}

void JsonWriter::boolean(bool value)
{
    separate();
    m_buffer += value ? "true" : "false";
    m_needsComma = true;
}

void JsonWriter::integer(qint64 value)
{
    separate();
    m_buffer += QByteArray::number(value);
    m_needsComma = true;
}

void JsonWriter::null()
{
    separate();
    m_buffer += "null";
    m_needsComma = true;
}
