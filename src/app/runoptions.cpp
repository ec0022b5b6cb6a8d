#include "app/runoptions.h"

#include "app/switchtable.h"
#include "download/networkutils.h"
#include "download/proxyurl.h"

#include <QHash>
#include <QObject>

namespace {

// The switches given, by letter: the first value of each.
using Given = QHash<char, QString>;

// Switches that cannot go together; empty when they all can.
QString combinationProblem(const Given &given)
{
    const auto has = [&given](char letter) { return given.contains(letter); };
    // Neither reader could make sense of the other's output.
    if (has('j') && has('m'))
        return QObject::tr("The switches -j and -m cannot be used together.");
    // The console report and a document for scripts on one standard output.
    if (has('c') && (has('j') || has('m'))) {
        return QObject::tr("The switches -c and -%1 cannot be used together.")
            .arg(QLatin1Char(has('j') ? 'j' : 'm'));
    }
    if (has('o') && (has('m') || has('c')))
        return QObject::tr(
            "The switch -o writes the JSON report; it cannot be used with -m or -c.");
    if (has('f')) {
        // A stored report is only read: nothing is downloaded or stored.
        for (const char letter : {'u', 'r', 'p', 'k', 'o'}) {
            if (has(letter)) {
                return QObject::tr("The switch -f reads a stored report; it cannot be used "
                                   "with -%1.")
                    .arg(QLatin1Char(letter));
            }
        }
        if (!has('m') && !has('c') && !has('j') && !has('x'))
            return QObject::tr("The switch -f needs -m, -c, -j or -x to say how to report.");
    } else if (has('a')) {
        return QObject::tr("The switch -a is the age limit of -f; it cannot be used without it.");
    }
    return QString();
}

std::optional<QString> valueOf(const Given &given, char letter)
{
    const auto found = given.constFind(letter);
    return found == given.cend() ? std::nullopt : std::optional(*found);
}

} // namespace

ReportFormat RunOptions::format() const
{
    return json || reportPath ? ReportFormat::Json
        : plugin              ? ReportFormat::Plugin
                              : ReportFormat::Text;
}

RunOptions readOptions(const QStringList &args)
{
    RunOptions options;
    options.arguments = args;
    Given given;
    // Every argument counts as the switch it names, and so does a value that
    // names a switch without a value of its own ("-u c" checks on the
    // console). A value naming one that takes a value does not: it would take
    // the argument after it, another switch, as its path.
    const auto note = [&](qsizetype at, bool isValue) {
        const SwitchInfo *known = findSwitch(switchName(args.at(at)));
        if (known && !(isValue && known->value) && !given.contains(known->letter))
            given.insert(known->letter, known->value ? args.value(at + 1) : QString());
    };
    const auto refuse = [&options](const QString &why) {
        if (options.problem.isEmpty())
            options.problem = why;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &argument = args.at(i);
        const bool last = i + 1 == args.size();
        note(i, false);
        if (argument == QLatin1String("--help") || argument == QLatin1String("--version")) {
            (argument == QLatin1String("--help") ? options.usage : options.version) = true;
            continue;
        }
        if (isQtOptionWithoutValue(argument))
            continue;
        if (isQtOptionWithValue(argument)) {
            if (last)
                refuse(QObject::tr("The option %1 needs a value.").arg(argument));
            else
                note(++i, true);
            continue;
        }
        const SwitchInfo *known = findSwitch(switchName(argument));
        if (!known)
            refuse(QObject::tr("The argument \"%1\" is not a switch of korvane.").arg(argument));
        if (!known || !known->value)
            continue;
        // A value is taken as it stands, even one that looks like a switch.
        if (last) {
            refuse(QObject::tr("The switch %1 needs a value: %2.")
                       .arg(argument, known->valueDescription()));
            continue;
        }
        note(++i, true);
        refuse(known->valueProblem(args.at(i)));
    }
    refuse(combinationProblem(given));

    options.usage = options.usage || given.contains('h') || given.contains('?');
    options.console = given.contains('c');
    options.tray = given.contains('i');
    options.json = given.contains('j');
    options.plugin = given.contains('m');
    options.curl = given.contains('r');
    options.clearProxy = given.contains('k');
    options.showProxy = given.contains('s');
    options.proxyUrl = valueOf(given, 'p');
    options.catalogueUrl = valueOf(given, 'u');
    options.logPath = valueOf(given, 'l');
    options.reportPath = valueOf(given, 'o');
    options.storedPath = valueOf(given, 'f');
    options.metricsPath = valueOf(given, 'x');
    // The numbers are whole once the command line has passed.
    options.timeLimitSeconds = given.value('t').toInt();
    if (given.contains('v'))
        options.logLevel = given.value('v').toInt();
    if (given.contains('a'))
        options.maxAgeHours = given.value('a').toInt();
    return options;
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
        const SwitchInfo *previous = i > 0 ? findSwitch(switchName(args.at(i - 1))) : nullptr;
        const char letter = previous ? previous->letter : 0;
        const QString text = letter == 'p' ? ProxyUrl::masked(args.at(i))
            : letter == 'u'                ? Utils::urlForLog(args.at(i))
                                           : args.at(i);
        lines.append(QStringLiteral("  %1 - %2").arg(QString::number(i + 1), text));
    }
    return lines;
}
