// The frame protocol as seen on the line: frames, checksums, waits and answers.
#include "scripted_line.h"

#include "common/errors.h"
#include "link/config_bracket.h"
#include "link/plc_link.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

namespace {
// Control characters written out, so golden frames read like the protocol tables.
QByteArray stx(const char *body, const char *sum)
{
    return QByteArray("\x02") + body + "\x03" + sum;
}

// A prompts fake that only records messages.
class RecordingPrompts final : public Prompts
{
public:
    QStringList messages;
    void message(const QString &text, const Title &) override { messages << text; }
    bool question(const QString &, const Title &) override { return true; }
    std::optional<QString> chooseFileToOpen(const FileChoice &) override { return {}; }
    std::optional<QString> chooseFileToSave(const FileChoice &) override { return {}; }
    void progressShow() override {}
    void progressSet(int) override {}
    void progressClose() override {}
};
} // namespace

class TestPlcLink : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedLine> m_line;
    std::unique_ptr<PlcLink> m_link;

private Q_SLOTS:
    void init()
    {
        m_line = std::make_unique<ScriptedLine>();
        m_line->setSettings(QStringLiteral("115200,N,8,1"));
        m_line->open();
        m_link = std::make_unique<PlcLink>(*m_line);
    }
    void cleanup()
    {
        m_link.reset();
        m_line.reset();
    }

    void framesCarryTheirChecksum_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("block read 2000, 8 bytes")
            << PlcLink::blockReadFrame("2000", "08") << stx("E00200008", "D2");
        QTest::newRow("bracket opening")
            << PlcLink::blockWriteFrame("E11", "3000", "02", "0FFF") << stx("E113000020FFF", "D1");
        QTest::newRow("bracket closing")
            << PlcLink::blockWriteFrame("E11", "3000", "02", "0000") << stx("E113000020000", "8F");
        QTest::newRow("word read 0E02") << PlcLink::wordReadFrame("0E02") << stx("00E0202", "6C");
        // 64 data bytes of FF: the longest frame, whose sum passes 255 many times.
        QTest::newRow("64-byte write")
            << PlcLink::blockWriteFrame("E11", "2502", "40", QString(128, QLatin1Char('F')))
            << stx(QByteArray("E11250240" + QByteArray(128, 'F')).constData(), "D7");
    }
    void framesCarryTheirChecksum()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        QCOMPARE(frame, expected);
    }

    void hexToIntTakesOnlyUpperCaseDigits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("0A") << "0A" << 10;
        QTest::newRow("FFFF") << "FFFF" << 65535;
        QTest::newRow("lower case") << "0a" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("bad last digit") << "12G" << 0;
        QTest::newRow("blank") << " 1" << 0;
        QTest::newRow("1234") << "1234" << 0x1234;
    }
    void hexToIntTakesOnlyUpperCaseDigits()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(PlcLink::Hex_to_int(text), value);
    }

    void writeAnswersAreTyped_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("code");
        QTest::newRow("ACK") << QByteArray("\x06") << int(WriteAnswer::Kind::Accepted) << "6";
        QTest::newRow("NAK") << QByteArray("\x15") << int(WriteAnswer::Kind::Refused) << "15";
        QTest::newRow("STX counts as accepted")
            << QByteArray("\x02") << int(WriteAnswer::Kind::Accepted) << "2";
        QTest::newRow("silence") << QByteArray() << int(WriteAnswer::Kind::NoAnswer) << "16";
    }
    void writeAnswersAreTyped()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, kind);
        QFETCH(QString, code);
        if (!answer.isEmpty())
            m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(5, answer); };
        const WriteAnswer a = m_link->Write_plc_block(60, "E11", "3000", "02", "0FFF");
        QCOMPARE(int(a.kind), kind);
        QCOMPARE(a.codeText(), code);
        QCOMPARE(m_line->frames, QList<QByteArray>{stx("E113000020FFF", "D1")});
    }

    void wordReadSwapsTheBytes_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("value");
        QTest::newRow("3412 is 4660") << stx("3412", "CD") << 4660;
        QTest::newRow("D204 is 1234") << stx("D204", "00") << 1234;
        QTest::newRow("lower-case digits read as 0") << stx("d204", "00") << 0;
    }
    void wordReadSwapsTheBytes()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, value);
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(2, answer); };
        const auto word = m_link->Read_plc_word(100, "0E02");
        QVERIFY(word.has_value());
        QCOMPARE(int(*word), value);
    }

    void blockReadsWaitForTheirLength()
    {
        const QByteArray answer = stx("0102030405060708", "24"); // 20 characters
        m_line->onSend = [&](const QByteArray &) {
            m_line->arriveAfter(40, answer.left(7));
            m_line->arriveAfter(80, answer.mid(7, 7));
            m_line->arriveAfter(120, answer.mid(14));
        };
        QCOMPARE(m_link->Read_plc_block(60, "2000", "08").value_or("none"), answer);

        // Half the answer, then silence: nothing, the half is dropped.
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(5, answer.left(10)); };
        QCOMPARE(m_link->Read_plc_block(60, "2000", "08").value_or("none"), QByteArray("none"));

        // Extra characters of the last arrival are kept.
        const QByteArray longer = answer + "XYZZY";
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(5, longer); };
        QCOMPARE(m_link->Read_plc_block(60, "2000", "08").value_or("none"), longer);

        // A count of "0a" reads as 0, so 4 characters are enough.
        m_line->onSend = [&](const QByteArray &) {
            m_line->arriveAfter(5, "\x02"
                                   "AB\x03");
        };
        QCOMPARE(m_link->Read_plc_block(60, "2000", "0a").value_or("none"), QByteArray("\x02"
                                                                                       "AB\x03"));
    }

    void theTimeoutIsAnInactivityLimit()
    {
        // Pieces 70 ms apart with a 100 ms timeout: 280 ms in all, collected whole.
        const QByteArray answer = stx("0102030405060708", "24");
        m_line->onSend = [&](const QByteArray &) {
            for (int i = 0; i < 4; ++i)
                m_line->arriveAfter(70 * (i + 1), answer.mid(i * 5, 5));
        };
        QElapsedTimer t;
        t.start();
        QCOMPARE(m_link->Read_plc_block(100, "2000", "08").value_or("none"), answer);
        QVERIFY(t.elapsed() >= 270);

        // A pause longer than the timeout in the middle ends the wait.
        m_line->onSend = [&](const QByteArray &) {
            m_line->arriveAfter(10, answer.left(10));
            m_line->arriveAfter(200, answer.mid(10));
        };
        QCOMPARE(m_link->Read_plc_block(100, "2000", "08").value_or("none"), QByteArray("none"));
    }

    void aLateAnswerIsNotTakenForTheNextOne()
    {
        const QByteArray stale = stx("AAAAAAAAAAAAAAAA", "00");
        const QByteArray fresh = stx("0102030405060708", "24");
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(120, stale); };
        QVERIFY(!m_link->Read_plc_block(60, "2000", "08").has_value());
        QTest::qWait(100); // the stale answer arrives while nobody waits
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(10, fresh); };
        QCOMPARE(m_link->Read_plc_block(60, "2100", "08").value_or("none"), fresh);

        // The late answer comes just as the next request would go out.
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(75, "\x06"); };
        QVERIFY(!m_link->Write_plc_block(60, "E11", "3000", "02", "0FFF").accepted());
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(40, fresh); };
        QCOMPARE(m_link->Read_plc_block(60, "2100", "08").value_or("none"), fresh);
    }

    void theTimeoutRunsFromWhenTheFrameHasLeft()
    {
        // The frame takes 150 ms to leave; the answer comes 50 ms after that: inside a 100 ms
        // timeout counted from the end of sending, outside one counted from the call.
        m_line->sentDelayMs = 150;
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(200, "\x06"); };
        QVERIFY(m_link->Write_plc_block(100, "E11", "3000", "02", "0FFF").accepted());
    }

    void aLongFrameAtALowSpeedDoesNotEatItsTimeout()
    {
        // 141 characters at 9600,N,8,1 take about 147 ms on the wire.
        m_line->setSettings(QStringLiteral("9600,N,8,1"));
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(200, "\x06"); };
        const WriteAnswer a =
            m_link->Write_plc_block(100, "E11", "2502", "40", QString(128, QLatin1Char('0')));
        QVERIFY(a.accepted());
    }

    void aPortThatBreaksEndsTheWaitAtOnce()
    {
        m_line->onSend = [&](const QByteArray &) { m_line->breakAfter(20, "COM1 (/dev/x): gone"); };
        QElapsedTimer t;
        t.start();
        try {
            m_link->Read_plc_block(2000, "2000", "08");
            QFAIL("no error");
        } catch (const PlatformError &e) {
            QCOMPARE(e.description(), QStringLiteral("COM1 (/dev/x): gone"));
        }
        QVERIFY(t.elapsed() < 1000);
    }

    void abortEndsTheWaitAndTheTransfer()
    {
        QTimer::singleShot(30, this, [this] { m_link->abort(); });
        QElapsedTimer t;
        t.start();
        QVERIFY_THROWS_EXCEPTION(TransferAborted, m_link->Read_plc_block(2000, "2000", "08"));
        QVERIFY(t.elapsed() < 1000);
    }

    void aClosedLineIsAnError()
    {
        m_line->close();
        QVERIFY_THROWS_EXCEPTION(PlatformError, m_link->Read_plc_word(100, "0E02"));
    }

    void transfersAreOneAtATimeAndAlwaysCloseTheLine()
    {
        m_line->close();
        QSignalSpy busy(m_link.get(), &PlcLink::busyChanged);
        {
            LinkTransfer first(*m_link, QString(), LinkTransfer::Settings::AsTheyAre);
            first.open();
            QVERIFY(m_link->busy());
            QVERIFY_THROWS_EXCEPTION(
                PlatformError, LinkTransfer(*m_link, QString(), LinkTransfer::Settings::AsTheyAre));
            QVERIFY(m_line->isOpen());
        }
        QVERIFY(!m_line->isOpen());
        QVERIFY(!m_link->busy());
        QCOMPARE(busy.size(), 2);

        // Closed also when the command fails in the middle.
        try {
            LinkTransfer t(*m_link, QString(), LinkTransfer::Settings::AsTheyAre);
            t.open();
            throw PlatformError(QStringLiteral("boom"));
        } catch (const PlatformError &) {
        }
        QVERIFY(!m_line->isOpen());
        QVERIFY(!m_link->busy());
    }

    void theBracketStopsAtTheFirstRefusal()
    {
        RecordingPrompts prompts;
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(2, "\x15"); };
        QVERIFY(!openConfigBracket(*m_link, prompts));
        QCOMPARE(prompts.messages, QStringList{QStringLiteral("Wrong answer from PLC")});
        QCOMPARE(m_line->frames.size(), 1);
        QVERIFY(!m_line->isOpen());

        m_line->open();
        m_line->frames.clear();
        m_line->onSend = {};
        QVERIFY(!closeConfigBracket(*m_link, prompts));
        QCOMPARE(prompts.messages.last(), QStringLiteral("Answer timeout from PLC"));
        QCOMPARE(m_line->frames, QList<QByteArray>{stx("E113000020000", "8F")});

        m_line->open();
        m_line->onSend = [&](const QByteArray &) { m_line->arriveAfter(2, "\x06"); };
        QVERIFY(openConfigBracket(*m_link, prompts));
        QVERIFY(m_line->isOpen());
        QCOMPARE(prompts.messages.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestPlcLink)
#include "tst_plc_link.moc"
