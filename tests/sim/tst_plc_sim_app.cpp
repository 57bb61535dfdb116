// The plc-sim program: its options, its device line on stdout and its clean exit.

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray frame(const char *body, const char *sum)
{
    return '\x02' + QByteArray(body) + '\x03' + QByteArray(sum);
}

// The simulator runs in another process, so blocking waits are fine here.
QByteArray exchange(QSerialPort &port, const QByteArray &request, int count)
{
    port.write(request);
    port.waitForBytesWritten(1000);
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < 3000) {
        if (port.waitForReadyRead(100))
            got += port.readAll();
    }
    return got;
}

} // namespace

class TestPlcSimApp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void servesUntilTerminated();
    void refusesBadOptions_data();
    void refusesBadOptions();
};

void TestPlcSimApp::servesUntilTerminated()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("plc"));
    const QString log = dir.filePath(QStringLiteral("frames.log"));
    QProcess sim;
    sim.start(QStringLiteral(PLC_SIM_PATH),
              {QStringLiteral("--link"), link, QStringLiteral("--cpu-type"),
               QStringLiteral("0x4321"), QStringLiteral("--sensor"),
               QStringLiteral("28FF641E0F00005A"), QStringLiteral("--sensors"), QStringLiteral("2"),
               QStringLiteral("--search-delay"), QStringLiteral("0"), QStringLiteral("--refuse-at"),
               QStringLiteral("2008"), QStringLiteral("--log"), log});
    QVERIFY(sim.waitForStarted());
    QVERIFY(sim.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(device.startsWith(QLatin1String("/dev/")), qPrintable(device));
    QCOMPARE(QFile::symLinkTarget(link), device);

    QSerialPort port(link);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QCOMPARE(exchange(port, frame("00E0202", "6C"), 8), frame("2143", "CD"));
    QCOMPARE(exchange(port, frame("E1120080203D4", "B1"), 1), QByteArray("\x15"));
    QCOMPARE(exchange(port, frame("E102000020180", "96"), 1), QByteArray("\x06"));
    // Two generated sensors and the given one.
    QCOMPARE(exchange(port, frame("E00300002", "CD"), 8), frame("0300", "C6"));
    port.close();

    sim.terminate(); // SIGTERM
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QByteArray text = logFile.readAll();
    QVERIFY2(text.contains("<STX>00E0202<ETX>6C"), text.constData());
    QVERIFY2(text.contains("<STX>2143<ETX>CD"), text.constData());
}

void TestPlcSimApp::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("short rom code")
        << QStringList{QStringLiteral("--sensor"), QStringLiteral("28FF")};
    QTest::newRow("address not hex")
        << QStringList{QStringLiteral("--silent-at"), QStringLiteral("20G8")};
    QTest::newRow("no pieces") << QStringList{QStringLiteral("--split"), QStringLiteral("0")};
    QTest::newRow("odd stray") << QStringList{QStringLiteral("--stray"), QStringLiteral("0D0")};
}

void TestPlcSimApp::refusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QProcess sim;
    sim.start(QStringLiteral(PLC_SIM_PATH), arguments);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardOutput().isEmpty());
    QVERIFY(sim.readAllStandardError().startsWith("plc-sim: "));
}

QTEST_GUILESS_MAIN(TestPlcSimApp)
#include "tst_plc_sim_app.moc"
