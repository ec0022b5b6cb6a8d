#include "app/modechoice.h"

#include "app/runoptions.h"

namespace {

Mode modeOf(const RunOptions &options, const Environment &environment)
{
    if (!options.problem.isEmpty())
        return Mode::Refused;
    if (options.version)
        return Mode::Version;
    if (options.usage)
        return Mode::Usage;
    if (options.storedPath)
        return Mode::Stored;
    if (options.showProxy)
        return Mode::ShowProxy;
    // -j, -m, -o and -x are for scripts and agents, which see no window.
    if (options.console || options.format() != ReportFormat::Text || options.metricsPath
        || !environment.display)
        return Mode::Console;
    return options.tray ? Mode::Tray : Mode::Window;
}

} // namespace

ModeChoice chooseMode(const RunOptions &options, const Environment &environment)
{
    ModeChoice choice;
    choice.mode = modeOf(options, environment);
    if ((choice.mode == Mode::Window || choice.mode == Mode::Tray) && !environment.windows) {
        choice.mode = Mode::Console;
        choice.consoleReason = QStringLiteral(
            "The report window and the tray mode come with the package korvane-desktop, which "
            "is not installed; running in console mode.");
        choice.tellNow = true;
    }
    return choice;
}
