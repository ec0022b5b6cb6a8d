#include "core/console.h"

#include <QByteArray>
#include <QList>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iostream>

#include <unistd.h>

namespace {

bool namesUtf8(const char *value)
{
    const QByteArray text = QByteArray(value).toLower();
    return text.contains("utf-8") || text.contains("utf8");
}

// Takes the character set from the environment once, before the first line.
// When the environment asks for a UTF-8 locale that is not installed (common
// on minimal systems), UTF-8 output is still possible through C.UTF-8.
void adoptEnvironmentLocale()
{
    static const bool done = [] {
        if (!std::setlocale(LC_ALL, "")) {
            const char *wanted = std::getenv("LC_ALL");
            if (!wanted || !*wanted)
                wanted = std::getenv("LC_CTYPE");
            if (!wanted || !*wanted)
                wanted = std::getenv("LANG");
            if (wanted && namesUtf8(wanted))
                std::setlocale(LC_CTYPE, "C.UTF-8");
        }
        return true;
    }();
    Q_UNUSED(done);
}

bool linesToStandardError = false;
int outputErrno = 0; // of the first failed write to standard output

// Keeps why a write to standard output failed; the first reason counts.
void noteOutputFailure(int error)
{
    if (outputErrno == 0)
        outputErrno = error != 0 ? error : EIO;
}

enum class End { None, Line };

void put(const std::wstring &wide, End end)
{
    adoptEnvironmentLocale();
    std::wostream &stream = linesToStandardError ? std::wcerr : std::wcout;
    // A failed conversion earlier must not silence everything after it.
    if (!stream)
        stream.clear();
    stream << wide;
    if (end == End::Line)
        stream << std::endl;
    else
        stream.flush();
    // The stream is synchronised with C's stdout, which keeps the error.
    if (!linesToStandardError && std::ferror(stdout)) {
        noteOutputFailure(errno);
        std::clearerr(stdout);
    }
}

constexpr char16_t kReplacement = u'\uFFFD';

} // namespace

namespace Console {

bool isControl(uint codePoint)
{
    return (codePoint < 0x20 && codePoint != '\t') || (codePoint >= 0x7F && codePoint <= 0x9F)
        || (codePoint >= 0x202A && codePoint <= 0x202E)
        || (codePoint >= 0x2066 && codePoint <= 0x2069);
}

QString printable(const QString &text, LineBreaks lineBreaks)
{
    const auto replaced = [lineBreaks](QChar c) {
        return isControl(c.unicode()) && !(lineBreaks == LineBreaks::Kept && c == u'\n');
    };
    // Most texts hold none and are passed on shared, not copied.
    qsizetype first = 0;
    while (first < text.size() && !replaced(text.at(first)))
        ++first;
    if (first == text.size())
        return text;
    QString out = text;
    for (qsizetype i = first; i < out.size(); ++i) {
        if (replaced(out.at(i)))
            out[i] = QChar(kReplacement);
    }
    return out;
}

std::wstring toWide(const QString &text)
{
    adoptEnvironmentLocale();
    std::wstring out;
    out.reserve(static_cast<size_t>(text.size()));
    char buffer[MB_LEN_MAX];
    const QList<uint> codePoints = text.toUcs4();
    for (uint codePoint : codePoints) {
        if (codePoint != '\n' && isControl(codePoint))
            codePoint = kReplacement;
        const auto wide = static_cast<wchar_t>(codePoint);
        if (codePoint < 0x80) {
            out.push_back(wide);
            continue;
        }
        std::mbstate_t state {};
        if (std::wcrtomb(buffer, wide, &state) == static_cast<size_t>(-1))
            out.push_back(L'?');
        else
            out.push_back(wide);
    }
    return out;
}

void setLinesToStandardError(bool toError)
{
    linesToStandardError = toError;
}

void writeDocument(const QByteArray &bytes)
{
    const size_t size = static_cast<size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, stdout) != size || std::fflush(stdout) != 0)
        noteOutputFailure(errno);
}

QString standardOutputError()
{
    return outputErrno == 0 ? QString() : QString::fromLocal8Bit(std::strerror(outputErrno));
}

void writeLine(const QString &text)
{
    put(toWide(text), End::Line);
}

void writeLines(const QStringList &lines)
{
    LineWriter writer;
    for (const QString &line : lines)
        writer.add(line);
}

LineWriter::LineWriter()
{
    // The C library writes a wide stream 16 bytes at a time, one system call
    // each; the lines go out converted, in pieces, after whatever the stream
    // holds.
    put(std::wstring(), End::None);
    std::fflush(linesToStandardError ? stderr : stdout);
}

LineWriter::~LineWriter()
{
    flush();
}

void LineWriter::add(const QString &line)
{
    char buffer[MB_LEN_MAX];
    for (const wchar_t c : toWide(line)) {
        if (c < 0x80) {
            m_bytes += static_cast<char>(c);
            continue;
        }
        std::mbstate_t state {};
        const size_t length = std::wcrtomb(buffer, c, &state);
        if (length == static_cast<size_t>(-1))
            m_bytes += '?';
        else
            m_bytes.append(buffer, length);
    }
    m_bytes += '\n';
    if (m_bytes.size() >= 64 * 1024)
        flush();
}

void LineWriter::flush()
{
    const int descriptor = linesToStandardError ? STDERR_FILENO : STDOUT_FILENO;
    for (size_t written = 0; written < m_bytes.size();) {
        const ssize_t result
            = ::write(descriptor, m_bytes.data() + written, m_bytes.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0) {
            if (descriptor == STDOUT_FILENO)
                noteOutputFailure(result < 0 ? errno : EIO);
            break;
        }
        written += static_cast<size_t>(result);
    }
    m_bytes.clear();
}

void write(const QString &text)
{
    put(toWide(text), End::None);
}

} // namespace Console
