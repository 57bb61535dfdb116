// The frame protocol as seen on the line: frames, checksums, waits and answers. The line and the
// link run on a fake clock: every timeout and delayed arrival happens in deadline order, at once.
#include "support/fake_clock.h"
#include "support/frames.h"
#include "support/scripted_prompts.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "link/plc_address.h"
#include "link/transfer_steps.h"
#include "support/wait_for_task.h"

#include <QCoroTask>
#include <QtTest>

using namespace std::chrono_literals;
// Bytes arriving at their time (ms) after each send.
using Arrivals = QList<QPair<int, QByteArray>>;

namespace {
// A serial line, open at 115200,N,8,1, whose other side is the test: it records what was sent and
// answers every send as told, on the test's clock.
class ScriptedLine final : public SerialLine
{
public:
    explicit ScriptedLine(Clock &clock) : m_clock(clock)
    {
        setSettings(QStringLiteral("115200,N,8,1"));
    }
    QList<QByteArray> frames; // every send, in order
    Arrivals answer;          // to every send, each piece at its time
    QList<Arrivals> script;   // to the first sends, one each, before answer takes over
    int sentDelayMs = 0;      // how long the bytes take to leave
    QString breaksWith;       // the port breaks 20 ms after a send, with this description

    void open() override { m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void send(const QByteArray &bytes) override
    {
        frames << bytes;
        after(sentDelayMs, [this] { Q_EMIT sent(); });
        for (const auto &[ms, piece] : script.isEmpty() ? answer : script.takeFirst())
            after(ms, [this, piece] {
                m_queue += piece;
                Q_EMIT received();
            });
        if (!breaksWith.isEmpty())
            after(20, [this] { Q_EMIT failed(breaksWith); });
    }
    QByteArray takeReceived() override { return std::exchange(m_queue, QByteArray()); }

private:
    // Pending calls go with the line.
    void after(int ms, std::function<void()> call)
    {
        m_calls.push_back(m_clock.callAfter(ms, std::move(call)));
    }
    Clock &m_clock;
    bool m_open = true;
    QByteArray m_queue;
    std::vector<std::unique_ptr<ClockTimer>> m_calls;
};

const QByteArray Answer8 = framed("0102030405060708"); // a block read of 8 bytes: 20 characters
const QByteArray Data8 = QByteArray::fromHex("0102030405060708");
const QByteArray BracketOpen = frame("E113000020FFF", "D1");
} // namespace

class TestPlcLink : public QObject
{
    Q_OBJECT

    struct Rig
    {
        FakeClock clock; // first made, last gone
        FrameTap tap;
        ScriptedLine line{clock};
        PlcLink link{line, clock, tap};
    };
    std::unique_ptr<Rig> m;

    WriteAnswer write(const QByteArray &data, quint16 address = Addr::Bracket)
    {
        return waitForTask(
            m->link.Write_plc_block(100ms, WriteCommand::Configuration, address, data));
    }
    QByteArray read8(quint16 address = 0x2000)
    {
        return waitForTask(m->link.Read_plc_block(60ms, address, 8)).value_or("none");
    }

private Q_SLOTS:
    void init() { m = std::make_unique<Rig>(); }
    void cleanup() { m.reset(); }

    // The PLC's reading of hex digits: upper case only, and one bad digit spoils the number.
    void hexToIntTakesOnlyUpperCaseDigits()
    {
        QCOMPARE(Hex_to_int(u"0A"), 10u);
        QCOMPARE(Hex_to_int(u"FFFF"), 65535u);
        QCOMPARE(Hex_to_int(u"0a"), 0u);
        QCOMPARE(Hex_to_int(u""), 0u);
        QCOMPARE(Hex_to_int(u"12G"), 0u);
    }

