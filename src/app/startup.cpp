#include "app/startup.h"

#include "app/displayprobe.h"
#include "app/exitstatus.h"
#include "app/handover.h"
#include "app/modechoice.h"
#include "app/modes.h"
#include "app/pluginreport.h"
#include "app/proxyswitches.h"
#include "app/runoptions.h"
#include "app/switchtable.h"
#include "core/common.h"
#include "core/console.h"
#include "core/logger.h"
#include "core/utils.h"
#include "download/cataloguecache.h"
#include "download/downloadsettings.h"
#include "download/networkutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QObject>
#include <QTranslator>

#include <memory>

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

// A monitoring agent reads every run's state from the status, a refused
// one's too.
Output outputOf(const RunOptions &options)
{
    return options.plugin ? Output::Plugin : outputOf(options.format());
}

// The status to end with: the given one, unless standard output could not be
// written (then one line on standard error says so).
int outputStatus(int status, Output output)
{
    const QString error = Console::standardOutputError();
    if (error.isEmpty())
        return status;
    Console::setLinesToStandardError(true);
    Console::writeLine(QStringLiteral("korvane: ")
        + QObject::tr("Standard output could not be written: %1.").arg(error));
    return exitStatus(output, Outcome::NotWritten);
}

// The application object, its translation and the log: what every mode but
// the shortest ones starts with. The object lives until the process ends.
class Start
{
public:
    Start(int &argc, char **argv, const RunOptions &options,
        const DesktopFrontEnd *desktop = nullptr, const QByteArray &platform = {})
    {
        if (desktop)
            desktop->createApplication(argc, argv, platform);
        else
            new QCoreApplication(argc, argv); // never deleted
        // Where the settings store and the log-on entry are.
        QCoreApplication::setOrganizationName(QStringLiteral("Zedo"));
        QCoreApplication::setOrganizationDomain(QStringLiteral("zedo.example"));
        QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
        // Translations are looked for in "locale" beside the executable; a
        // missing one is fine: the built-in English texts are used.
        (void)m_translator.load(QCoreApplication::applicationDirPath()
            + QStringLiteral("/locale/korvane_") + QLocale::system().name());
        QCoreApplication::installTranslator(&m_translator);
        m_options = &options;
    }
    ~Start()
    {
        Logger::instance()->close();
        QCoreApplication::removeTranslator(&m_translator);
    }
    Q_DISABLE_COPY(Start)

    void startLog() const
    {
        const LogSwitches log = logSwitches(*m_options, defaultLogPath());
        if (!log.problem.isEmpty())
            Utils::ErrorMsg(QObject::tr("Invalid Argument"), log.problem, nullptr);
        Logger::instance()->init(log.path, static_cast<LogLevel::LogLevel>(log.level));
        for (const QString &line : argumentLogLines(m_options->arguments))
            Logger::instance()->Print(Severity::Info, line);
    }

private:
    QTranslator m_translator;
    const RunOptions *m_options = nullptr;
};

// A command line that cannot be run: nothing is checked, read or written.
// One line on standard error, or for a monitoring agent its UNKNOWN status line.
int refuse(int &argc, char **argv, const RunOptions &options)
{
    const Start start(argc, argv, options);
    // Worded again, now that the translation is there.
    const QString text = readOptions(options.arguments).problem + QLatin1Char(' ')
        + QObject::tr("\"korvane -h\" lists the switches.");
    const Output output = outputOf(options);
    if (output == Output::Plugin) {
        Console::writeDocument(pluginUnknownLine(text).toUtf8() + '\n');
    } else {
        Console::setLinesToStandardError(true);
        Console::writeLine(QStringLiteral("korvane: ") + text);
    }
    return exitStatus(output, Outcome::UsageError);
}

// -f: the stored report, without a look at the network, the settings or the
// installation, so that a monitoring agent can run it as itself.
int reportStored(int &argc, char **argv, const RunOptions &options)
{
    const Start start(argc, argv, options);
    start.startLog();
    const bool shown = options.console || options.json || options.plugin;
    return runStoredReport(*options.storedPath,
        shown ? std::optional(options.format()) : std::nullopt, options.maxAgeHours,
        options.metricsPath.value_or(QString()));
}

// The download of this run: the URL, time limit and client asked for, with
// the stored proxy.
DownloadSettings downloadSettings(const RunOptions &options)
{
    const Common *store = Common::instance();
    DownloadSettings settings;
    settings.url = options.catalogueUrl.value_or(store->updateUrl);
    settings.useProxy = store->useProxy;
    settings.proxy = store->proxy;
    settings.useCurl = options.curl;
    settings.userAgent = "korvane/" KORVANE_VERSION;
    settings.cacheFolder = CatalogueCache::folder(qEnvironmentVariable("CACHE_DIRECTORY"),
        qEnvironmentVariable("XDG_CACHE_HOME"), qEnvironmentVariable("HOME"));
    if (options.timeLimitSeconds > 0) {
        settings.timeoutMs = options.timeLimitSeconds * 1000;
        settings.curlTimeoutMs = settings.timeoutMs;
        settings.timeLimitGiven = true;
    }
    return settings;
}

