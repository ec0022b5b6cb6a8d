#include "app/switchtable.h"

#include <QObject>

namespace {

// The first five are the usage text's long-standing lines; the rest follow them.
const QList<SwitchInfo> kSwitches = {
    {'h', nullptr, QT_TRANSLATE_NOOP("QObject", "Show usage")},
    {'p', "proxy url",
        QT_TRANSLATE_NOOP("QObject", "http://<user>:<pass>@proxy.example.com:<port>")},
    {'k', nullptr, QT_TRANSLATE_NOOP("QObject", "Remove proxy settings")},
    {'s', nullptr, QT_TRANSLATE_NOOP("QObject", "Show proxy settings")},
    {'c', nullptr, QT_TRANSLATE_NOOP("QObject", "Run in console mode")},
    {'?', nullptr, QT_TRANSLATE_NOOP("QObject", "Show usage, as -h does")},
    {'i', nullptr, QT_TRANSLATE_NOOP("QObject", "Tray mode: an icon, and a popup for updates")},
    {'r', nullptr, QT_TRANSLATE_NOOP("QObject", "Download the catalogue with curl")},
    {'u', "url", QT_TRANSLATE_NOOP("QObject", "Catalogue URL (http://, https:// or file://)")},
    {'t', "seconds",
        QT_TRANSLATE_NOOP("QObject", "Download time limit, 1 to 600 (default 15, -r 30)")},
    {'j', nullptr,
        QT_TRANSLATE_NOOP("QObject", "Report as JSON; exit 0 none, 100 updates, 1 failed")},
    {'m', nullptr,
        QT_TRANSLATE_NOOP("QObject", "Monitoring plugin output; exit 0 OK to 3 UNKNOWN")},
    {'o', "path", QT_TRANSLATE_NOOP("QObject", "Write the JSON report to this file, not stdout")},
    {'f', "path", QT_TRANSLATE_NOOP("QObject", "Report from this stored file (-o), no check")},
    {'a', "hours", QT_TRANSLATE_NOOP("QObject", "Oldest stored report -f accepts (default 48)")},
    {'v', "level", QT_TRANSLATE_NOOP("QObject", "Log level: 0 off, 1 normal, 2 verbose")},
    {'l', "path", QT_TRANSLATE_NOOP("QObject", "Write the log to this file")},
};

const QStringList kQtOptionsWithValue = {QStringLiteral("-platform"),
    QStringLiteral("-platformtheme"), QStringLiteral("-platformpluginpath"),
    QStringLiteral("-display"), QStringLiteral("-style"), QStringLiteral("-stylesheet"),
    QStringLiteral("-session"), QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowtitle"),
    QStringLiteral("-qwindowicon")};
const QStringList kQtOptionsWithoutValue
    = {QStringLiteral("-reverse"), QStringLiteral("-widgetcount")};

QString usageLine(const QString &option, const QString &help)
{
    return QStringLiteral("       ") + option.leftJustified(17) + QStringLiteral(" - ") + help;
}

} // namespace

const QList<SwitchInfo> &switchTable()
{
    return kSwitches;
}

const SwitchInfo *findSwitch(QStringView letter)
{
    if (letter.size() != 1)
        return nullptr;
    const QChar wanted = letter.at(0).toLower();
    for (const SwitchInfo &info : kSwitches) {
        if (wanted == QLatin1Char(info.letter))
            return &info;
    }
    return nullptr;
}

bool isQtOptionWithValue(const QString &argument)
{
    return kQtOptionsWithValue.contains(argument);
}

bool isQtOptionWithoutValue(const QString &argument)
{
    return kQtOptionsWithoutValue.contains(argument);
}

QStringList usageLines()
{
    QStringList lines {QStringLiteral("Usage: korvane <-h> <-p [proxy url]> <-k> <-s> <-c>")};
    for (const SwitchInfo &info : kSwitches) {
        QString option = QStringLiteral("-") + QLatin1Char(info.letter);
        if (info.value)
            option += QStringLiteral(" [") + QLatin1String(info.value) + QLatin1Char(']');
        lines << usageLine(option, QObject::tr(info.help));
    }
    lines << usageLine(QStringLiteral("--help"), QObject::tr("Show usage, as -h does"))
          << usageLine(QStringLiteral("--version"), QObject::tr("Show the version"));
    return lines;
}
