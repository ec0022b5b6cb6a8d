#include "products/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

bool TextFile::readLines(const QString &path, QStringList *lines, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line))
        lines->append(line);
    return true;
}
