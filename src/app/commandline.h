#pragma once

#include <QString>
#include <QStringList>

// The program's switches: one letter, matched without regard to case, with a
// leading '-', '/' or nothing ("c", "-C" and "/c" are the same switch).
// The arguments are a copy taken at entry, before the application object
// removes the options it understands itself.

// Keeps a copy of argv[1 .. argc-1].
void saveArguments(int argc, char **argv);
const QStringList &savedArguments();

bool switchPresent(const QString &name);
// Stores the argument after the first match of the switch in *value (an empty
// string when the switch is last) and returns true; returns false and leaves
// *value alone when the switch is absent.
bool argumentBySwitch(const QString &name, QString *value);

// The same rules over a given argument list (argument 0 excluded).
bool switchMatches(const QString &argument, const QString &name);
bool switchPresentIn(const QStringList &arguments, const QString &name);
bool argumentBySwitchIn(const QStringList &arguments, const QString &name, QString *value);

// The log lines that list the arguments, the proxy password hidden.
QStringList argumentLogLines(const QStringList &arguments);

// Why the command line cannot be run, naming the argument at fault; empty when
// every argument is a switch of the table, the value of one, or an option of
// the application object. Nothing is read or written to find out.
QString argumentProblem(const QStringList &arguments);

// The number given to a switch (-t, -a), once argumentProblem() has passed it;
// `absent` when the switch is not given.
int numberValue(const QStringList &arguments, const QString &name, int absent);
