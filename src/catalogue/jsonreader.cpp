#include "catalogue/jsonreader.h"

#include <QIODevice>
#include <QtAlgorithms>

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr qsizetype kPiece = 256 * 1024;

bool isSpace(int c)
{
    // Bits 9, 10, 13 and 32: tab, line feed, carriage return, space.
    return c >= 0 && c <= ' ' && ((0x100002600ULL >> c) & 1) != 0;
}

bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

// Bytes that need no look inside a string: not '"', '\\', a control
// character or part of a multi-byte sequence.
bool isPlain(uchar c)
{
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

// The first byte from `from` on that a string's scan must look at: its end,
// an escape, a control character or a multi-byte sequence; `end` if none.
qsizetype findStringStop(const char *data, qsizetype from, qsizetype end)
{
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(0x20);
    for (; end - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + from));
        // Signed: bytes from 0x80 on count as below the space too.
        const __m128i stops = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
            _mm_cmplt_epi8(bytes, space));
        const int mask = _mm_movemask_epi8(stops);
        if (mask != 0)
            return from + qCountTrailingZeroBits(uint(mask));
    }
#endif
    while (from < end && isPlain(uchar(data[from])))
        ++from;
    return from;
}

// The length of the UTF-8 sequence a byte from 0x80 on starts, or 0.
int sequenceLength(uchar lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Well-formed as Unicode defines it: no overlong forms, no surrogates,
// nothing above U+10FFFF (noncharacters are allowed, as everywhere in Qt).
bool isWellFormed(const uchar *sequence, int length)
{
    uchar low = 0x80;
    uchar high = 0xBF;
    switch (sequence[0]) {
    case 0xE0:
        low = 0xA0;
        break;
    case 0xED:
        high = 0x9F;
        break;
    case 0xF0:
        low = 0x90;
        break;
    case 0xF4:
        high = 0x8F;
        break;
    default:
        break;
    }
    if (sequence[1] < low || sequence[1] > high)
        return false;
    for (int i = 2; i < length; ++i) {
        if (sequence[i] < 0x80 || sequence[i] > 0xBF)
            return false;
    }
    return true;
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// JSON's number grammar. Beyond it, only numbers that certainly lie well
// inside the range of a double pass: parse() refuses those that overflow or
// underflow, and this reader does not work out which those are.
bool isPlainNumber(QByteArrayView t)
{
    if (t.size() > 24)
        return false;
    qsizetype i = 0;
    const auto digits = [&] {
        const qsizetype start = i;
        while (i < t.size() && isDigit(t[i]))
            ++i;
        return i - start;
    };
    if (i < t.size() && t[i] == '-')
        ++i;
    if (i < t.size() && t[i] == '0')
        ++i;
    else if (digits() == 0)
        return false;
    if (i < t.size() && t[i] == '.') {
        ++i;
        if (digits() == 0)
            return false;
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        const qsizetype start = i;
        bool ok = false; // a longer exponent than an int holds does not read as 0
        if (digits() == 0 || t.sliced(start, i - start).toInt(&ok) > 280 || !ok)
            return false;
    }
    return i == t.size();
}

} // namespace

JSONHelper::Reader::Reader(QIODevice &device, qint64 size)
    : m_device(device)
    , m_unread(size)
{ }

JSONHelper::Reader::Kind JSONHelper::Reader::peek()
{
    if (m_failed)
        return Kind::Invalid;
    skipSpace();
    switch (next()) {
    case -1:
        return m_failed ? Kind::Invalid : Kind::End;
    case '{':
        return Kind::Object;
    case '[':
        return Kind::Array;
    case '"':
        return Kind::String;
    case 't':
        return Kind::True;
    case 'f':
        return Kind::False;
    case 'n':
        return Kind::Null;
    case '-':
        return Kind::Number;
    default:
        return isDigit(next()) ? Kind::Number : Kind::Invalid;
    }
}

bool JSONHelper::Reader::enterObject()
{
    if (peek() != Kind::Object || m_open.size() >= kMaxDepth)
        return fail();
    ++m_pos;
    m_open.append({true, true});
    return true;
}

bool JSONHelper::Reader::enterArray()
{
    if (peek() != Kind::Array || m_open.size() >= kMaxDepth)
        return fail();
    ++m_pos;
    m_open.append({false, true});
    return true;
}

// Steps to the next entry of the container entered last: past the comma
// before it, or past the container's end (then false).
bool JSONHelper::Reader::nextEntry(bool object)
{
    if (m_failed || m_open.isEmpty() || m_open.back().object != object)
        return fail();
    skipSpace();
    const int c = next();
    if (c == (object ? '}' : ']')) {
        ++m_pos;
        m_open.removeLast();
        return false;
    }
    if (m_open.back().first) {
        m_open.back().first = false;
        return true;
    }
    if (c != ',')
        return fail();
    ++m_pos;
    return true;
}

bool JSONHelper::Reader::nextMember(QByteArrayView *name)
{
    if (!nextEntry(true))
        return false;
    skipSpace();
    QByteArrayView content;
    bool escaped = false;
    if (next() != '"' || !scanString(&content, &escaped) || escaped)
        return fail();
    // Kept in the buffer while reading on to the colon, which may move it.
    m_mark = m_pos - 1 - content.size();
    skipSpace();
    const bool colon = next() == ':';
    *name = QByteArrayView(m_buffer.constData() + m_mark, content.size());
    m_mark = -1;
    if (!colon)
        return fail();
    ++m_pos;
    return true;
}

bool JSONHelper::Reader::nextElement()
{
    return nextEntry(false);
}

// One loop over the tokens rather than a call per value: most of a
// catalogue is passed over here.
bool JSONHelper::Reader::skip()
{
    enum class Want { Value, ValueOrEnd, Name, NameOrEnd, CommaOrEnd };
    // The containers opened here, the innermost in the lowest bit, set for
    // an object.
    quint64 objects = 0;
    int depth = 0;
    const int room = kMaxDepth - int(m_open.size());
    Want want = Want::Value;
    while (!m_failed) {
        skipSpace();
        const int c = next();
        if (depth > 0 && c == ((objects & 1) ? '}' : ']')
            && (want == Want::ValueOrEnd || want == Want::NameOrEnd || want == Want::CommaOrEnd)) {
            ++m_pos;
            objects >>= 1;
            --depth;
        } else if (want == Want::CommaOrEnd) {
            if (c != ',')
                return fail();
            ++m_pos;
            want = (objects & 1) ? Want::Name : Want::Value;
            continue;
        } else if (want == Want::Name || want == Want::NameOrEnd) {
            if (c != '"' || !passString())
                return fail();
            skipSpace();
            if (next() != ':')
                return fail();
            ++m_pos;
            // The usual member, a name and a text, in one step.
            skipSpace();
            want = next() == '"' ? Want::CommaOrEnd : Want::Value;
            if (want == Want::CommaOrEnd && !passString())
                return fail();
            continue;
        } else if (c == '{' || c == '[') {
            if (depth >= room)
                return fail();
            ++m_pos;
            objects = objects << 1 | quint64(c == '{');
            ++depth;
            want = c == '{' ? Want::NameOrEnd : Want::ValueOrEnd;
            continue;
        } else if (c == '"') {
            passString();
        } else if (c == '-' || isDigit(c)) {
            QByteArrayView ignored;
            scanNumber(&ignored);
        } else if (c == 't' || c == 'f' || c == 'n') {
            scanLiteral(c == 't' ? "true" : c == 'f' ? "false" : "null");
        } else {
            return fail();
        }
        // A whole value has been passed.
        if (depth == 0)
            return !m_failed;
        want = Want::CommaOrEnd;
    }
    return false;
}

// At the opening quote: the usual string, plain and within the buffer, is
// passed at once; any other is scanned in full.
bool JSONHelper::Reader::passString()
{
    const char *data = m_buffer.constData();
    const qsizetype stop = findStringStop(data, m_pos + 1, m_end);
    if (stop < m_end && data[stop] == '"') {
        m_pos = stop + 1;
        return true;
    }
    QByteArrayView ignored;
    bool escaped = false;
    return scanString(&ignored, &escaped);
}

QString JSONHelper::Reader::text()
{
    QByteArrayView content;
    bool escaped = false;
    if (peek() != Kind::String || !scanString(&content, &escaped)) {
        fail();
        return QString();
    }
    return escaped ? unescape(content) : QString::fromUtf8(content);
}

QByteArray JSONHelper::Reader::number()
{
    QByteArrayView token;
    if (peek() != Kind::Number || !scanNumber(&token)) {
        fail();
        return QByteArray();
    }
    return token.toByteArray();
}

bool JSONHelper::Reader::atEnd()
{
    skipSpace();
    return !m_failed && m_open.isEmpty() && next() == -1;
}

bool JSONHelper::Reader::ensure(qsizetype count)
{
    while (m_end - m_pos < count) {
        if (!more())
            return false;
    }
    return true;
}

// Reads the next piece behind what is left, keeping the token being read.
bool JSONHelper::Reader::more()
{
    if (m_unread <= 0 || m_failed)
        return false;
    const qsizetype keep = m_mark >= 0 ? m_mark : m_pos;
    if (keep > 0) {
        std::memmove(m_buffer.data(), m_buffer.constData() + keep, size_t(m_end - keep));
        m_end -= keep;
        m_pos -= keep;
        if (m_mark >= 0)
            m_mark = 0;
    }
    if (m_buffer.size() - m_end < kPiece / 4) // a token longer than the buffer
        m_buffer.resize(std::max(kPiece, 2 * m_buffer.size()));
    const qint64 wanted = std::min<qint64>(m_buffer.size() - m_end, m_unread);
    const qint64 got = m_device.read(m_buffer.data() + m_end, wanted);
    if (got <= 0) {
        m_unread = 0;
        m_failed = m_failed || got < 0;
        return false;
    }
    m_unread -= got;
    m_end += got;
    return true;
}

void JSONHelper::Reader::skipSpaceSlowly()
{
    for (;;) {
        const char *data = m_buffer.constData();
#ifdef __SSE2__
        // A line end and its indentation in one or two blocks.
        while (m_end - m_pos >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + m_pos));
            const __m128i spaces
                = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
                                   _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))),
                    _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')),
                        _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t'))));
            const uint others = ~uint(_mm_movemask_epi8(spaces)) & 0xFFFF;
            if (others != 0) {
                m_pos += qCountTrailingZeroBits(others);
                return;
            }
            m_pos += 16;
        }
