#pragma once

#include <QByteArray>
#include <QString>

// What one download left behind.
struct DownloadOutcome
{
    QByteArray bytes; // jsonBytes()
    QString text; // json()
    QString console; // what it printed on standard output
};

// Runs one UpdateRequest for the URL, capturing what it prints.
DownloadOutcome downloadCatalogue(const QString &url);

// Puts the settings store into the state of a fresh run: the given download
// path, no proxy, no error.
void resetDownloadSettings(bool useCurl);
