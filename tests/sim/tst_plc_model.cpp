// The simulated PLC's memory, parser and answers, against frames written out by hand.

#include "sim/demo_plc.h"
#include "sim/plc_model.h"

#include <QBuffer>
#include <QTest>

using sim::PlcModel;

Q_DECLARE_METATYPE(sim::Faults)

namespace {

const QByteArray Ack(1, 0x06);
const QByteArray Nak(1, 0x15);
const QByteArray Enq(1, 0x05);

// A frame from its text between STX and ETX and its two sum characters, both written out.
QByteArray frame(const char *body, const char *sum)
{
    return '\x02' + QByteArray(body) + '\x03' + QByteArray(sum);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out += static_cast<char>(v);
    return out;
}

// Faults that shape every answer.
sim::Faults shape(int delayMs, int pieces, int gapMs, const char *before = "",
                  const char *after = "")
{
    sim::Faults f;
    f.delayMs = delayMs;
    f.pieces = pieces;
    f.gapMs = gapMs;
    f.strayBefore = before;
    f.strayAfter = after;
    return f;
}

} // namespace

class TestPlcModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The bracket, search and write frames are answered in the scenarios further down.
    void answersToOneRequest_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("enquiry") << Enq << Ack;
        QTest::newRow("word read of the cpu type") << frame("00E0202", "6C") << frame("3412", "CD");
        QTest::newRow("block read 2000 count 08")
            << frame("E00200008", "D2") << frame("1122334455667788", "4B");
        QTest::newRow("block read of nothing") << frame("E00200000", "CA") << frame("", "03");

        QTest::newRow("bad checksum") << frame("E00200008", "D3") << Nak;
        QTest::newRow("checksum in lower case") << frame("00E0002", "6a") << Nak;
        QTest::newRow("count above the data") << frame("E11200802D4", "4E") << Nak;
        QTest::newRow("count below the data") << frame("E11200801D403", "B0") << Nak;
        QTest::newRow("unknown command") << frame("E20200802D403", "B1") << Nak;
        QTest::newRow("word read of four bytes") << frame("00E0204", "6E") << Nak;
        QTest::newRow("word read without count") << frame("00E02", "0A") << Nak;
        QTest::newRow("lower-case address") << frame("E00200a08", "03") << Nak;
        QTest::newRow("read past the end of memory") << frame("E00FFFF02", "22") << Nak;
    }
    void answersToOneRequest()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        PlcModel model;
        model.setMemory(0x2000, bytes({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
        QCOMPARE(model.feed(request), answer);
        QCOMPARE(model.requestCount(), 1);
    }

    void requestsInAnyChunking_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QByteArray>("answers");
        const QByteArray wordRead = frame("00E0202", "6C");
        const QByteArray wordAnswer = frame("3412", "CD");
        const QByteArray open = frame("E113000020FFF", "D1");
        const QByteArray all = Enq + wordRead + open;
        QList<QByteArray> single;
        for (const char c : all)
            single.append(QByteArray(1, c));
        using Chunks = QList<QByteArray>;
        QTest::newRow("all in one") << Chunks{all} << Ack + wordAnswer + Ack;
        QTest::newRow("one byte at a time") << single << Ack + wordAnswer + Ack;
        QTest::newRow("garbage before, between and after")
            << Chunks{"xyz\x03" + wordRead + "\x06\r\n", open + "\xFF"} << wordAnswer + Ack;
        QTest::newRow("cut-off frame, then a whole one")
            << Chunks{'\x02' + QByteArray("E0020"), wordRead} << wordAnswer;
        QTest::newRow("cut off inside the sum by a new frame")
            << Chunks{wordRead.chopped(1), wordRead} << wordAnswer;
        QTest::newRow("enquiry inside a frame")
            << Chunks{'\x02' + QByteArray("E00"), Enq + wordRead} << Ack + wordAnswer;
        QTest::newRow("endless frame, then a whole one")
            << Chunks{'\x02' + QByteArray(600, '0'), wordRead} << wordAnswer;
    }
    void requestsInAnyChunking()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QByteArray, answers);
        PlcModel model;
        QByteArray got;
        for (const QByteArray &chunk : chunks)
            got += model.feed(chunk);
        QCOMPARE(got, answers);
    }

    void writesAreStoredLoggedAndMarkedInTheBracket()
    {
        PlcModel model;
        QCOMPARE(model.feed(frame("E1120080203d4", "D1")), Ack); // lower-case data digits
        QCOMPARE(model.word(0x2008), quint16(0xD403));
        QCOMPARE(model.feed(frame("E00200802", "D4")), frame("03D4", "DE"));
        QCOMPARE(model.feed(frame("E102002020080", "97")), Ack);
        QCOMPARE(model.writes().size(), 2);
        const PlcModel::Write control = model.writesAt(sim::Addr::ControlWord).value(0);
        QCOMPARE(control.command, QByteArray("E10"));
        QCOMPARE(control.bytes, bytes({0x00, 0x80}));
        QVERIFY(model.writesAt(0x2009).isEmpty());

        QCOMPARE(model.feed(frame("E113000020FFF", "D1")), Ack);
        QVERIFY(model.bracketOpen());
        QCOMPARE(model.feed(frame("E1120080203D4", "B1")), Ack);
        // The bracket word is not what a read of 3000 returns: that is the search count.
        QCOMPARE(model.feed(frame("E00300002", "CD")), frame("0000", "C3"));
        QCOMPARE(model.feed(frame("E113000020000", "8F")), Ack);
        QVERIFY(!model.bracketOpen());
        QCOMPARE(model.bracketsOpened(), 1);
        QCOMPARE(model.bracketsClosed(), 1);
        QVERIFY(model.writesAt(0x2008).value(1).inBracket);
        QCOMPARE(model.feed(frame("E1120080203D4", "B1")), Ack);
        QVERIFY(!model.writesAt(0x2008).value(2).inBracket);
    }

    void busSearchAnswersAfterItsDelay()
    {
        PlcModel model;
        qint64 now = 1000;
        model.setClock([&now] { return now; });
        QCOMPARE(model.searchDelayMs(), 3000);
        sim::RomCode a, b, c;
        QVERIFY(sim::parseRom(QStringLiteral("28FF641E0F00005A"), &a));
        QVERIFY(sim::parseRom(QStringLiteral("28aabbccdd000012"), &b));
        QVERIFY(sim::parseRom(QStringLiteral("2801020304050607"), &c));
        model.setBusSensors({a, b, c});

        const QByteArray readCount = frame("E00300002", "CD");
        QCOMPARE(model.feed(readCount), frame("0000", "C3")); // no search yet
        QCOMPARE(model.feed(frame("E102000020180", "96")), Ack);
        QCOMPARE(model.searchesStarted(), 1);
        now += 2999;
        QCOMPARE(model.feed(readCount), frame("0000", "C3"));
        now += 1;
        QCOMPARE(model.feed(readCount), frame("0300", "C6"));
        QCOMPARE(model.feed(frame("E00300218", "D6")),
                 frame("28FF641E0F00005A28AABBCCDD0000122801020304050607", "4C"));

        // Configuration writes to the same addresses do not disturb the result.
        QCOMPARE(model.feed(frame("E113000020FFF", "D1")), Ack);
        QCOMPARE(model.feed(frame("E11300202ABCD", "DB")), Ack);
        QCOMPARE(model.feed(readCount), frame("0300", "C6"));

        // A new search starts from nothing again.
        QCOMPARE(model.feed(frame("E102000020180", "96")), Ack);
        QCOMPARE(model.feed(readCount), frame("0000", "C3"));
        QCOMPARE(model.feed(frame("E00300008", "D3")).mid(1, 16), QByteArray(16, '0'));
    }

    void answerShape_data()
    {
        QTest::addColumn<sim::Faults>("faults");
        QTest::addColumn<QList<QByteArray>>("pieces");
        const QByteArray answer = frame("3412", "CD");
        QList<QByteArray> bytewise;
        for (const char c : answer)
            bytewise.append(QByteArray(1, c));
        QTest::newRow("delayed") << shape(250, 1, 0) << QList<QByteArray>{answer};
        QTest::newRow("three pieces")
            << shape(0, 3, 40)
            << QList<QByteArray>{answer.left(3), answer.mid(3, 3), answer.mid(6)};
        QTest::newRow("more pieces than bytes") << shape(0, 20, 0) << bytewise;
        QTest::newRow("stray bytes around")
            << shape(0, 1, 0, "\x06", "\r\n") << QList<QByteArray>{"\x06" + answer + "\r\n"};
    }
    void answerShape()
    {
        QFETCH(sim::Faults, faults);
        QFETCH(QList<QByteArray>, pieces);
        PlcModel model;
        model.faults() = faults;
        const QList<PlcModel::Answer> answers = model.feedAnswers(frame("00E0202", "6C"));
        QCOMPARE(answers.size(), 1);
        QCOMPARE(answers[0].pieces, pieces);
        QCOMPARE(answers[0].delayMs, faults.delayMs);
        QCOMPARE(answers[0].gapMs, faults.gapMs);
    }

    void lateAnswerOnlyOnce()
    {
        PlcModel model;
        model.faults().delayMs = 10;
        model.faults().lateOnceMs = 500;
        const QList<PlcModel::Answer> answers = model.feedAnswers(Enq + Enq);
        QCOMPARE(answers.size(), 2);
        QCOMPARE(answers[0].delayMs, 500);
        QCOMPARE(answers[1].delayMs, 10);
    }

    void refusedAndSilentAddresses()
    {
        PlcModel model;
        model.faults().refuseAt = {0x2009};
        model.faults().silentAt = {0x0E03};
        // A write whose range covers a refused address is refused and changes nothing.
        QCOMPARE(model.feed(frame("E1120080203D4", "B1")), Nak);
        QCOMPARE(model.word(0x2008), quint16(0));
        QVERIFY(model.writes().isEmpty());
        // Reads there are answered; writes that end before it are accepted.
        QCOMPARE(model.feed(frame("E00200802", "D4")), frame("0000", "C3"));
        QCOMPARE(model.feed(frame("E102000020180", "96")), Ack);
        // Silent: no answer at all, for a read touching the address; the rest still answers.
        QCOMPARE(model.feed(frame("00E0202", "6C")), QByteArray());
        QCOMPARE(model.feed(Enq), Ack);
        QCOMPARE(model.nakCount(), 1);

        // A PLC silent for everything still counts what it was sent.
        const int before = model.requestCount();
        model.faults().silent = true;
        QCOMPARE(model.feed(Enq + frame("00E0202", "6C") + frame("E00200008", "D3")), QByteArray());
        QCOMPARE(model.requestCount(), before + 3);
        model.faults().silent = false;
        QCOMPARE(model.feed(Enq), Ack);
    }

    void frameLogWritesReadableLines()
    {
        PlcModel model;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        model.setLogDevice(&buffer);
        model.feed("zz" + frame("00E0202", "6C") + frame("00E0202", "00"));
        const QString text = QString::fromLatin1(buffer.data());
        QCOMPARE(text.count(QLatin1Char('\n')), model.frameLog().size());
        for (const char *line : {"request  <STX>00E0202<ETX>6C", "answer   <STX>3412<ETX>CD",
                                 "ignored  zz", "bad checksum", "answer   <NAK>"})
            QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
    }

    void romCodes()
    {
        // The worked example of the 1-wire CRC: 02 1C B8 01 00 00 00 carries A2.
        QCOMPARE(sim::romCrc({0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00, 0x00}), quint8(0xA2));
        QSet<QByteArray> seen;
        for (int i = 0; i < 300; ++i) {
            const sim::RomCode rom = sim::generatedRom(i);
            QCOMPARE(rom[0], quint8(0x28));
            QCOMPARE(rom[7], sim::romCrc(rom));
            seen.insert(QByteArray(reinterpret_cast<const char *>(rom.data()), 8));
        }
        QCOMPARE(seen.size(), 300);
        sim::RomCode rom;
        QVERIFY(!sim::parseRom(QStringLiteral("28FF641E0F00005"), &rom));
        QVERIFY(!sim::parseRom(QStringLiteral("28FF641E0F00005G"), &rom));
    }

    void demoPlcIsConsistent()
    {
        PlcModel model;
        sim::fillDemoPlc(model);
        model.setSearchDelayMs(0);
        // Port words read as master, three slaves, and 1-wire master with three sensors.
        QCOMPARE(model.feed(frame("E00200802", "D4")), frame("03D4", "DE"));
        QCOMPARE(model.word(sim::Addr::AuxMode), quint16(0xC003));
        // The third sensor record holds the third bus sensor, pairs swapped, register 1504 (05E0).
        const sim::RomCode rom = sim::demoBusSensors().at(2);
        QCOMPARE(
            model.memory(sim::Addr::SensorArea + 20, 10),
            bytes({rom[1], rom[0], rom[3], rom[2], rom[5], rom[4], rom[7], rom[6], 0xE0, 0x05}));
        // A search finds all five.
        model.feed(frame("E102000020180", "96"));
        QCOMPARE(model.foundSensors(), 5);
        for (const auto buffer :
             {sim::Addr::Uart1Errors, sim::Addr::Uart2Errors, sim::Addr::OneWireErrors})
            QVERIFY(model.memory(buffer, 3).count('\0') < 3);
    }
};

QTEST_GUILESS_MAIN(TestPlcModel)
#include "tst_plc_model.moc"
