// The simulated PLC on a pseudo-terminal, reached through QSerialPort like the program does. The
// server runs in real time: waits for bytes are bounded only as a safety net.

#include "sim/pty_server.h"
#include "support/frames.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

using sim::PtyServer;

const QByteArray WordRead = frame("00E0202", "6C");
const QByteArray WordAnswer = frame("3412", "CD");

// The server lives in this thread, so the wait keeps the event loop running.
static QByteArray collect(QSerialPort &port, int count)
{
    QByteArray got;
    (void)QTest::qWaitFor([&] { return (got += port.readAll()).size() >= count; }, 10000);
    return got;
}

class TestPtyServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A client may close the device and come back as often as it likes. With nobody holding the
    // device, the master must not report a hang-up for good: its notifier would then fire on
    // every turn of the event loop and burn the CPU.
    void answersClientAfterClientAndRestsBetween()
    {
        sim::PlcModel plc;
        PtyServer server(plc);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        for (int client = 1; client <= 2; ++client) {
            QSerialPort port(server.devicePath());
            QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
            // Two requests in one write, a third split over two writes.
            port.write(Enq + WordRead + WordRead.left(4));
            QVERIFY(port.waitForBytesWritten(10000));
            port.write(WordRead.mid(4));
            QCOMPARE(collect(port, 17), Ack + WordAnswer + WordAnswer);
            port.close();
            int activations = 0;
            for (QSocketNotifier *notifier : server.findChildren<QSocketNotifier *>())
                connect(notifier, &QSocketNotifier::activated, &port, [&] { ++activations; });
            for (int turn = 0; turn < 200; ++turn)
                QCoreApplication::processEvents();
            QVERIFY2(activations <= 2, qPrintable(QString::number(activations)));
        }
        QCOMPARE(plc.requestCount(), 6);
    }

    void symlinkFollowsTheServer()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("plc"));
        sim::PlcModel plc;
        {
            PtyServer server(plc);
            QVERIFY(server.setLinkPath(link));
            QVERIFY(server.start());
            QCOMPARE(QFile::symLinkTarget(link), server.devicePath());
            QSerialPort port(link);
            QVERIFY(port.open(QIODevice::ReadWrite));
            port.write(Enq);
            QCOMPARE(collect(port, 1), Ack);
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
        QVERIFY(QFileInfo(link).isFile());
    }

    // The log tells what speed and stop bits a client gave the line (a serial device server in
    // front of the PLC sets them as asked), once per change, before the request they came with.
    void logsTheLineSettingsAClientGave()
    {
        sim::PlcModel plc;
        PtyServer server(plc);
        QVERIFY(server.start());
        QSerialPort port(server.devicePath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        struct Step
        {
            qint32 speed;
            QSerialPort::StopBits stop;
            QString noted; // the speed and stop bits of the note, empty for none
        };
        const Step steps[] = {{115200, QSerialPort::TwoStop, "115200,2"},
                              {115200, QSerialPort::TwoStop, ""},
                              {9600, QSerialPort::OneStop, "9600,1"}};
        for (const Step &step : steps) {
            QVERIFY(port.setBaudRate(step.speed) && port.setStopBits(step.stop));
            plc.clearFrameLog();
            port.write(Enq);
            QCOMPARE(collect(port, 1), Ack);
            const QList<sim::PlcModel::LogEntry> log = plc.frameLog();
            QCOMPARE(log.constLast().kind, sim::PlcModel::LogEntry::Kind::Answer);
            if (step.noted.isEmpty()) {
                QCOMPARE(log.size(), 2);
                continue;
            }
            QCOMPARE(log.size(), 3);
            const QStringList fields = log.first().note.split(QLatin1Char(','));
            QCOMPARE(fields.size(), 4);
            QVERIFY2(log.first().note.startsWith(QLatin1String("line settings ")),
                     qPrintable(log.first().note));
            QCOMPARE(fields.first().mid(14) + QLatin1Char(',') + fields.last(), step.noted);
        }
    }
};

QTEST_GUILESS_MAIN(TestPtyServer)
#include "tst_pty_server.moc"
