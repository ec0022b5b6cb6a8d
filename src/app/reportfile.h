#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The stored report file of -o and -f.
namespace ReportFile {

// Writes the bytes beside the file and renames them into place, so that a
// reader sees the old document or the new one, never a part. A link planted
// at the path is replaced, not followed. The file gets mode 0644: the report
// holds no secret. Returns why it failed; empty when it did not.
QString write(const QString &path, const QByteArray &bytes);

// The file's bytes: only a regular file of a sane size is read, since a FIFO
// or a device there would block or never end. Nothing, with *problem saying
// why, when it cannot be read.
std::optional<QByteArray> read(const QString &path, QString *problem);

} // namespace ReportFile
