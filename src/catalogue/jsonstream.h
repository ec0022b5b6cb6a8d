#pragma once

#include <boost/json/basic_parser_impl.hpp>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

enum class JsonScalar { Text, Number, Bool, Null };

// Boost.JSON's push parser fed in pieces as they arrive, with the few events
// a reader of some values of a document needs: containers that open and
// close, member names, and scalars, whose text (a number as written, a
// boolean as "true" or "false") is collected only where the reader asks for
// it. Where the text stops being JSON is told with its offset. The catalogue
// and the stored report are read this way. A Reader has
//   bool open(bool object);  bool close();  bool key(std::string_view name);
//   std::string *target();  // where a scalar that begins is collected, or nullptr
//   bool scalar(JsonScalar kind);  // it has ended
// and stops the reading by returning false.
template<class Reader> class JsonStream
{
public:
    // A member name is cut after 64 bytes (no member read has a longer one);
    // a collected text longer than longestText stops the reading. Without
    // allowInvalidUtf8 a control character outside a text's escapes, a NUL
    // byte or invalid UTF-8 is refused at the byte where it stands.
    JsonStream(Reader &reader, std::size_t maxDepth, bool allowInvalidUtf8,
        std::size_t longestText = SIZE_MAX)
        : m_parser(options(maxDepth, allowInvalidUtf8), reader, longestText)
        , m_strict(!allowInvalidUtf8)
    { }

    void write(QByteArrayView piece)
    {
        if (!m_error.isEmpty() || stopped() || piece.isEmpty())
            return;
        // A UTF-8 sequence split between two pieces is given to the parser
        // whole, with the next one.
        QByteArray joined;
        QByteArrayView text = piece;
        if (!m_utf8Tail.isEmpty()) {
            joined = m_utf8Tail + piece.toByteArray();
            text = joined;
        }
        const qint64 start = m_size - m_utf8Tail.size();
        m_size += piece.size();
        const qsizetype complete = completeUtf8(text);
        m_utf8Tail = text.sliced(complete).toByteArray();
        // A byte that is never JSON is named where it is, however the text
        // came in pieces: the parser gets only the text before it.
        const qsizetype bad = badByte(text.first(complete));
        parse(bad < 0 ? text.first(complete) : text.first(bad), start);
        if (bad >= 0 && m_error.isEmpty() && !stopped()) {
            const uchar c = uchar(text[bad]);
            m_error = QStringLiteral("%1 at offset %2")
                          .arg(c == 0        ? QStringLiteral("a NUL byte")
                                  : c < 0x20 ? QStringLiteral("a control character")
                                             : QStringLiteral("invalid UTF-8"))
                          .arg(start + bad);
        }
    }

    // The text has ended.
    void finish()
    {
        if (!m_utf8Tail.isEmpty()) {
            m_validUtf8 = false;
            if (m_strict && m_error.isEmpty() && !stopped()) {
                m_error
                    = QStringLiteral("invalid UTF-8 at offset %1").arg(m_size - m_utf8Tail.size());
            }
            if (!m_strict)
                parse(m_utf8Tail, m_size - m_utf8Tail.size());
        }
        if (!m_error.isEmpty() || stopped() || m_parser.done())
            return;
        Error code;
        m_parser.write_some(false, nullptr, 0, code);
        if (code)
            fail(code, {}, m_size, 0);
    }

    // Why the text is not JSON, such as "unterminated string at offset 12";
    // empty while it may be.
    const QString &error() const { return m_error; }
    // The reader stopped the reading, or a text was too long.
    bool stopped() const { return m_parser.handler().stopped || textTooLong(); }
    bool textTooLong() const { return m_parser.handler().tooLong; }
    qint64 size() const { return m_size; }
    // Where invalid UTF-8 is let through: whether the text was all UTF-8.
    bool validUtf8() const { return m_validUtf8; }

private:
    using Error = boost::json::error_code;
    using View = boost::json::string_view;

    struct Handler
    {
        static constexpr std::size_t max_object_size = std::size_t(-1);
        static constexpr std::size_t max_array_size = std::size_t(-1);
        static constexpr std::size_t max_key_size = std::size_t(-1);
        static constexpr std::size_t max_string_size = std::size_t(-1);

        Handler(Reader &reader, std::size_t longestText)
            : reader(reader)
            , longestText(longestText)
        { }

        bool on_document_begin(Error &) { return true; }
        bool on_document_end(Error &) { return true; }
        bool on_object_begin(Error &) { return open(true); }
        bool on_array_begin(Error &) { return open(false); }
        bool on_object_end(std::size_t, Error &) { return close(); }
        bool on_array_end(std::size_t, Error &) { return close(); }
        bool on_key_part(View part, std::size_t, Error &)
        {
            inText = true;
            key.append(part.data(),
                std::min<std::size_t>(part.size(), 64 - std::min<std::size_t>(key.size(), 64)));
            return true;
        }
        bool on_key(View part, std::size_t, Error &error)
        {
            on_key_part(part, 0, error);
            const bool going = keep(reader.key(key));
            key.clear();
            inText = false;
            return going;
        }
        bool on_string_part(View part, std::size_t, Error &) { return append(part); }
        bool on_string(View part, std::size_t, Error &)
        {
            return append(part) && end(JsonScalar::Text);
        }
        bool on_number_part(View part, Error &) { return append(part); }
        bool on_int64(std::int64_t, View part, Error &) { return number(part); }
        bool on_uint64(std::uint64_t, View part, Error &) { return number(part); }
        bool on_double(double, View part, Error &) { return number(part); }
        bool on_bool(bool value, Error &)
        {
            return append(value ? "true" : "false") && end(JsonScalar::Bool);
        }
        bool on_null(Error &) { return append({}) && end(JsonScalar::Null); }
        bool on_comment_part(View, Error &) { return true; }
        bool on_comment(View, Error &) { return true; }

        bool open(bool object)
        {
            objects.push_back(object);
            return keep(reader.open(object));
        }
        bool close()
        {
            objects.pop_back();
            return keep(reader.close());
        }
        bool append(View part)
        {
            if (!inText) {
                inText = true;
                target = reader.target();
                if (target)
                    target->clear();
            }
            if (!target)
                return true;
            if (target->size() + part.size() > longestText) {
                tooLong = true;
                return false;
            }
            target->append(part.data(), part.size());
            return true;
        }
        bool number(View part) { return append(part) && end(JsonScalar::Number); }
        bool end(JsonScalar kind)
        {
            inText = false;
            target = nullptr;
            return keep(reader.scalar(kind));
        }
        bool keep(bool going)
        {
            stopped = stopped || !going;
            return going;
        }

        Reader &reader;
        const std::size_t longestText;
        std::vector<bool> objects; // the open containers: objects or arrays
        std::string key; // a name that came in parts
        bool inText = false; // inside a string, a name or a number
        std::string *target = nullptr; // where the value read is collected, if anywhere
        bool stopped = false;
        bool tooLong = false;
    };

    static boost::json::parse_options options(std::size_t maxDepth, bool allowInvalidUtf8)
    {
        boost::json::parse_options options;
        options.max_depth = maxDepth;
        options.allow_invalid_utf8 = allowInvalidUtf8;
        return options;
    }

    // Text that starts at that offset, to the parser.
    void parse(QByteArrayView piece, qint64 start)
    {
        if (!m_error.isEmpty() || stopped() || piece.isEmpty())
            return;
        std::size_t used = 0;
        if (!m_parser.done()) {
            Error code;
            used = m_parser.write_some(true, piece.data(), size_t(piece.size()), code);
            if (code)
                fail(code, piece, start, qsizetype(used));
        }
        // Only white space may follow the document.
        for (qsizetype at = qsizetype(used); m_error.isEmpty() && !stopped() && at < piece.size();
             ++at) {
            if (piece[at] == 0 || !std::strchr(" \t\n\r", piece[at]))
                m_error = QStringLiteral("garbage at the end of the document at offset %1")
                              .arg(start + at);
        }
    }

    // Where in the text the first byte stands that is never JSON: in strict
    // reading a control character (in a text, or other than white space
    // outside one) or invalid UTF-8; -1 for none. Whether the text is UTF-8
    // is noted in any case.
    qsizetype badByte(QByteArrayView text)
    {
        qsizetype end = text.size();
        for (qsizetype at = 0; m_strict && at < end; ++at) {
            const uchar c = uchar(text[at]);
            if (m_inString && m_escaped)
                m_escaped = false;
            else if (m_inString && c == '\\')
                m_escaped = true;
            else if (c == '"')
                m_inString = !m_inString;
            else if (c < 0x20 && (m_inString || (c != '\t' && c != '\n' && c != '\r')))
                end = at;
        }
        if (m_validUtf8 && !text.first(end).isValidUtf8()) {
            m_validUtf8 = false;
            end = firstInvalidUtf8(text.first(end));
        }
        return m_strict && end < text.size() ? end : -1;
    }

    // Bytes up to a UTF-8 sequence that the next piece may complete.
    static qsizetype completeUtf8(QByteArrayView bytes)
    {
        for (qsizetype back = 1; back <= std::min<qsizetype>(3, bytes.size()); ++back) {
            const uchar c = uchar(bytes[bytes.size() - back]);
            if (c < 0x80)
                break;
            if (c >= 0xC0)
                return sequenceLength(c) > back ? bytes.size() - back : bytes.size();
        }
        return bytes.size();
    }

    // The length of the UTF-8 sequence that the byte starts; 0 for none.
    static qsizetype sequenceLength(uchar lead)
    {
        return lead < 0x80 ? 1
            : lead < 0xC2  ? 0
            : lead < 0xE0  ? 2
            : lead < 0xF0  ? 3
            : lead < 0xF5  ? 4
                           : 0;
    }

    static qsizetype firstInvalidUtf8(QByteArrayView text)
    {
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype length = sequenceLength(uchar(text[at]));
            if (length == 0 || at + length > text.size() || !text.sliced(at, length).isValidUtf8())
                return at;
            at += length;
        }
        return text.size();
    }

    // Why the text is not JSON, in the words the program has always used.
    void fail(const Error &code, QByteArrayView piece, qint64 start, qsizetype used)
    {
        using boost::json::error;
        if (stopped())
            return;
        const Handler &handler = m_parser.handler();
        QString what = QStringLiteral("illegal value");
        if (code == error::incomplete) {
            if (handler.inText)
                what = QStringLiteral("unterminated string");
            else if (!handler.objects.empty())
                what = handler.objects.back() ? QStringLiteral("unterminated object")
                                              : QStringLiteral("unterminated array");
        } else if (code == error::too_deep) {
            what = QStringLiteral("too deeply nested document");
        } else if (code == error::exponent_overflow) {
            what = QStringLiteral("illegal number");
        } else if (code == error::illegal_leading_surrogate
            || code == error::illegal_trailing_surrogate || code == error::expected_hex_digit
            || code == error::expected_utf16_escape) {
            what = QStringLiteral("invalid escape sequence");
        }
        // The parser may stop in a word or just after it, depending on how
        // much text follows; the word's start is the same.
        while (used > 0 && std::isalnum(uchar(piece[used - 1])))
            --used;
        m_error = QStringLiteral("%1 at offset %2").arg(what).arg(start + used);
    }

    boost::json::basic_parser<Handler> m_parser;
    const bool m_strict;
    bool m_validUtf8 = true;
    QByteArray m_utf8Tail; // a sequence that the next piece completes
    bool m_inString = false; // where strict reading has come, in a text
    bool m_escaped = false; // just after its backslash
    qint64 m_size = 0; // given so far
    QString m_error;
};
