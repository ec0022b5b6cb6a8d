#include "products/textfile.h"

#include <QFile>
#include <QFileInfo>

bool TextFile::readLines(const QString &path, QStringList *lines, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // The size is read again after reading, since the file may be growing.
    const QByteArray bytes = file.size() > kMaxSize ? QByteArray() : file.read(kMaxSize + 1);
    if (file.size() > kMaxSize || bytes.size() > kMaxSize) {
        *error = QStringLiteral("larger than %1 MiB").arg(kMaxSize / (1024 * 1024));
        return false;
    }
    *lines = splitLines(bytes);
    return true;
}

QStringList TextFile::splitLines(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        const qsizetype length
            = end - start - (end > start && text.at(end - 1) == QLatin1Char('\r') ? 1 : 0);
        lines.append(text.mid(start, length));
        start = end + 1;
    }
    return lines;
}
