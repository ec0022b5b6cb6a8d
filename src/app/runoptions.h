#pragma once

#include "app/presentation.h"

#include <QString>
#include <QStringList>

#include <optional>

// What one run was asked on its command line, read once by readOptions():
// every later decision reads this value.
struct RunOptions
{
    QStringList arguments; // as given, argument 0 left out; for the log
    // Why the command line cannot be run, naming the argument at fault;
    // empty when every argument is a switch of the table, the value of one,
    // or an option of the application object, in a combination that works.
    QString problem;

    bool usage = false; // -h, -?, --help
    bool version = false; // --version
    bool console = false; // -c
    bool tray = false; // -i
    bool json = false; // -j
    bool plugin = false; // -m
    bool curl = false; // -r
    bool clearProxy = false; // -k
    bool showProxy = false; // -s
    std::optional<QString> proxyUrl; // -p
    std::optional<QString> catalogueUrl; // -u
    std::optional<QString> logPath; // -l
    std::optional<QString> reportPath; // -o
    std::optional<QString> storedPath; // -f
    std::optional<QString> metricsPath; // -x
    int timeLimitSeconds = 0; // -t; 0 keeps the download's defaults
    std::optional<int> logLevel; // -v
    int maxAgeHours = 48; // -a: a daily check may be late by a day

    // -j and -o write the JSON document, -m the plugin's output.
    ReportFormat format() const;
};

// Reads the arguments (argument 0 left out) once, with the switch table.
// Switches are one letter, matched without regard to case, with a leading
// '-', '/' or nothing ("c", "-C" and "/c" are the same). A value is taken as
// it stands; one that is a switch's letter counts as that switch too, as it
// always has (with the argument after it as that switch's value). Of a
// switch given twice, the first counts. Nothing is read or written.
RunOptions readOptions(const QStringList &arguments);

// The log lines that list the arguments, with the passwords of a proxy URL
// and of a catalogue URL hidden.
QStringList argumentLogLines(const QStringList &arguments);
