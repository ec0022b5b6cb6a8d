#pragma once

#include <QFile>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTest>

// The rows of a file of tests/data: "== NAME" opens a row, whose lines follow
// up to the next one; the lines before the first row are the file's comment.
inline QList<QPair<QString, QStringList>> dataRows(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("%s cannot be read", qPrintable(path));
    QList<QPair<QString, QStringList>> rows;
    for (const QString &row :
        QString::fromUtf8(file.readAll()).split(QStringLiteral("\n== ")).mid(1))
        rows.append({row.section(u'\n', 0, 0), row.split(u'\n', Qt::SkipEmptyParts).mid(1)});
    return rows;
}
