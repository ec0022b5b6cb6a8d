#include "korvaneprocess.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QNetworkInterface>
#include <QProcess>
#include <QTest>

namespace {

const QString kOffline
    = QStringLiteral("<<<< Your computer appears to be offline.  Please check your "
                     "Internet connection and try again. >>>>");
const QString kUsageFirstLine
    = QStringLiteral("Usage: korvane <-h> <-p [proxy url]> <-k> <-s> <-c>");

QStringList lines(const QByteArray &output)
{
    QStringList out = QString::fromUtf8(output).split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    void offlineInIsolatedNamespace();
    void onlineOnHost();
};

void TestNetwork::offlineInIsolatedNamespace()
{
    // A new network namespace holds only a loopback interface, and it is down.
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-rn"), QStringLiteral("true")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit
        || probe.exitCode() != 0)
        QSKIP("unshare -rn is not permitted here (user namespaces are off)");

    TemporaryHome home;
    KorvaneProcess korvane(home.path());
    QProcess process;
    process.setProcessEnvironment(korvane.environment());
    process.start(QStringLiteral("unshare"),
        {QStringLiteral("-rn"), KorvaneProcess::binaryPath(), QStringLiteral("-c"),
            QStringLiteral("-h")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QStringList output = lines(process.readAllStandardOutput());
    QCOMPARE(output.value(0), kOffline);
    QCOMPARE(output.value(1), kUsageFirstLine);
}

void TestNetwork::onlineOnHost()
{
    bool hostHasNetwork = false;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &networkInterface : interfaces) {
        if (networkInterface.flags().testFlag(QNetworkInterface::IsRunning)
            && !networkInterface.flags().testFlag(QNetworkInterface::IsLoopBack)
            && !networkInterface.addressEntries().isEmpty())
            hostHasNetwork = true;
    }
    if (!hostHasNetwork)
        QSKIP("this machine has no running network interface besides loopback");

    TemporaryHome home;
    KorvaneProcess korvane(home.path());
    QCOMPARE(korvane.run({QStringLiteral("-c"), QStringLiteral("-h")}), 0);
    QVERIFY2(!korvane.outputLines().contains(kOffline), qPrintable(korvane.standardOutput()));
    QCOMPARE(korvane.outputLines().value(0), kUsageFirstLine);
}

KORVANE_TEST_MAIN(TestNetwork)
#include "tst_network.moc"
