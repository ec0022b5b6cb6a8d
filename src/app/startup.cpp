#include "app/startup.h"

#include "app/commandline.h"
#include "app/displayprobe.h"
#include "app/modes.h"
#include "app/proxyswitches.h"
#include "catalogue/networkutils.h"
#include "core/common.h"
#include "core/console.h"
#include "core/logger.h"
#include "core/processend.h"
#include "core/utils.h"
#include "gui/messageboxes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QObject>
#include <QRegularExpression>
#include <QTranslator>

namespace {

// Where the log goes when -l does not say: the temporary directory, or /tmp
// when that cannot be determined (never the current directory).
QString defaultLogPath()
{
    QString directory = QDir::tempPath();
    if (directory.isEmpty())
        directory = QStringLiteral("/tmp");
    return directory + QDir::separator() + QStringLiteral("Korvane.log");
}

// Why the value of -v is not used as it stands; empty when it is.
QString logLevelProblem(const QString &value, bool isNumber, int level)
{
    if (isNumber && level >= LogLevel::Off && level <= LogLevel::Verbose)
        return QString();
    if (isNumber) {
        return QObject::tr("The log level %1 is not one of 0 (off), 1 (normal) or 2 (verbose); "
                           "it is taken as 1.")
            .arg(value);
    }
    if (value.isEmpty())
        return QObject::tr("The switch -v needs a log level: 0 (off), 1 (normal) or 2 (verbose).");
    return QObject::tr("The log level \"%1\" is not a number; use 0 (off), "
                       "1 (normal) or 2 (verbose).")
        .arg(value);
}

// -t SECONDS: the download's time limit for this run, on both download paths.
void applyTimeLimitSwitch()
{
    QString value;
    argumentBySwitch(QStringLiteral("T"), &value);
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    const int seconds = digits.match(value).hasMatch() ? value.toInt() : 0;
    if (seconds >= 1 && seconds <= 600) {
        Common::instance()->timeLimitSeconds = seconds;
        return;
    }
    const QString problem = value.isEmpty()
        ? QObject::tr("The switch -t needs a time limit in seconds, a whole number from 1 to 600.")
        : QObject::tr("The time limit \"%1\" is not a whole number of seconds from 1 to 600.")
              .arg(value);
    Utils::ErrorMsg(QObject::tr("Invalid Argument"),
        problem + QLatin1Char(' ')
            + QObject::tr(
                "The download keeps its usual time limit: 15 seconds, with curl 30 seconds."),
        nullptr);
}

} // namespace

LogSwitches logSwitches(const QStringList &args, const QString &defaultPath)
{
    LogSwitches result {defaultPath, LogLevel::Off, QString()};
    QString value;
    if (argumentBySwitchIn(args, QStringLiteral("V"), &value)) {
        bool isNumber = false;
        result.level = value.toInt(&isNumber, 10);
        result.problem = logLevelProblem(value, isNumber, result.level);
    }
    if (argumentBySwitchIn(args, QStringLiteral("L"), &result.path)
        && result.level == LogLevel::Off)
        result.level = LogLevel::Normal;
    return result;
}

void initLogging()
{
    const LogSwitches log = logSwitches(savedArguments(), defaultLogPath());
    if (!log.problem.isEmpty())
        Utils::ErrorMsg(QObject::tr("Invalid Argument"), log.problem, nullptr);
    Logger::instance()->init(log.path, static_cast<LogLevel::LogLevel>(log.level));
    logArgs();
}

void logArgs()
{
    const QStringList lines = argumentLogLines(savedArguments());
    for (const QString &line : lines)
        Logger::instance()->Print(Severity::Info, line);
}

void printUsage()
{
    Console::writeLine(QStringLiteral("Usage: korvane <-h> <-p [proxy url]> <-k> <-s> <-c>"));
    Console::writeLine(QStringLiteral("       -h                - ") + QObject::tr("Show usage"));
    Console::writeLine(QStringLiteral("       -p [proxy url]    - ")
        + QObject::tr("http://<user>:<pass>@proxy.example.com:<port>"));
    Console::writeLine(
        QStringLiteral("       -k                - ") + QObject::tr("Remove proxy settings"));
    Console::writeLine(
        QStringLiteral("       -s                - ") + QObject::tr("Show proxy settings"));
    Console::writeLine(
        QStringLiteral("       -c                - ") + QObject::tr("Run in console mode"));
}

int korvaneMain(int &argc, char **argv)
{
    saveArguments(argc, argv);

    // With -j or -m standard output carries the document alone; every line
    // the other modes print goes to standard error, from the first one on.
    const bool json = switchPresent(QStringLiteral("J"));
    const bool plugin = switchPresent(QStringLiteral("M"));
    Console::setLinesToStandardError(json || plugin);

    bool desktop = !switchPresent(QStringLiteral("C")) && !json && !plugin;
    bool tray = switchPresent(QStringLiteral("I"));
    if (!Utils::hasDisplay()) {
        desktop = false;
        tray = false;
    }
    // Told in the log once it is open.
    QString unreachableDisplay;
    if (desktop && !displayReachable(&unreachableDisplay)) {
        desktop = false;
        tray = false;
    }
    if (switchPresent(QStringLiteral("R")))
        Common::instance()->useCurl = true;

    // Never deleted: it lives until the process ends.
    if (desktop) {
        new QApplication(argc, argv);
        installMessageBoxes();
    } else {
        new QCoreApplication(argc, argv);
    }

    if (!Utils::isNetworkAccessable()) {
        Utils::ErrorMsg(QObject::tr("Network Error"),
            QObject::tr("Your computer appears to be offline.  Please check your "
                        "Internet connection and try again."),
            nullptr);
    }

    QCoreApplication::setOrganizationName(QStringLiteral("Zedo"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("zedo.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));

    QTranslator translator;
    // A missing translation is fine: the built-in English texts are used.
    (void)translator.load(QCoreApplication::applicationDirPath()
        + QStringLiteral("/locale/korvane_") + QLocale::system().name());
    QCoreApplication::installTranslator(&translator);

    Common::instance()->readSettings();
    initLogging();
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("----------------- Program start -------------------"));
    if (!unreachableDisplay.isEmpty())
        Logger::instance()->Print(Severity::Warning, unreachableDisplay);

    if (switchPresent(QStringLiteral("H")) || switchPresent(QStringLiteral("?"))) {
        printUsage();
        endProcess(0);
    }
    if (switchPresent(QStringLiteral("U"))) {
        QString url;
        argumentBySwitch(QStringLiteral("U"), &url);
        Common::instance()->updateUrl = url;
    }
    if (switchPresent(QStringLiteral("T")))
        applyTimeLimitSwitch();
    if (switchPresent(QStringLiteral("P"))) {
        QString url;
        argumentBySwitch(QStringLiteral("P"), &url);
        applyProxySwitch(url);
    }
    if (switchPresent(QStringLiteral("K")))
        clearProxySwitch();
    if (switchPresent(QStringLiteral("S"))) {
        printProxySettings();
        endProcess(0);
    }

    int status = 0;
    if (json && plugin) {
        // Neither reader could make sense of the other's output.
        Utils::ErrorMsg(QObject::tr("Invalid Argument"),
            QObject::tr("The switches -j and -m cannot be used together."), nullptr);
        status = 3;
    } else {
        discoverInstalledProducts();
        if (desktop)
            runDesktopMode(tray);
        else
            status = runConsoleMode(json ? ReportFormat::Json
                    : plugin             ? ReportFormat::Plugin
                                         : ReportFormat::Text);
    }

    QCoreApplication::removeTranslator(&translator);
    return status;
}
