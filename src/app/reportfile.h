#pragma once

#include "app/jsonreport.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The stored report file of -o and -f.
namespace ReportFile {

// The largest stored report read: above the report of 100,000 updates
// (bench/report).
constexpr qint64 kMaxSize = 48 * 1024 * 1024;

// Why no report may be written at the path, checked before anything else is
// done: something there that is not a report (a device, a FIFO, a socket, a
// folder, a link to one of those), or a folder that is missing or cannot be
// written. Empty when it may.
QString targetProblem(const QString &path);

// Writes the bytes beside the file and renames them into place, so that a
// reader sees the old document or the new one, never a part. A link planted
// at the path is replaced, not followed. The file gets mode 0644: the report
// holds no secret. What targetProblem() refuses is never replaced. Returns
// why it failed; empty when it did not.
QString write(const QString &path, const QByteArray &bytes);

// The report stored at the path. The file is opened once, without blocking,
// and read only when the open file is a regular one of at most kMaxSize
// bytes, in pieces, by ReportReader. Nothing, with *problem saying why, when
// it cannot be read.
std::optional<JsonReport> read(const QString &path, QString *problem);

// The lock file that serialises the writers of one report, so that a check
// that read the report does not rename its own over a newer one written
// meanwhile (SafeFile::Lock).
QString lockPath(const QString &reportPath);

} // namespace ReportFile