#endif
        while (m_pos < m_end) {
            if (!isSpace(data[m_pos]))
                return;
            ++m_pos;
        }
        if (!more())
            return;
    }
}

bool JSONHelper::Reader::fail()
{
    m_failed = true;
    return false;
}

// At the opening quote: passes the string, checking escapes, control
// characters and UTF-8. Its content stays valid until more is read.
bool JSONHelper::Reader::scanString(QByteArrayView *content, bool *escaped)
{
    m_mark = ++m_pos;
    for (;;) {
        const char *data = m_buffer.constData();
        m_pos = findStringStop(data, m_pos, m_end);
        if (m_pos == m_end) {
            if (!more())
                return fail();
            continue;
        }
        const uchar c = uchar(data[m_pos]);
        if (c == '"')
            break;
        if (c == '\\') {
            *escaped = true;
            if (!ensure(2))
                return fail();
            const char kind = m_buffer.at(m_pos + 1);
            if (kind == 'u') {
                if (!ensure(6))
                    return fail();
                for (int i = 2; i < 6; ++i) {
                    if (hexValue(m_buffer.at(m_pos + i)) < 0)
                        return fail();
                }
                m_pos += 6;
            } else if (kind != 0 && std::strchr("\"\\/bfnrt", kind)) {
                m_pos += 2;
            } else {
                return fail();
            }
        } else if (c < 0x20) {
            return fail();
        } else {
            const int length = sequenceLength(c);
            if (length == 0 || !ensure(length)
                || !isWellFormed(
                    reinterpret_cast<const uchar *>(m_buffer.constData() + m_pos), length))
                return fail();
            m_pos += length;
        }
    }
    *content = QByteArrayView(m_buffer.constData() + m_mark, m_pos - m_mark);
    ++m_pos;
    m_mark = -1;
    return true;
}

