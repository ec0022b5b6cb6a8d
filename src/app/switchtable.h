#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The program's switches, in the order the usage text lists them. This one
// table feeds the argument check, the usage text (-h), and the tests that hold
// the manual page and the bash completion to it.
struct SwitchInfo
{
    char letter; // lower case; matched without regard to case
    const char *value; // the value's name in the usage text; nullptr: no value
    const char *help; // translated in the context "QObject"
};

const QList<SwitchInfo> &switchTable();
// The switch of that letter (any case), or nullptr.
const SwitchInfo *findSwitch(QStringView letter);

// Options the application object takes for itself; accepted in every mode and
// ignored where no window is shown.
bool isQtOptionWithValue(const QString &argument);
bool isQtOptionWithoutValue(const QString &argument);

// The usage text: the long-standing six lines (the "Usage:" line and -h, -p,
// -k, -s, -c), then one line for each other switch in the same layout.
QStringList usageLines();
