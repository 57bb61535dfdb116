// The in-process simulated line, driven by the program's own PlcLink.

#include "common/errors.h"
#include "link/plc_link.h"
#include "sim/sim_line.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using sim::SimulatedLine;

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

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void connectionTestSendsGoldenFrames();
    void blockReadUnderFaults_data();
    void blockReadUnderFaults();
    void refusedWrite();
    void lateAnswerComesAheadOfTheNext();
    void sentIsReportedThroughTheEventLoop();
    void closingDropsAnswersOnTheirWay();
    void openFailureAndBrokenLine();
    void linesSharingOnePlc();
};

void TestSimLine::connectionTestSendsGoldenFrames()
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

void TestSimLine::blockReadUnderFaults_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QByteArray>("strayAfter");
    QTest::addColumn<QByteArray>("expected"); // empty: no answer in time

    const QByteArray answer = frame("0102030405060708", "27");
    QTest::newRow("plain") << 0 << 1 << 0 << false << QByteArray() << answer;
    QTest::newRow("delayed within the timeout") << 60 << 1 << 0 << false << QByteArray() << answer;
    // Each gap is below the 150 ms inactivity limit, the whole answer takes longer.
    QTest::newRow("five pieces with gaps") << 0 << 5 << 60 << false << QByteArray() << answer;
    QTest::newRow("delayed past the timeout")
        << 400 << 1 << 0 << false << QByteArray() << QByteArray();
    QTest::newRow("gap past the timeout") << 0 << 2 << 400 << false << QByteArray() << QByteArray();
    QTest::newRow("silent") << 0 << 1 << 0 << true << QByteArray() << QByteArray();
    QTest::newRow("stray bytes after")
        << 0 << 1 << 0 << false << QByteArray("\r\n") << answer + "\r\n";
}

void TestSimLine::blockReadUnderFaults()
{
    QFETCH(int, delayMs);
    QFETCH(int, pieces);
    QFETCH(int, gapMs);
    QFETCH(bool, silent);
    QFETCH(QByteArray, strayAfter);
    QFETCH(QByteArray, expected);

    SimulatedLine line;
    PlcLink link(line);
    line.model().setMemory(0x2000, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    sim::Faults &f = line.model().faults();
    f.delayMs = delayMs;
    f.pieces = pieces;
    f.gapMs = gapMs;
    f.silent = silent;
    f.strayAfter = strayAfter;
    line.open();
    const auto got = link.Read_plc_block(150, QStringLiteral("2000"), QStringLiteral("08"));
    QCOMPARE(got.value_or(QByteArray()), expected);
    QCOMPARE(line.sentBytes(), frame("E00200008", "D2"));
}

void TestSimLine::refusedWrite()
{
    SimulatedLine line;
    PlcLink link(line);
    line.model().faults().refuseAt = {0x3000};
    line.open();
    const WriteAnswer answer =
        link.Write_plc_block(100, QStringLiteral("E11"), QStringLiteral("3000"),
                             QStringLiteral("02"), QStringLiteral("0FFF"));
    QCOMPARE(answer.codeText(), QStringLiteral("15"));
    QVERIFY(!line.model().bracketOpen());
    QCOMPARE(line.sentBytes(), frame("E113000020FFF", "D1"));
}

void TestSimLine::lateAnswerComesAheadOfTheNext()
{
    // The PLC answers one request after the other: an answer held back past the client's timeout
    // arrives while the client waits for the next one, ahead of that one's answer.
    SimulatedLine line;
    line.model().faults().lateOnceMs = 150;
    line.open();
    QElapsedTimer clock;
    clock.start();
    line.send(frame("E113000020FFF", "D1"));
    QCOMPARE(collect(line, 1, 60), QByteArray());
    line.send(frame("00E0202", "6C"));
    const QByteArray got = collect(line, 9, 1000);
    QCOMPARE(got, QByteArray("\x06") + frame("3412", "CD"));
    QVERIFY(clock.elapsed() >= 150);
}

void TestSimLine::sentIsReportedThroughTheEventLoop()
{
    SimulatedLine line;
    QSignalSpy sent(&line, &SerialLine::sent);
    QSignalSpy received(&line, &SerialLine::received);
    line.open();
    line.send("\x05");
    QCOMPARE(sent.size(), 0);
    QCOMPARE(received.size(), 0);
    QVERIFY(received.wait(1000));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(line.takeReceived(), QByteArray("\x06"));
    QCOMPARE(line.takeReceived(), QByteArray());
}

void TestSimLine::closingDropsAnswersOnTheirWay()
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

void TestSimLine::openFailureAndBrokenLine()
{
    SimulatedLine line;
    PlcLink link(line);
    const QString missing = QStringLiteral("COM3 (/dev/ttyUSB2): no such device");
    line.setOpenFailure(missing);
    try {
        line.open();
        QFAIL("open() did not fail");
    } catch (const PlatformError &e) {
        QCOMPARE(e.description(), missing);
    }
    QVERIFY(!line.isOpen());
    line.setOpenFailure(QString());
    line.open();

    // The second request breaks the line instead of being answered.
    const QString gone = QStringLiteral("COM1: the device went away");
    line.breakOnSend(2, gone);
    QSignalSpy failed(&line, &SerialLine::failed);
    QCOMPARE(link.Send_control_char(100, 0x05).codeText(), QStringLiteral("6"));
    try {
        link.Read_plc_word(1000, QStringLiteral("0E02"));
        QFAIL("the broken line went unnoticed");
    } catch (const PlatformError &e) {
        QCOMPARE(e.description(), gone);
    }
    QCOMPARE(failed.size(), 1);
    QVERIFY(!line.isOpen());
    QVERIFY_THROWS_EXCEPTION(PlatformError, line.send("\x05"));

    line.open();
    line.breakLine(gone);
    QCOMPARE(failed.size(), 2);
    QVERIFY(!line.isOpen());
}

void TestSimLine::linesSharingOnePlc()
{
    sim::PlcModel plc;
    SimulatedLine mainLine(plc);
    SimulatedLine dialogLine(plc);
    PlcLink mainLink(mainLine);
    PlcLink dialogLink(dialogLine);
    mainLine.open();
    dialogLine.open();
    QVERIFY(mainLink
                .Write_plc_block(100, QStringLiteral("E11"), QStringLiteral("0E02"),
                                 QStringLiteral("02"), QStringLiteral("7856"))
                .accepted());
    QCOMPARE(dialogLink.Read_plc_word(100, QStringLiteral("0E02")), std::optional<quint16>(0x5678));
    QCOMPARE(&mainLine.model(), &plc);
}

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_sim_line.moc"
