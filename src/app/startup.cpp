#include "app/startup.h"

#include "app/commandline.h"
#include "app/displayprobe.h"
#include "app/exitstatus.h"
#include "app/handover.h"
#include "app/modes.h"
#include "app/pluginreport.h"
#include "app/proxyswitches.h"
#include "app/switchtable.h"
#include "catalogue/networkutils.h"
#include "core/common.h"
#include "core/console.h"
#include "core/logger.h"
#include "core/processend.h"
#include "core/utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QObject>
#include <QTranslator>

namespace {

// How old a stored report -f takes by default: a daily check may be late by a day.
constexpr int kDefaultMaxAgeHours = 48;

// Where the log goes when -l does not say: the temporary directory, or /tmp
// when that cannot be determined (never the current directory).
QString defaultLogPath()
{
    QString directory = QDir::tempPath();
    if (directory.isEmpty())
        directory = QStringLiteral("/tmp");
    return directory + QDir::separator() + QStringLiteral("Korvane.log");
}

// Why the level of -v, a whole number once the command line has passed, is
// not used as it stands; empty when it is.
QString logLevelProblem(const QString &value, int level)
{
    if (level >= LogLevel::Off && level <= LogLevel::Verbose)
        return QString();
    return QObject::tr("The log level %1 is not one of 0 (off), 1 (normal) or 2 (verbose); "
                       "it is taken as 1.")
        .arg(value);
}

// Translations are looked for in "locale" beside the executable; a missing one
// is fine: the built-in English texts are used.
void installTranslation(QTranslator &translator)
{
    (void)translator.load(QCoreApplication::applicationDirPath()
        + QStringLiteral("/locale/korvane_") + QLocale::system().name());
    QCoreApplication::installTranslator(&translator);
}

// A command line that cannot be run: nothing is checked, read or written.
// One line on standard error, or for a monitoring agent its UNKNOWN status line.
int refuseArguments(int &argc, char **argv, bool plugin)
{
    QCoreApplication app(argc, argv);
    QTranslator translator;
    installTranslation(translator);
    // Worded again, now that the translation is there.
    const QString text = argumentProblem(savedArguments()) + QLatin1Char(' ')
        + QObject::tr("\"korvane -h\" lists the switches.");
    if (plugin) {
        Console::writeDocument(pluginUnknownLine(text).toUtf8() + '\n');
        return ExitStatus::PluginUnknown;
    }
    Console::setLinesToStandardError(true);
    Console::writeLine(QStringLiteral("korvane: ") + text);
    return ExitStatus::Usage;
}

// -f: the stored report, without a look at the network, the settings or the
// installation, so that a monitoring agent can run it as itself.
int reportStored(int &argc, char **argv, const QString &path, ReportFormat format)
{
    QCoreApplication app(argc, argv);
    QTranslator translator;
    installTranslation(translator);
    initLogging();
    const int status = runStoredReport(
        path, format, numberValue(savedArguments(), QStringLiteral("A"), kDefaultMaxAgeHours));
    Logger::instance()->close();
    return outputStatus(status, format == ReportFormat::Plugin);
}

} // namespace

