// The in-process simulated line, driven by the program's own PlcLink.

#include "common/errors.h"
#include "link/plc_link.h"
#include "sim/sim_line.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using sim::SimulatedLine;

Q_DECLARE_METATYPE(sim::Faults)

namespace {

QByteArray frame(const char *body, const char *sum)
{
    return '\x02' + QByteArray(body) + '\x03' + QByteArray(sum);
}

// Collects what arrives on the line until `count` bytes are there or `ms` have passed.
QByteArray collect(SimulatedLine &line, int count, int ms)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < ms) {
        QTest::qWait(5);
        got += line.takeReceived();
    }
    return got;
}

// Faults that shape every answer.
sim::Faults shape(int delayMs, int pieces, int gapMs, const char *after = "", bool silent = false)
{
    sim::Faults f;
    f.delayMs = delayMs;
    f.pieces = pieces;
    f.gapMs = gapMs;
    f.strayAfter = after;
    f.silent = silent;
    return f;
}

// The description of the PlatformError that act throws, or "no error".
QString failure(const std::function<void()> &act)
{
    try {
        act();
    } catch (const PlatformError &e) {
        return e.description();
    }
    return QStringLiteral("no error");
}

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void connectionTestSendsGoldenFrames()
    {
        SimulatedLine line;
        PlcLink link(line);
        line.open();
        QCOMPARE(link.Send_control_char(100, 0x05).codeText(), QStringLiteral("6"));
        QCOMPARE(link.Read_plc_word(100, QStringLiteral("0E02")), std::optional<quint16>(0x1234));
        QCOMPARE(line.sentBytes(), QByteArray("\x05") + frame("00E0202", "6C"));
        QCOMPARE(line.sends().size(), 2);
        QVERIFY(line.describe().contains(QLatin1String("simulated")));
    }

    // Read with a 150 ms inactivity limit.
    void blockReadUnderFaults_data()
    {
        QTest::addColumn<sim::Faults>("faults");
        QTest::addColumn<QByteArray>("expected"); // empty: no answer in time
        const QByteArray answer = frame("0102030405060708", "27");
        QTest::newRow("plain") << shape(0, 1, 0) << answer;
        // Each gap is below the limit, the whole answer takes longer.
        QTest::newRow("five pieces with gaps") << shape(0, 5, 60) << answer;
        QTest::newRow("delayed past the timeout") << shape(400, 1, 0) << QByteArray();
        QTest::newRow("gap past the timeout") << shape(0, 2, 400) << QByteArray();
        QTest::newRow("silent") << shape(0, 1, 0, "", true) << QByteArray();
        QTest::newRow("stray bytes after") << shape(0, 1, 0, "\r\n") << answer + "\r\n";
    }
    void blockReadUnderFaults()
    {
        QFETCH(sim::Faults, faults);
        QFETCH(QByteArray, expected);
        SimulatedLine line;
        PlcLink link(line);
        line.model().setMemory(0x2000, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
        line.model().faults() = faults;
        line.open();
        const auto got = link.Read_plc_block(150, QStringLiteral("2000"), QStringLiteral("08"));
        QCOMPARE(got.value_or(QByteArray()), expected);
        QCOMPARE(line.sentBytes(), frame("E00200008", "D2"));
    }

    void lateAnswerComesAheadOfTheNext()
    {
        // An answer held back past the client's timeout arrives while the client waits for the
        // next one, ahead of that one's answer.
        SimulatedLine line;
        line.model().faults().lateOnceMs = 150;
        line.open();
        QElapsedTimer clock;
        clock.start();
        line.send(frame("E113000020FFF", "D1"));
        QCOMPARE(collect(line, 1, 60), QByteArray());
        line.send(frame("00E0202", "6C"));
        QCOMPARE(collect(line, 9, 1000), QByteArray("\x06") + frame("3412", "CD"));
        QVERIFY(clock.elapsed() >= 150);
    }

    void sentIsReportedThroughTheEventLoop()
    {
        SimulatedLine line;
        QSignalSpy sent(&line, &SerialLine::sent);
        QSignalSpy received(&line, &SerialLine::received);
        line.open();
        line.send("\x05");
        QCOMPARE(sent.size() + received.size(), 0);
        QVERIFY(received.wait(1000));
        QCOMPARE(sent.size(), 1);
        QCOMPARE(line.takeReceived(), QByteArray("\x06"));
        QCOMPARE(line.takeReceived(), QByteArray());
    }

    void closingDropsAnswersOnTheirWay()
    {
        SimulatedLine line;
        line.model().faults().delayMs = 30;
        line.open();
        line.send("\x05");
        line.close();
        line.open();
        QCOMPARE(collect(line, 1, 100), QByteArray());
        QCOMPARE(line.openCount(), 2);
        QVERIFY_THROWS_EXCEPTION(PlatformError, line.open()); // already open
    }

    void openFailureAndBrokenLine()
    {
        SimulatedLine line;
        PlcLink link(line);
        const QString missing = QStringLiteral("COM3 (/dev/ttyUSB2): no such device");
        line.setOpenFailure(missing);
        QCOMPARE(failure([&] { line.open(); }), missing);
        QVERIFY(!line.isOpen());
        line.setOpenFailure(QString());
        line.open();

        // The second request breaks the line instead of being answered.
        const QString gone = QStringLiteral("COM1: the device went away");
        line.breakOnSend(2, gone);
        QSignalSpy failed(&line, &SerialLine::failed);
        QCOMPARE(link.Send_control_char(100, 0x05).codeText(), QStringLiteral("6"));
        QCOMPARE(failure([&] { link.Read_plc_word(1000, QStringLiteral("0E02")); }), gone);
        QCOMPARE(failed.size(), 1);
        QVERIFY(!line.isOpen());
        QVERIFY_THROWS_EXCEPTION(PlatformError, line.send("\x05"));

        line.open();
        line.breakLine(gone);
        QCOMPARE(failed.size(), 2);
        QVERIFY(!line.isOpen());
    }

    void linesSharingOnePlc()
    {
        sim::PlcModel plc;
        SimulatedLine mainLine(plc), dialogLine(plc);
        PlcLink mainLink(mainLine), dialogLink(dialogLine);
        mainLine.open();
        dialogLine.open();
        QVERIFY(mainLink
                    .Write_plc_block(100, QStringLiteral("E11"), QStringLiteral("0E02"),
                                     QStringLiteral("02"), QStringLiteral("7856"))
                    .accepted());
        QCOMPARE(dialogLink.Read_plc_word(100, QStringLiteral("0E02")),
                 std::optional<quint16>(0x5678));
    }
};

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_sim_line.moc"
