#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

// Everything the program prints goes to the wide-character standard output
// through these functions, so that the stream's orientation never changes.
// A run whose standard output carries a document for scripts (-j, -m) sends
// the lines to standard error instead and writes the document as bytes.
namespace Console {

// From now on, lines go to standard error (true) or standard output.
void setLinesToStandardError(bool toError);
// Writes bytes to standard output unchanged; only for a run whose lines go to
// standard error, since standard output is then never used for wide text.
void writeDocument(const QByteArray &bytes);

// Writes the text and ends the line with std::endl (newline and flush).
// Control characters other than tab and newline are shown as U+FFFD.
void writeLine(const QString &text);
// Writes each text as writeLine() does, in one piece after the last: a long
// report is not written line by line.
void writeLines(const QStringList &lines);

// Writes lines as writeLine() does, converted and passed on in pieces of about
// 64 KiB: a report of many lines is neither written line by line nor held
// whole. What is left is written when it goes.
class LineWriter
{
public:
    LineWriter();
    ~LineWriter();
    Q_DISABLE_COPY(LineWriter)

    void add(const QString &line);

private:
    void flush();

    std::string m_bytes;
};
// Writes the text without ending the line.
void write(const QString &text);

// Why standard output could not be written (a full disk, an I/O error), as
// the system words it; empty while every write went through.
QString standardOutputError();

// The text as a wide string for the current C locale; characters the locale
// cannot encode become '?', so a stray character never stops the output.
// Control characters other than tab and newline become U+FFFD.
std::wstring toWide(const QString &text);

// The text with every control character but tab (C0, DEL, C1; newlines too
// unless kept) and every bidirectional control (U+202A-U+202E,
// U+2066-U+2069) replaced by U+FFFD: text from a catalogue, an installation
// or a server must not move the cursor, change colours, forge lines of a
// terminal or a log, or show "exe.kcatta" as "attack.exe".
enum class LineBreaks { Replaced, Kept };
// Whether printable() replaces the character (newlines aside).
bool isControl(uint codePoint);
QString printable(const QString &text, LineBreaks lineBreaks = LineBreaks::Replaced);

} // namespace Console
