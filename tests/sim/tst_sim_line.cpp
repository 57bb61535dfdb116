// The in-process simulated line, driven by the program's own PlcLink, on a clock of its own: the
// PLC's delays and gaps take virtual time, and each arrival is stamped with it.

#include "common/errors.h"
#include "support/wait_for_task.h"
#include "support/sim_bench.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(sim::Faults)

// Faults are written with only the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

const QByteArray Data = QByteArray::fromHex("0102030405060708");
const QByteArray Answer = frame("0102030405060708", "27");

// The description of the PlatformError that act throws, or "no error".
static QString failure(const std::function<void()> &act)
{
    try {
        act();
    } catch (const PlatformError &e) {
        return e.description();
    }
    return QStringLiteral("no error");
}

class TestSimLine : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;
    QList<qint64> m_arrivals; // virtual time of every arrival on m_b->line

private Q_SLOTS:
    void init()
    {
        m_b = std::make_unique<Bench>();
        m_arrivals.clear();
        connect(&m_b->line, &SerialLine::received, this,
                [this] { m_arrivals.append(m_b->clock.nowMs()); });
        m_b->line.open();
    }
    void cleanup() { m_b.reset(); }

    // The link's exchanges go out as golden frames. The third request breaks the line instead of
    // being answered, and the link reports the break.
    void goldenExchangesThenABrokenLine()
    {
        const QString gone = QStringLiteral("COM1: the device went away");
        m_b->line.breakOnSend(3, gone);
        QSignalSpy failed(&m_b->line, &SerialLine::failed);
        QCOMPARE(waitForTask(m_b->link.Send_control_char(100ms, 0x05)).codeText(),
                 QStringLiteral("6"));
        QCOMPARE(waitForTask(m_b->link.Read_plc_word(100ms, 0x0E02)),
                 std::optional<quint16>(0x1234));
        QCOMPARE(m_b->line.sentBytes(), Enq + frame("00E0202", "6C"));
        QCOMPARE(failure([&] { waitForTask(m_b->link.Read_plc_word(1000ms, 0x0E02)); }), gone);
        QCOMPARE(failed.size(), 1);
        QVERIFY(!m_b->line.isOpen());
        QVERIFY_THROWS_EXCEPTION(PlatformError, m_b->line.send(Enq));
    }

    // Read with a 150 ms inactivity limit. The pieces arrive the answer's delay after the request
    // and its gap apart. A read that completes returns at the arrival that completes it; one that
    // does not waits the limit after the last arrival, or after the line reported the request sent
    // (not the link's fallback of a second more).
    void blockReadUnderFaults_data()
    {
        QTest::addColumn<sim::Faults>("faults");
        QTest::addColumn<QByteArray>("onLine"); // what reaches the link during the read
        QTest::addColumn<int>("arrivals");
        QTest::newRow("plain") << sim::Faults{} << Answer << 1;
        QTest::newRow("delayed below the limit") << sim::Faults{.delayMs = 100} << Answer << 1;
        // Each gap is below the limit, the whole answer takes longer.
        QTest::newRow("five pieces with gaps")
            << sim::Faults{.pieces = 5, .gapMs = 60} << Answer << 5;
        QTest::newRow("more pieces than bytes: one byte each")
            << sim::Faults{.pieces = 40, .gapMs = 5} << Answer << 20;
        QTest::newRow("delayed past the limit") << sim::Faults{.delayMs = 400} << QByteArray() << 0;
        QTest::newRow("gap past the limit")
            << sim::Faults{.pieces = 2, .gapMs = 400} << Answer.left(10) << 1;
        QTest::newRow("silent") << sim::Faults{.silent = true} << QByteArray() << 0;
        QTest::newRow("stray bytes after") << sim::Faults{.strayAfter = "\r\n"} << Answer + "\r\n"
                                           << 1;
    }
    void blockReadUnderFaults()
    {
        QFETCH(sim::Faults, faults);
        QFETCH(QByteArray, onLine);
        QFETCH(int, arrivals);
        m_b->plc().setMemory(0x2000, Data);
        m_b->plc().faults() = faults;
        QByteArray received;
        connect(&m_b->tap, &FrameTap::happened, &m_b->link, [&](const LinkEvent &e) {
            if (e.kind == LinkEvent::Kind::Received)
                received += e.bytes;
        });
        const auto got = waitForTask(m_b->link.Read_plc_block(150ms, 0x2000, 8));
        QCOMPARE(received, onLine);
        QCOMPARE(got.value_or(QByteArray()), onLine.startsWith(Answer) ? Data : QByteArray());
        QCOMPARE(m_arrivals.size(), arrivals);
        for (int i = 0; i < arrivals; ++i)
            QCOMPARE(m_arrivals[i], faults.delayMs + i * faults.gapMs);
        const qint64 last = m_arrivals.value(arrivals - 1, 0);
        if (got)
            QCOMPARE(m_b->clock.nowMs(), last);
        else
            QVERIFY(m_b->clock.nowMs() >= last + 150 && m_b->clock.nowMs() < last + 1000);
        QCOMPARE(m_b->line.sentBytes(), frame("E00200008", "D2"));
    }

    // An answer held back past the client's timeout arrives while the client waits for the next
    // one, ahead of that one's answer.
    void lateAnswerComesAheadOfTheNext()
    {
        m_b->plc().faults().lateOnceMs = 150;
        m_b->line.send(frame("E113000020FFF", "D1"));
        m_b->clock.advance(60);
        QVERIFY(m_arrivals.isEmpty());
        m_b->line.send(frame("00E0202", "6C"));
        m_b->clock.advance(1000);
        QCOMPARE(m_b->line.takeReceived(), Ack + frame("3412", "CD"));
        QCOMPARE(m_arrivals, (QList<qint64>{150, 150}));
    }

    // With wire timing an answer arrives when it would have crossed a real line: the request's
    // characters, then the answer's, each of start, data, parity and stop bits; an answer leaves
    // only after the one before it. The fake clock rounds up to whole milliseconds.
    void wireTimeHoldsAnswersBack_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<sim::Faults>("faults");
        QTest::addColumn<QByteArrayList>("requests"); // sent at once
        QTest::addColumn<QList<qint64>>("arrivals");
        const QByteArray read = frame("E00200008", "D2"); // 13 characters, answered by 20
        // 33 characters of 9 bits at 9600 bit/s: 30.9 ms.
        QTest::newRow("9600,N,7,1")
            << "9600,N,7,1" << sim::Faults{} << QByteArrayList{read} << QList<qint64>{31};
        // 12 bits a character, and the PLC's own 10 ms.
        QTest::newRow("parity, two stop bits and a delay")
            << "9600,E,8,2" << sim::Faults{.delayMs = 10} << QByteArrayList{read}
            << QList<qint64>{52};
        // 12.2 ms in, two pieces of 9.4 ms out with 5 ms between them.
        QTest::newRow("two pieces") << "9600,N,7,1" << sim::Faults{.pieces = 2, .gapMs = 5}
                                    << QByteArrayList{read} << QList<qint64>{22, 36};
        // ENQ in and ACK out take 0.9 ms each; the read's answer follows its own request.
        QTest::newRow("one request behind another")
            << "9600,N,7,1" << sim::Faults{} << QByteArrayList{Enq, read} << QList<qint64>{2, 32};
    }
    void wireTimeHoldsAnswersBack()
    {
        QFETCH(QString, settings);
        QFETCH(sim::Faults, faults);
        QFETCH(QByteArrayList, requests);
        QFETCH(QList<qint64>, arrivals);
        m_b->plc().setMemory(0x2000, Data);
        m_b->plc().faults() = faults;
        m_b->line.setSettings(settings);
        m_b->line.setWireTiming(true);
        for (const QByteArray &request : requests)
            m_b->line.send(request);
        m_b->clock.advance(1000);
        QCOMPARE(m_arrivals, arrivals);
    }

    // Answers on their way are lost with the port, as on a real line. An open refused on purpose
    // leaves the line closed.
    void closingAndOpening()
    {
        sim::SimulatedLine &line = m_b->line;
        m_b->plc().faults().delayMs = 30;
        line.send(Enq);
        line.close();
        const QString missing = QStringLiteral("COM3 (/dev/ttyUSB2): no such device");
        line.setOpenFailure(missing);
        QCOMPARE(failure([&] { line.open(); }), missing);
        line.setOpenFailure(QString());
        line.open();
        m_b->clock.advance(100);
        QVERIFY(m_arrivals.isEmpty());
        QCOMPARE(line.openCount(), 2);
        QVERIFY_THROWS_EXCEPTION(PlatformError, line.open()); // already open
    }
};

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_sim_line.moc"