LogSwitches logSwitches(const QStringList &args, const QString &defaultPath)
{
    LogSwitches result {defaultPath, LogLevel::Off, QString()};
    QString value;
    if (argumentBySwitchIn(args, QStringLiteral("V"), &value)) {
        result.level = value.toInt();
        result.problem = logLevelProblem(value, result.level);
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
    Console::writeLines(usageLines());
}

int outputStatus(int status, bool plugin)
{
    const QString error = Console::standardOutputError();
    if (error.isEmpty())
        return status;
    Console::setLinesToStandardError(true);
    Console::writeLine(QStringLiteral("korvane: ")
        + QObject::tr("Standard output could not be written: %1.").arg(error));
    return plugin ? ExitStatus::PluginUnknown : ExitStatus::Failure;
}

int korvaneMain(int &argc, char **argv, const DesktopFrontEnd *frontEnd)
{
    saveArguments(argc, argv);

    // With -j or -m standard output carries the document alone; every line
    // the other modes print goes to standard error, from the first one on.
    // -o writes the document to a file and leaves standard output empty.
    QString reportPath;
    argumentBySwitch(QStringLiteral("O"), &reportPath);
    const bool json = switchPresent(QStringLiteral("J")) || switchPresent(QStringLiteral("O"));
    const bool plugin = switchPresent(QStringLiteral("M"));
    Console::setLinesToStandardError(json || plugin);

    if (!argumentProblem(savedArguments()).isEmpty())
        return refuseArguments(argc, argv, plugin);
    if (savedArguments().contains(QStringLiteral("--version"))) {
        Console::writeLine(QStringLiteral("korvane " KORVANE_VERSION));
        return outputStatus(ExitStatus::Success, false);
    }
    const ReportFormat format = json ? ReportFormat::Json
        : plugin                     ? ReportFormat::Plugin
                                     : ReportFormat::Text;
    const bool usage = switchPresent(QStringLiteral("H")) || switchPresent(QStringLiteral("?"))
        || savedArguments().contains(QStringLiteral("--help"));
    QString storedPath;
    if (argumentBySwitch(QStringLiteral("F"), &storedPath) && !usage)
        return reportStored(argc, argv, storedPath, format);

    bool desktop = !switchPresent(QStringLiteral("C")) && !json && !plugin && Utils::hasDisplay();
    const bool tray = switchPresent(QStringLiteral("I"));
    // Why the run is not the desktop one it would be; told in the log once
    // it is open.
    QString consoleReason;
    if (desktop && !frontEnd && !Handover::desktopInstalled()) {
        // Said where it is seen: the run goes on in console mode.
        consoleReason = QStringLiteral("The report window and the tray mode come with the "
                                       "package korvane-desktop, which is not installed; running "
                                       "in console mode.");
        Console::setLinesToStandardError(true);
        Console::writeLine(QStringLiteral("korvane: ") + consoleReason);
        Console::setLinesToStandardError(false);
        desktop = false;
    }
    // The console program that handed this run over has just asked.
    const bool handedOver = frontEnd && frontEnd->startedDescriptor >= 0;
    if (desktop && !handedOver && !displayAnswers(&consoleReason))
        desktop = false;
    if (desktop && !frontEnd) {
        if (const std::optional<int> status = Handover::runDesktop(argv, &consoleReason))
            return *status;
        desktop = false;
    }
    if (switchPresent(QStringLiteral("R")))
        Common::instance()->useCurl = true;

    // Never deleted: it lives until the process ends.
    if (desktop)
        frontEnd->createApplication(argc, argv);
    else
        new QCoreApplication(argc, argv);
    Handover::signalStarted(frontEnd ? frontEnd->startedDescriptor : -1);

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
    installTranslation(translator);

    Common::instance()->readSettings();
    initLogging();
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("----------------- Program start -------------------"));
    if (!consoleReason.isEmpty())
        Logger::instance()->Print(Severity::Warning, consoleReason);

    if (usage) {
        printUsage();
        endProcess(outputStatus(ExitStatus::Success, false));
    }
    if (QString url; argumentBySwitch(QStringLiteral("U"), &url))
        Common::instance()->updateUrl = url;
    Common::instance()->timeLimitSeconds = numberValue(savedArguments(), QStringLiteral("T"), 0);
    // A proxy change that could not be saved fails the run, whatever follows.
    bool settingsSaved = true;
    if (QString url; argumentBySwitch(QStringLiteral("P"), &url))
        settingsSaved = applyProxySwitch(url);
    if (switchPresent(QStringLiteral("K")))
        settingsSaved = clearProxySwitch() && settingsSaved;
    const int settingsStatus = settingsSaved ? ExitStatus::Success : ExitStatus::Failure;
    if (switchPresent(QStringLiteral("S"))) {
        printProxySettings();
        endProcess(outputStatus(settingsStatus, false));
    }

    discoverInstalledProducts();
    int status = settingsStatus;
    if (desktop) {
        frontEnd->run(tray);
    } else {
        const int checked = runConsoleMode(format, reportPath);
        // A monitoring agent reads the state of the check from the status.
        status = plugin || settingsSaved ? checked : ExitStatus::Failure;
    }

    QCoreApplication::removeTranslator(&translator);
    return outputStatus(status, plugin);
}
