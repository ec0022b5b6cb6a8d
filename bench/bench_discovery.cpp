// Times the discovery of a large installation: three products with patch logs
// of 10,000 records each and 200 unrelated files in HOME, then the same with
// two and four times the records, to show how the time grows.
//
// Usage: bench_discovery [runs]

#include "core/console.h"
#include "core/logger.h"
#include "installationgenerator.h"
#include "products/brivexconfig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace {

struct Timing
{
    double median = 0;
    double min = 0;
    qsizetype patches = 0;
};

Timing timeDiscovery(int runs)
{
    std::vector<double> times;
    Timing timing;
    for (int run = 0; run < runs; ++run) {
        BrivexConfig config;
        QElapsedTimer timer;
        timer.start();
        config.init();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        timing.patches = config.installedPatches().size();
    }
    std::sort(times.begin(), times.end());
    timing.median = times[times.size() / 2];
    timing.min = times.front();
    return timing;
}

QString row(const QString &label, const Timing &timing, int recordsPerLog)
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(label, -28)
        .arg(timing.patches, 7)
        .arg(timing.median, 10, 'f', 1)
        .arg(timing.min, 10, 'f', 1)
        .arg(timing.median * 1000.0 / (3.0 * recordsPerLog), 14, 'f', 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int runs = args.size() > 1 ? std::max(1, args.at(1).toInt()) : 15;
    constexpr int kRecords = 10000;
    constexpr int kUnrelatedFiles = 200;

    Console::writeLine(
        QStringLiteral("Discovery of 3 products, %1 unrelated files, median of %2 runs")
            .arg(kUnrelatedFiles)
            .arg(runs));
    Console::writeLine(QStringLiteral("records per log              patches  median ms     min ms  "
                                      "us per record"));
    for (const int scale : {1, 2, 4}) {
        QTemporaryDir home;
        if (!home.isValid()
            || !InstallationGenerator(kRecords * scale, kUnrelatedFiles)
                    .writeTo(home.path(), QHostInfo::localHostName())) {
            Console::writeLine(QStringLiteral("Could not write the installation"));
            return 1;
        }
        qputenv("HOME", QFile::encodeName(home.path()));
        Console::writeLine(
            row(QString::number(kRecords * scale), timeDiscovery(runs), kRecords * scale));

        // With -v 2 every record also becomes a log line.
        if (scale == 1) {
            QTemporaryDir logDir;
            Logger::instance()->init(
                logDir.filePath(QStringLiteral("Korvane.log")), LogLevel::Verbose);
            const Timing logged = timeDiscovery(runs);
            Logger::instance()->init(QString(), LogLevel::Off);
            Console::writeLine(row(QStringLiteral("10000, verbose log"), logged, kRecords));
        }
    }
    return 0;
}
