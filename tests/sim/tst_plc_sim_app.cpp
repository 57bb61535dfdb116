// The plc-sim program: its options, its device line on stdout and its clean exit. It runs in real
// time in a process of its own: waits are bounded only as a safety net.

#include "support/frames.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

// The simulator runs in another process, so blocking waits are fine here.
static QByteArray exchange(QSerialPort &port, const QByteArray &request, int count)
{
    port.write(request);
    QByteArray got;
    const QDeadlineTimer safety(10000);
    while (got.size() < count && port.waitForReadyRead(int(safety.remainingTime())))
        got += port.readAll();
    return got;
}

class TestPlcSimApp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void servesUntilTerminated()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("plc"));
        QProcess sim;
        sim.start(QStringLiteral(PLC_SIM_PATH),
                  {"--link", link, "--cpu-type", "0x4321", "--sensor", "28FF641E0F00005A",
                   "--sensors", "2", "--search-delay", "0", "--refuse-at", "2008"});
        QVERIFY(sim.waitForReadyRead(10000));
        const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QCOMPARE(QFile::symLinkTarget(link), device);

        QSerialPort port(link);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        QCOMPARE(exchange(port, frame("00E0202", "6C"), 8), frame("2143", "CD"));
        QCOMPARE(exchange(port, frame("E1120080203D4", "B1"), 1), Nak);
        QCOMPARE(exchange(port, frame("E102000020180", "96"), 1), Ack);
        // Two generated sensors and the given one.
        QCOMPARE(exchange(port, frame("E00300002", "CD"), 8), frame("0300", "C6"));
        port.close();

        sim.terminate(); // SIGTERM
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void refusesBadOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("short rom code") << QStringList{"--sensor", "28FF"};
        QTest::newRow("address not hex") << QStringList{"--silent-at", "20G8"};
        QTest::newRow("no pieces") << QStringList{"--split", "0"};
        QTest::newRow("odd stray") << QStringList{"--stray", "0D0"};
        QTest::newRow("line without stop bits") << QStringList{"--wire", "--line", "9600,N,8"};
        QTest::newRow("unknown parity") << QStringList{"--line", "9600,X,8,1"};
    }
    void refusesBadOptions()
    {
        QFETCH(QStringList, arguments);
        QProcess sim;
        sim.start(QStringLiteral(PLC_SIM_PATH), arguments);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardOutput().isEmpty());
        QVERIFY(sim.readAllStandardError().startsWith("plc-sim: "));
    }
};

QTEST_GUILESS_MAIN(TestPlcSimApp)
#include "tst_plc_sim_app.moc"
