#include "app/commandline.h"

#include "catalogue/networkutils.h"
#include "catalogue/proxyurl.h"

namespace {

QStringList &arguments()
{
    static QStringList saved;
    return saved;
}

} // namespace

void saveArguments(int argc, char **argv)
{
    QStringList &saved = arguments();
    saved.clear();
    for (int i = 1; i < argc; ++i)
        saved.append(argv[i] ? QString::fromLocal8Bit(argv[i]) : QString());
}

const QStringList &savedArguments()
{
    return arguments();
}

bool switchMatches(const QString &argument, const QString &name)
{
    QString candidate = argument;
    if (candidate.startsWith(QLatin1Char('-')) || candidate.startsWith(QLatin1Char('/')))
        candidate.remove(0, 1);
    return QString::compare(candidate, name, Qt::CaseInsensitive) == 0;
}

bool switchPresentIn(const QStringList &args, const QString &name)
{
    for (const QString &argument : args) {
        if (switchMatches(argument, name))
            return true;
    }
    return false;
}

bool argumentBySwitchIn(const QStringList &args, const QString &name, QString *value)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (!switchMatches(args.at(i), name))
            continue;
        *value = i + 1 < args.size() ? args.at(i + 1) : QString();
        return true;
    }
    return false;
}

bool switchPresent(const QString &name)
{
    return switchPresentIn(arguments(), name);
}

bool argumentBySwitch(const QString &name, QString *value)
{
    return argumentBySwitchIn(arguments(), name, value);
}

QStringList argumentLogLines(const QStringList &args)
{
    QStringList lines {QStringLiteral("Program arguments:")};
    if (args.isEmpty()) {
        lines.append(QStringLiteral("  (none)"));
        return lines;
    }
    // Whatever follows a -p may be a proxy URL with a password, and what
    // follows a -u a catalogue URL with one.
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString previous = i > 0 ? args.at(i - 1) : QString();
        const QString text = switchMatches(previous, QStringLiteral("P"))
            ? ProxyUrl::masked(args.at(i))
            : switchMatches(previous, QStringLiteral("U")) ? Utils::urlForLog(args.at(i))
                                                           : args.at(i);
        lines.append(QStringLiteral("  %1 - %2").arg(QString::number(i + 1), text));
    }
    return lines;
}
