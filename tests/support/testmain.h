#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <QTest>

#include <vector>

namespace KorvaneTest {

// The program writes to the wide-character standard output; the test log goes
// to standard error so that the two never share one stream.
inline int run(QObject *test, int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (!args.contains(QStringLiteral("-o")))
        args << QStringLiteral("-o") << QStringLiteral("/dev/stderr,txt");
    return QTest::qExec(test, args);
}

} // namespace KorvaneTest

#define KORVANE_TEST_MAIN(TestClass)                                                               \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QCoreApplication app(argc, argv);                                                          \
        TestClass test;                                                                            \
        return KorvaneTest::run(&test, argc, argv);                                                \
    }

#define KORVANE_TEST_GUI_MAIN(TestClass)                                                           \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return KorvaneTest::run(&test, argc, argv);                                                \
    }