    // Every answer to a write as the link types it, and as a transfer step takes it: a step that
    // fails closes the line, so the PLC is free while the user reads why.
    void writeAnswersAreTyped_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<WriteAnswer::Kind>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        using K = WriteAnswer::Kind;
        QTest::newRow("ACK") << Ack << K::Accepted << 0x06 << QString();
        QTest::newRow("NAK") << Nak << K::Refused << 0x15 << "Wrong answer from PLC";
        QTest::newRow("a whole, sound frame counts as accepted")
            << framed("3412") << K::Accepted << 0x02 << QString();
        const QString damaged = QStringLiteral("Damaged answer from PLC");
        QTest::newRow("STX, then the refusal")
            << QByteArray("\x02\x15") << K::Damaged << 0x02 << damaged;
        QTest::newRow("STX, then ACK") << QByteArray("\x02\x06") << K::Damaged << 0x02 << damaged;
        QTest::newRow("STX alone") << QByteArray("\x02") << K::Damaged << 0x02 << damaged;
        QTest::newRow("a frame whose sum does not hold")
            << frame("3412", "00") << K::Damaged << 0x02 << damaged;
        QTest::newRow("a flood of digits after STX")
            << QByteArray("\x02") + QByteArray(600, '1') << K::Damaged << 0x02 << damaged;
        QTest::newRow("noise, STX, then the refusal")
            << QByteArray("X\x02\x15") << K::Damaged << 0x02 << damaged;
        QTest::newRow("silence") << QByteArray() << K::NoAnswer << 0x16
                                 << "Answer timeout from PLC";
        QTest::newRow("a received 16 is silence")
            << QByteArray("\x16") << K::NoAnswer << 0x16 << "Answer timeout from PLC";
        QTest::newRow("a stray character alone is no acceptance")
            << QByteArray("X") << K::Damaged << 0x16 << "Damaged answer from PLC";
        QTest::newRow("nor is NUL")
            << QByteArray(1, '\0') << K::Damaged << 0x16 << "Damaged answer from PLC";
        QTest::newRow("noise before the ACK is no part of it")
            << QByteArray("X\0\x06", 3) << K::Accepted << 0x06 << QString();
    }
    void writeAnswersAreTyped()
    {
        QFETCH(QByteArray, answer);
        QFETCH(WriteAnswer::Kind, kind);
        QFETCH(int, code);
        QFETCH(QString, message);
        if (!answer.isEmpty())
            m->line.answer = {{5, answer}};
        const WriteAnswer a = write(QByteArray(2, '\0'));
        QCOMPARE(a.kind, kind);
        QCOMPARE(a.code, code);
        ScriptedPrompts prompts;
        WriteReport report;
        QCOMPARE(waitForTask(ConfigWriter(m->link, prompts, report).openBracket()), a.accepted());
        QCOMPARE(prompts.messages(), a.accepted() ? QStringList() : QStringList{message});
        QCOMPARE(m->line.isOpen(), a.accepted());
        QCOMPARE(m->line.frames, (QList<QByteArray>{frame("E113000020000", "8F"), BracketOpen}));
    }

