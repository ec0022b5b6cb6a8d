// A command line (arguments separated by NUL bytes): whether it can be run,
// what -l and -v make of it, what -p would store, and the argument lines of
// the log, in which no proxy password may stand.
#include "app/proxyswitches.h"
#include "app/runoptions.h"
#include "app/startup.h"
#include "app/switchtable.h"
#include "download/proxyurl.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QStringList arguments;
    for (const QByteArray &argument : bytes.split('\0'))
        arguments.append(QString::fromUtf8(argument));

    const RunOptions options = readOptions(arguments);
    const LogSwitches log = logSwitches(options, QStringLiteral("/tmp/Korvane.log"));
    if (log.level == 0 && options.logPath)
        std::abort(); // -l always logs
    if (options.proxyUrl) {
        (void)proxySwitchProblem(*options.proxyUrl);
        (void)proxySwitchNotice(*options.proxyUrl);
    }
    const QStringList lines = argumentLogLines(arguments);
    if (lines.size() != qMax(arguments.size(), qsizetype(1)) + 1)
        std::abort();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString password = ProxyUrl::parse(arguments.at(i)).password;
        const SwitchInfo *previous = findSwitch(switchName(arguments.at(i - 1)));
        if (previous && previous->letter == 'p' && password.size() > 4
            && lines.at(i + 1).contains(QStringLiteral(" - ") + arguments.at(i)))
            std::abort(); // a password shown as given
    }
    return 0;
}
