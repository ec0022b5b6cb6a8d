#pragma once

#include <QStringList>
#include <QTest>

// main() of a test program with the given application class. The program
// under test writes to the wide-character standard output, so the test log
// goes to standard error and the two never share one stream.
#define KORVANE_TEST_MAIN(Application, TestClass)                                                  \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        Application app(argc, argv);                                                               \
        TestClass test;                                                                            \
        QStringList args = app.arguments();                                                        \
        if (!args.contains(QStringLiteral("-o")))                                                  \
            args << QStringLiteral("-o") << QStringLiteral("/dev/stderr,txt");                     \
        return QTest::qExec(&test, args);                                                          \
    }