    void wordReadSwapsTheBytes_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("value");
        QTest::newRow("3412 is 4660") << frame("3412", "CD") << 4660;
        QTest::newRow("D204 is 1234") << frame("D204", "DD") << 1234;
    }
    void wordReadSwapsTheBytes()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, value);
        m->line.answer = {{2, answer}};
        QCOMPARE(waitForTask(m->link.Read_plc_word(100ms, Addr::CpuType)),
                 std::optional<quint16>(value));
        QCOMPARE(m->line.frames, QList<QByteArray>{frame("00E0202", "6C")});
    }

    // The 60 ms timeout is an inactivity limit: every arrival starts it again.
    void blockReadsCollectUntilTheLineFallsSilent_data()
    {
        QTest::addColumn<Arrivals>("arrivals");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("three pieces, each within the timeout")
            << Arrivals{{40, Answer8.left(7)}, {80, Answer8.mid(7, 7)}, {120, Answer8.mid(14)}}
            << Data8;
        QTest::newRow("10 of 20 characters, then nothing")
            << Arrivals{{5, Answer8.left(10)}} << QByteArray("none");
        QTest::newRow("a gap longer than the timeout")
            << Arrivals{{10, Answer8.left(10)}, {100, Answer8.mid(10)}} << QByteArray("none");
        QTest::newRow("characters beyond the answer are no data")
            << Arrivals{{5, Answer8 + "XYZZY"}} << Data8;
        QTest::newRow("noise before the frame is no part of it")
            << Arrivals{{5, "X\0" + Answer8}} << Data8;
        QTest::newRow("a noise STX before the frame") << Arrivals{{5, "\x02" + Answer8}} << Data8;
        QTest::newRow("a noise STX arriving on its own first")
            << Arrivals{{5, "\x02X"}, {10, Answer8}} << Data8;
        QTest::newRow("STX after the frame is not its start")
            << Arrivals{{5, Answer8 + "\x02"}} << Data8;
    }
    void blockReadsCollectUntilTheLineFallsSilent()
    {
        QFETCH(Arrivals, arrivals);
        QFETCH(QByteArray, expected);
        m->line.answer = arrivals;
        QCOMPARE(read8(), expected);
        QCOMPARE(m->line.frames, QList<QByteArray>{frame("E00200008", "D2")});
    }

    // Fault prevented: whatever arrived was decoded as the PLC's data, so a damaged answer was
    // stored as a configuration. An answer must be a sound frame; a damaged one is read once
    // more, and a second damaged one gives no data.
    void dataAnswersAreChecked_data()
    {
        QTest::addColumn<QList<Arrivals>>("answers"); // to the first and the second request
        QTest::addColumn<AnswerKind>("kind");
        QTest::addColumn<int>("requests");
        const Arrivals sound{{5, Answer8}};
        const Arrivals wrongSum{{5, frame("0102030405060708", "00")}};
        QTest::newRow("sound") << QList<Arrivals>{sound} << AnswerKind::Accepted << 1;
        QTest::newRow("a flipped digit, then sound")
            << QList<Arrivals>{{{5, frame("0102030405060709", "27")}}, sound}
            << AnswerKind::Accepted << 2;
        QTest::newRow("a wrong sum twice")
            << QList<Arrivals>{wrongSum, wrongSum} << AnswerKind::Damaged << 2;
        QTest::newRow("lower-case digits")
            << QList<Arrivals>{{{5, framed("0a02030405060708")}}, {{5, framed("0a02030405060708")}}}
            << AnswerKind::Damaged << 2;
        QTest::newRow("ETX out of its place")
            << QList<Arrivals>{{{5, framed("01020304050607") + "XY"}},
                               {{5, framed("010203040506070809")}}}
            << AnswerKind::Damaged << 2;
        QTest::newRow("damaged, then nothing")
            << QList<Arrivals>{wrongSum, {}} << AnswerKind::NoAnswer << 2;
    }
    void dataAnswersAreChecked()
    {
        QFETCH(QList<Arrivals>, answers);
        QFETCH(AnswerKind, kind);
        QFETCH(int, requests);
        m->line.script = answers;
        const auto got = waitForTask(m->link.Read_plc_block(60ms, 0x2000, 8));
        QCOMPARE(got.kind, kind);
        QCOMPARE(got.value, kind == AnswerKind::Accepted ? Data8 : QByteArray());
        QCOMPARE(m->line.frames, QList<QByteArray>(requests, frame("E00200008", "D2")));
        ScriptedPrompts prompts;
        if (kind != AnswerKind::Accepted)
            waitForTask(plcFailed(m->link, prompts, kind));
        QCOMPARE(prompts.messages(),
                 kind == AnswerKind::Accepted ? QStringList() : QStringList{answerMessage(kind)});
    }

    // Fault prevented: an answer arriving after its request timed out was taken as the answer of
    // the next request. The link now lets the line fall quiet before sending again.
    void aLateAnswerIsNotTakenForTheNextOne()
    {
        m->line.answer = {{80, framed("AAAAAAAAAAAAAAAA")}}; // 60 ms timeout
        QCOMPARE(read8(), QByteArray("none"));
        m->line.answer = {{40, Answer8}};
        QCOMPARE(read8(0x2100), Data8);

        m->line.answer = {{115, Ack}}; // 100 ms timeout
        QCOMPARE(write(QByteArray(2, '\0')).kind, WriteAnswer::Kind::NoAnswer);
        m->line.answer = {{40, Answer8}};
        QCOMPARE(read8(0x2100), Data8);
    }

    // Closing the window while a failed write drains the line ends the command quietly; the
    // line is closed once it has been quiet.
    void anAbortWhileDrainingEndsQuietly()
    {
        m->line.answer = {};
        const auto closing = m->clock.callAfter(1500, [&] { m->link.abort(); }); // draining
        ScriptedPrompts prompts;
        WriteReport report;
        {
            LinkTransfer transfer(m->link, QString(), LinkTransfer::Settings::AsTheyAre);
            QVERIFY_THROWS_EXCEPTION(
                TransferAborted, waitForTask(ConfigWriter(m->link, prompts, report).openBracket()));
        }
        QVERIFY(prompts.messages().isEmpty());
        waitForTask(m->link.idle());
        QVERIFY(!m->line.isOpen());
    }

    // Nor by the next command: a transfer whose request went unanswered drains the line until it
    // falls quiet before it closes it, so the next opening of the port starts clean.
    // An abort (closing the window) does not cut the drain short, whether it comes while the
    // request waits or while the line drains after the command.
    void aLateAnswerDoesNotOutliveItsTransfer_data()
    {
        QTest::addColumn<int>("abortAtMs");
        QTest::newRow("left alone") << 0;
        QTest::newRow("aborted while the answer is awaited") << 30;
        QTest::newRow("aborted while the line drains") << 80;
    }
    void aLateAnswerDoesNotOutliveItsTransfer()
    {
        QFETCH(int, abortAtMs);
        m->line.script = {{{100, framed("AAAAAAAAAAAAAAAA")}}};
        m->line.answer = {{40, Answer8}};
        std::unique_ptr<ClockTimer> abort;
        if (abortAtMs > 0)
            abort = m->clock.callAfter(abortAtMs, [this] { m->link.abort(); });
        try {
            LinkTransfer first(m->link, QString(), LinkTransfer::Settings::AsTheyAre);
            QCOMPARE(read8(), QByteArray("none")); // 60 ms timeout
        } catch (const TransferAborted &) {
            QCOMPARE(abortAtMs, 30);
        }
        // The drain goes on after the command: the link is busy until the line is closed.
        QVERIFY(m->link.busy());
        QVERIFY_THROWS_EXCEPTION(
            PlatformError, LinkTransfer(m->link, QString(), LinkTransfer::Settings::AsTheyAre));
        waitForTask(m->link.idle());
        QVERIFY(!m->line.isOpen());
        QVERIFY(m->clock.nowMs() >= 160); // the late answer came and went before the close
        LinkTransfer second(m->link, QString(), LinkTransfer::Settings::AsTheyAre);
        second.open();
        QCOMPARE(read8(0x2100), Data8);
    }

    // The answer comes 200 ms after the call, 100 ms timeout: in time only when the timeout is
    // counted from when the frame has left.
    void theTimeoutRunsFromWhenTheFrameHasLeft()
    {
        m->line.answer = {{200, Ack}};
        m->line.sentDelayMs = 150; // the port reports the frame sent after 150 ms
        QVERIFY(write(QByteArray(2, '\0')).accepted());
        m->line.sentDelayMs = 0;
        m->line.setSettings(QStringLiteral("9600,N,8,1")); // 141 characters: about 147 ms
        QVERIFY(write(QByteArray(64, '\xFF'), Addr::Uart1Slaves).accepted());
        // The longest frame, whose sum passes 255 many times.
        QCOMPARE(m->line.frames.last(),
                 frame(("E11250240" + QByteArray(128, 'F')).constData(), "D7"));
    }

    // Both would otherwise end as a timeout, without an error.
    void aPortThatBreaksEndsTheWait()
    {
        m->line.breaksWith = QStringLiteral("COM1 (/dev/x): gone");
        QVERIFY_THROWS_EXCEPTION(PlatformError,
                                 waitForTask(m->link.Read_plc_block(2000ms, 0x2000, 8)));
    }
    void abortEndsTheWait()
    {
        const auto abort = m->clock.callAfter(30, [this] { m->link.abort(); });
        QVERIFY_THROWS_EXCEPTION(TransferAborted,
                                 waitForTask(m->link.Read_plc_block(2000ms, 0x2000, 8)));
        QCOMPARE(m->clock.nowMs(), 30);
    }
    // A pause (a bus search's is 3.5 s) ends at once when the transfer is aborted, as from
    // closing the window.
    void abortEndsAPause()
    {
        LinkTransfer transfer(m->link, QString(), LinkTransfer::Settings::AsTheyAre);
        const auto abort = m->clock.callAfter(100, [this] { m->link.abort(); });
        QVERIFY_THROWS_EXCEPTION(TransferAborted,
                                 waitForTask(m->link.pause(std::chrono::hours(1))));
        QCOMPARE(m->clock.nowMs(), 100);
    }

    // Requests made while one is on the line wait their turn, in the order they were made; each
    // gets its own answer.
    void requestsWaitTheirTurnInOrder()
    {
        m->line.script = {
            {{30, framed("1111111111111111")}}, {{5, Ack}}, {{10, framed("3333333333333333")}}};
        auto first = m->link.Read_plc_block(60ms, 0x2000, 8);
        auto second =
            m->link.Write_plc_block(100ms, WriteCommand::RunTime, 0x2002, QByteArray(2, '\0'));
        auto third = m->link.Read_plc_block(60ms, 0x2100, 8);
        QCOMPARE(m->line.frames.size(), 1); // the others wait
        QCOMPARE(waitForTask(std::move(third)).value, QByteArray(8, '\x33'));
        QCOMPARE(waitForTask(std::move(first)).value, QByteArray(8, '\x11'));
        QVERIFY(waitForTask(std::move(second)).accepted());
        QCOMPARE(m->line.frames,
                 (QList<QByteArray>{
                     PlcLink::blockReadFrame(0x2000, 8),
                     PlcLink::blockWriteFrame(WriteCommand::RunTime, 0x2002, QByteArray(2, '\0')),
                     PlcLink::blockReadFrame(0x2100, 8)}));
    }

    void transfersAreOneAtATimeAndCloseTheLine()
    {
        m->line.close();
        const auto asTheyAre = LinkTransfer::Settings::AsTheyAre;
        {
            LinkTransfer first(m->link, QString(), asTheyAre);
            first.open();
            QVERIFY(m->link.busy());
            QVERIFY_THROWS_EXCEPTION(PlatformError, LinkTransfer(m->link, QString(), asTheyAre));
        }
        QVERIFY(!m->line.isOpen());
        QVERIFY(!m->link.busy());
    }
};

QTEST_GUILESS_MAIN(TestPlcLink)
#include "tst_plc_link.moc"
