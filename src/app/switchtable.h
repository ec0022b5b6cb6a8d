#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The program's switches, in the order the usage text lists them. Each row
// holds everything about its switch: this one table feeds the reading of the
// command line (runoptions.h), the usage text (-h), and the tests that hold
// the manual page and the bash completion to it.
struct SwitchInfo
{
    char letter; // lower case; matched without regard to case
    const char *value; // the value's name in the usage text; nullptr: no value
    const char *help; // the usage text, "%1" and "%2" the range of a number
    const char *needs; // what a value must be, "%1" and "%2" the range of a number
    const char *badNumber; // the refusal of a value that is no number of the range
                           // ("%1" the value, "%2" and "%3" the range); nullptr: no number
    int lowest = 0;
    int highest = 0;

    // The texts of the row, translated, with the range put in.
    QString helpText() const;
    QString valueDescription() const;
    // Why the value cannot be used; empty when it can.
    QString valueProblem(const QString &value) const;
};

const QList<SwitchInfo> &switchTable();
// The switch of that letter (any case), or nullptr.
const SwitchInfo *findSwitch(QStringView letter);
// The argument without its leading '-' or '/'.
QStringView switchName(const QString &argument);

// Options the application object takes for itself; accepted in every mode and
// ignored where no window is shown.
bool isQtOptionWithValue(const QString &argument);
bool isQtOptionWithoutValue(const QString &argument);

// The usage text: the long-standing six lines (the "Usage:" line and -h, -p,
// -k, -s, -c), then one line for each other switch in the same layout.
QStringList usageLines();
