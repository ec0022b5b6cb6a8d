#pragma once

#include <QString>

#include <string>

// Everything the program prints goes to the wide-character standard output
// through these functions, so that the stream's orientation never changes.
namespace Console {

// Writes the text and ends the line with std::endl (newline and flush).
void writeLine(const QString &text);
// Writes the text without ending the line.
void write(const QString &text);

// The text as a wide string for the current C locale; characters the locale
// cannot encode become '?', so a stray character never stops the output.
std::wstring toWide(const QString &text);

} // namespace Console