// -p and -k; false when the settings could not be written (told already).
bool applySettingsSwitches(const RunOptions &options)
{
    bool saved = true;
    if (options.proxyUrl)
        saved = applyProxySwitch(*options.proxyUrl);
    if (options.clearProxy)
        saved = clearProxySwitch() && saved;
    return saved;
}

// A window or the tray mode, once the display has answered: handed over to
// the desktop program, or run here by it. Falls back to console mode, with
// the reason in *choice, when neither can be.
std::optional<int> showWindows(
    ModeChoice *choice, const DisplayTarget &display, char **argv, const DesktopFrontEnd *desktop)
{
    // The console program that handed this run over has just asked.
    const bool handedOver = desktop && desktop->startedDescriptor >= 0;
    if (!handedOver && !displayAnswers(display, &choice->consoleReason)) {
        choice->mode = Mode::Console;
    } else if (!desktop) {
        if (const std::optional<int> status = Handover::runDesktop(argv, &choice->consoleReason))
            return status;
        choice->mode = Mode::Console;
    }
    return std::nullopt;
}

// A check in the chosen mode, after the settings switches.
int check(int &argc, char **argv, const RunOptions &options, const ModeChoice &choice,
    const DisplayTarget &display, const DesktopFrontEnd *desktop)
{
    const bool windows = choice.mode == Mode::Window || choice.mode == Mode::Tray;
    const Start start(argc, argv, options, windows ? desktop : nullptr, display.platform);
    if (desktop)
        Handover::signalStarted(desktop->startedDescriptor);
    if (!Utils::isNetworkAccessable()) {
        Utils::ErrorMsg(QObject::tr("Network Error"),
            QObject::tr("Your computer appears to be offline.  Please check your "
                        "Internet connection and try again."),
            nullptr);
    }
    start.startLog();
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("----------------- Program start -------------------"));
    // Once the log is open: -v 2 logs where each value came from.
    Common::instance()->readSettings();
    if (!choice.consoleReason.isEmpty())
        Logger::instance()->Print(Severity::Warning, choice.consoleReason);
    const Output output = windows ? Output::Window : outputOf(options);
    if (choice.mode == Mode::Usage) {
        Console::writeLines(usageLines());
        return exitStatus(output, Outcome::Done);
    }
    // A proxy change that could not be saved fails the run, whatever follows.
    const Outcome settings = applySettingsSwitches(options) ? Outcome::Done : Outcome::Failed;
    if (choice.mode == Mode::ShowProxy) {
        printProxySettings();
        return exitStatus(output, settings);
    }
    discoverInstalledProducts();
    if (windows) {
        desktop->run(choice.mode == Mode::Tray, downloadSettings(options));
        return exitStatus(output, settings);
    }
    const int checked = runConsoleMode(downloadSettings(options), options.format(),
        options.reportPath.value_or(QString()), options.metricsPath.value_or(QString()));
    // A monitoring agent reads the state of the check from the status.
    return output == Output::Plugin || settings == Outcome::Done
        ? checked
        : exitStatus(output, Outcome::Failed);
}

} // namespace

LogSwitches logSwitches(const RunOptions &options, const QString &defaultPath)
{
    LogSwitches result {options.logPath.value_or(defaultPath), LogLevel::Off, QString()};
    if (options.logLevel) {
        result.level = *options.logLevel;
        if (result.level > LogLevel::Verbose) {
            result.problem = QObject::tr("The log level %1 is not one of 0 (off), 1 (normal) or "
                                         "2 (verbose); it is taken as 1.")
                                 .arg(result.level);
        }
    }
    if (options.logPath && result.level == LogLevel::Off)
        result.level = LogLevel::Normal;
    return result;
}

int korvaneMain(int &argc, char **argv, const DesktopFrontEnd *desktop)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(argv[i] ? QString::fromLocal8Bit(argv[i]) : QString());
    const RunOptions options = readOptions(arguments);
    // With -j or -m standard output carries the document alone; every line
    // the other modes print goes to standard error, from the first one on.
    // -o writes the document to a file and leaves standard output empty.
    Console::setLinesToStandardError(options.format() != ReportFormat::Text);

    const DisplayTarget display = displayTarget(DisplayEnvironment::ofThisProcess());
    ModeChoice choice = chooseMode(
        options, {display.kind != DisplayTarget::None, desktop || Handover::desktopInstalled()});
    if (choice.tellNow) {
        // Said where it is seen: the run goes on in console mode.
        Console::setLinesToStandardError(true);
        Console::writeLine(QStringLiteral("korvane: ") + choice.consoleReason);
        Console::setLinesToStandardError(false);
    }
    int status = 0;
    switch (choice.mode) {
    case Mode::Refused:
        return refuse(argc, argv, options);
    case Mode::Version:
        Console::writeLine(QStringLiteral("korvane " KORVANE_VERSION));
        return outputStatus(exitStatus(Output::Console, Outcome::Done), Output::Console);
    case Mode::Stored:
        status = reportStored(argc, argv, options);
        break;
    case Mode::Window:
    case Mode::Tray:
        if (const std::optional<int> shown = showWindows(&choice, display, argv, desktop))
            return *shown;
        [[fallthrough]];
    default:
        status = check(argc, argv, options, choice, display, desktop);
    }
    return outputStatus(status, outputOf(options));
}
