#pragma once

#include <QString>

// Writes a large installation into a home directory: a Server and a Portal of
// one release and a DataStore of another, each with a patch log of the given
// number of records, beside a number of unrelated files.
class InstallationGenerator
{
public:
    InstallationGenerator(int recordsPerLog, int unrelatedFiles);

    // False when a file could not be written.
    bool writeTo(const QString &home, const QString &hostName) const;

private:
    bool writeFile(const QString &path, const QByteArray &content) const;
    QByteArray patchLog(const QByteArray &idPrefix, const QByteArray &product) const;

    int m_recordsPerLog;
    int m_unrelatedFiles;
};
