#pragma once

#include <QByteArray>
#include <QString>

// The build-number file (".Setup/build_number") that confirms the version an
// installer's properties file names.
namespace BuildNumber {

// Only the start of the file is read: the version stands in its first line.
constexpr qint64 kReadLimit = 64 * 1024;

// The version occurs in the text as a whole number: not preceded by a digit or
// '.', not followed by a digit ("10.8.1" is not confirmed by "10.8.10"). An
// empty version is never confirmed.
bool confirmsVersion(const QByteArray &text, const QString &version);

} // namespace BuildNumber