bool JSONHelper::Reader::scanLiteral(QByteArrayView word)
{
    if (!ensure(word.size()) || QByteArrayView(m_buffer.constData() + m_pos, word.size()) != word)
        return fail();
    m_pos += word.size();
    return true;
}

bool JSONHelper::Reader::scanNumber(QByteArrayView *token)
{
    m_mark = m_pos;
    for (int c = next(); isDigit(c) || (c > 0 && std::strchr("+-.eE", c)); c = next())
        ++m_pos;
    *token = QByteArrayView(m_buffer.constData() + m_mark, m_pos - m_mark);
    m_mark = -1;
    return isPlainNumber(*token) || fail();
}

QString JSONHelper::Reader::unescape(QByteArrayView content) const
{
    QString out;
    out.reserve(content.size());
    qsizetype i = 0;
    while (i < content.size()) {
        const qsizetype backslash = content.indexOf('\\', i);
        const qsizetype plainEnd = backslash < 0 ? content.size() : backslash;
        out += QString::fromUtf8(content.sliced(i, plainEnd - i));
        if (backslash < 0)
            break;
        const char kind = content[backslash + 1];
        i = backslash + 2;
        if (kind == 'u') {
            int unit = 0;
            for (int k = 0; k < 4; ++k)
                unit = unit * 16 + hexValue(content[i + k]);
            // A lone surrogate stays as it is, as parse() keeps it.
            out += QChar(char16_t(unit));
            i += 4;
        } else {
            const char *from = "\"\\/bfnrt";
            out += QLatin1Char("\"\\/\b\f\n\r\t"[std::strchr(from, kind) - from]);
        }
    }
    return out;
}
