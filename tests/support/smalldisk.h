#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

// Runs this test program again as a child, given `mode` and a folder on a
// small tmpfs of its own (unshare -rm): a full disk without filling a real one.
struct SmallDiskRun
{
    bool possible = false; // unshare -rm is there and permitted
    int exitCode = -1;
    QByteArray output;
};

inline SmallDiskRun runOnSmallDisk(const QString &mode, const QString &size)
{
    SmallDiskRun run;
    if (QProcess::execute(QStringLiteral("unshare"), {"-rm", "true"}) != 0)
        return run;
    run.possible = true;
    QTemporaryDir dir;
    QProcess child;
    child.start(QStringLiteral("unshare"),
        {"-rm", "sh", "-c",
            "mount -t tmpfs -o size=\"$0\" tmpfs \"$1\" && exec \"$2\" \"$3\" \"$1\"", size,
            dir.path(), QCoreApplication::applicationFilePath(), mode});
    child.waitForFinished(30000);
    run.exitCode = child.exitCode();
    run.output = child.readAllStandardOutput();
    return run;
}
