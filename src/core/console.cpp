#include "core/console.h"

#include <QByteArray>
#include <QList>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iostream>

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

void put(const std::wstring &wide, bool endLine)
{
    adoptEnvironmentLocale();
    std::wostream &stream = linesToStandardError ? std::wcerr : std::wcout;
    // A failed conversion earlier must not silence everything after it.
    if (!stream)
        stream.clear();
    stream << wide;
    if (endLine)
        stream << std::endl;
    else
        stream.flush();
}

bool isControl(uint codePoint)
{
    return (codePoint < 0x20 && codePoint != '\t') || (codePoint >= 0x7F && codePoint <= 0x9F);
}

constexpr char16_t kReplacement = u'\uFFFD';

} // namespace

namespace Console {

QString printable(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (isControl(c.unicode()))
            c = QChar(kReplacement);
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
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void writeLine(const QString &text)
{
    put(toWide(text), true);
}

void write(const QString &text)
{
    put(toWide(text), false);
}

} // namespace Console
