#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <QTest>

// The program under test writes to the wide-character standard output, so
// the test log goes to standard error and the two never share one stream.
inline QStringList testArguments(const QCoreApplication &app)
{
    QStringList args = app.arguments();
    if (!args.contains(QStringLiteral("-o")))
        args << QStringLiteral("-o") << QStringLiteral("/dev/stderr,txt");
    return args;
}

// main() of a test program with the given application class. With a child
// function, "--child-..." as the first argument runs child(argc, argv)
// instead: a test's own program as the process it starts.
#define KORVANE_TEST_MAIN_WITH_CHILD(Application, TestClass, child)                                \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        if (argc >= 2 && qstrncmp(argv[1], "--child-", 8) == 0)                                    \
            return child(argc, argv);                                                              \
        Application app(argc, argv);                                                               \
        TestClass test;                                                                            \
        return QTest::qExec(&test, testArguments(app));                                            \
    }
#define KORVANE_TEST_MAIN(Application, TestClass)                                                  \
    KORVANE_TEST_MAIN_WITH_CHILD(Application, TestClass, [](int, char **) { return 2; })
