// The simulated PLC on a pseudo-terminal, reached through QSerialPort like the program does.

#include "sim/pty_server.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

using sim::PtyServer;

namespace {

QByteArray frame(const char *body, const char *sum)
{
    return '\x02' + QByteArray(body) + '\x03' + QByteArray(sum);
}

const QByteArray WordRead = frame("00E0202", "6C");
const QByteArray WordAnswer = frame("3412", "CD");

bool openPort(QSerialPort &port, const QString &device)
{
    port.setPortName(device);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.setBaudRate(115200);
    return true;
}

// The server lives in this thread, so the wait must keep the event loop running.
QByteArray collect(QSerialPort &port, int count, int ms)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < ms) {
        QTest::qWait(5);
        got += port.readAll();
    }
    return got;
}

qint64 cpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

} // namespace

class TestPtyServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answersOverThePty();
    void pacedAnswer();
    void clientClosesAndReopens();
    void symlinkFollowsTheServer();
};

void TestPtyServer::answersOverThePty()
{
    sim::PlcModel plc;
    PtyServer server(plc);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(QFileInfo::exists(server.devicePath()));
    QSerialPort port;
    QVERIFY2(openPort(port, server.devicePath()), qPrintable(port.errorString()));
    // Two requests in one write, the second split over two writes.
    port.write("\x05" + WordRead + WordRead.left(4));
    QTest::qWait(20);
    port.write(WordRead.mid(4));
    QCOMPARE(collect(port, 17, 2000), "\x06" + WordAnswer + WordAnswer);
    QCOMPARE(plc.requestCount(), 3);
}

void TestPtyServer::pacedAnswer()
{
    sim::PlcModel plc;
    plc.faults().delayMs = 100;
    plc.faults().pieces = 2;
    plc.faults().gapMs = 100;
    PtyServer server(plc);
    QVERIFY(server.start());
    QSerialPort port;
    QVERIFY(openPort(port, server.devicePath()));
    port.write(WordRead);
    QCOMPARE(collect(port, 1, 60), QByteArray());
    const QByteArray first = collect(port, 1, 2000);
    QCOMPARE(first, WordAnswer.left(4));
    QCOMPARE(collect(port, 1, 50), QByteArray());
    QCOMPARE(first + collect(port, 4, 2000), WordAnswer);
}

void TestPtyServer::clientClosesAndReopens()
{
    sim::PlcModel plc;
    PtyServer server(plc);
    QVERIFY(server.start());
    for (int round = 0; round < 3; ++round) {
        QSerialPort port;
        QVERIFY2(openPort(port, server.devicePath()), qPrintable(port.errorString()));
        port.write(WordRead);
        QCOMPARE(collect(port, 8, 2000), WordAnswer);
        port.close();

        // Nobody holds the device now; serving it must not cost the CPU anything noticeable.
        // A generous bound: a spinning notifier burns the whole 300 ms.
        const qint64 before = cpuMicroseconds();
        QTest::qWait(300);
        const qint64 used = cpuMicroseconds() - before;
        QVERIFY2(used < 100000, qPrintable(QStringLiteral("%1 us of CPU while idle").arg(used)));
    }
    QCOMPARE(plc.requestCount(), 3);
}

void TestPtyServer::symlinkFollowsTheServer()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("plc"));
    sim::PlcModel plc;
    {
        PtyServer server(plc);
        QVERIFY(server.setLinkPath(link));
        QVERIFY(server.start());
        QCOMPARE(QFile::symLinkTarget(link), server.devicePath());
        QSerialPort port;
        QVERIFY(openPort(port, link));
        port.write("\x05");
        QCOMPARE(collect(port, 1, 2000), QByteArray("\x06"));
    }
    QVERIFY(!QFileInfo(link).isSymLink());

    // A file that is not a symlink is never replaced.
    QFile file(link);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    PtyServer server(plc);
    QVERIFY(server.setLinkPath(link));
    QVERIFY(!server.start());
    QVERIFY(server.errorString().contains(link));
    QVERIFY(!server.isRunning());
    QVERIFY(QFileInfo(link).isFile());
}

QTEST_GUILESS_MAIN(TestPtyServer)
#include "tst_pty_server.moc"
