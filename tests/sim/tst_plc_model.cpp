// The simulated PLC's memory, parser and answers, against frames written out by hand.

#include "sim/plc_model.h"
#include "support/frames.h"

#include <QBuffer>
#include <QTest>

using sim::PlcModel;

Q_DECLARE_METATYPE(sim::Faults)

// Faults are written with only the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

const QByteArray Stx("\x02");

class TestPlcModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Requests to a PLC holding 11 22 .. 88 at 2000, fed at once and again one byte at a time:
    // the answers must not depend on how the bytes come. Nothing is stored without an ACK.
    void answers_data()
    {
        QTest::addColumn<sim::Faults>("faults");
        QTest::addColumn<QByteArray>("requests");
        QTest::addColumn<QByteArray>("answers");
        const sim::Faults none;
        const QByteArray wordRead = frame("00E0202", "6C");
        const QByteArray wordAnswer = frame("3412", "CD");
        const QByteArray open = frame("E113000020FFF", "D1");
        QTest::newRow("enquiry") << none << Enq << Ack;
        QTest::newRow("word read of the cpu type") << none << wordRead << wordAnswer;
        QTest::newRow("block read 2000 count 08")
            << none << frame("E00200008", "D2") << frame("1122334455667788", "4B");
        QTest::newRow("block read of nothing")
            << none << frame("E00200000", "CA") << frame("", "03");
        QTest::newRow("three requests") << none << Enq + wordRead + open << Ack + wordAnswer + Ack;

        QTest::newRow("bad checksum") << none << frame("E00200008", "D3") << Nak;
        QTest::newRow("checksum in lower case") << none << frame("00E0002", "6a") << Nak;
        QTest::newRow("count above the data") << none << frame("E11200802D4", "4E") << Nak;
        QTest::newRow("count below the data") << none << frame("E11200801D403", "B0") << Nak;
        QTest::newRow("unknown command") << none << frame("E20200802D403", "B1") << Nak;
        QTest::newRow("word read of four bytes") << none << frame("00E0204", "6E") << Nak;
        QTest::newRow("word read without count") << none << frame("00E02", "0A") << Nak;
        QTest::newRow("lower-case address") << none << frame("E00200a08", "03") << Nak;
        QTest::newRow("read past the end of memory") << none << frame("E00FFFF02", "22") << Nak;

        QTest::newRow("garbage before, between and after")
            << none << "xyz\x03" + wordRead + "\x06\r\n" + open + "\xFF" << wordAnswer + Ack;
        QTest::newRow("cut-off frame, then a whole one")
            << none << Stx + "E0020" + wordRead << wordAnswer;
        QTest::newRow("cut off inside the sum by a new frame")
            << none << wordRead.chopped(1) + wordRead << wordAnswer;
        QTest::newRow("enquiry inside a frame")
            << none << Stx + "E00" + Enq + wordRead << Ack + wordAnswer;
        QTest::newRow("endless frame, then a whole one")
            << none << Stx + QByteArray(600, '0') + wordRead << wordAnswer;

        QTest::newRow("stray bytes around every answer")
            << sim::Faults{.strayBefore = "\x06", .strayAfter = "\r\n"} << Enq + wordRead
            << "\x06\x06\r\n\x06" + wordAnswer + "\r\n";
        QTest::newRow("write covering a refused address")
            << sim::Faults{.refuseAt = {0x2009}} << frame("E1120080203D4", "B1") << Nak;
        QTest::newRow("read covering a refused address")
            << sim::Faults{.refuseAt = {0x2009}} << frame("E00200802", "D4") << frame("0000", "C3");
        QTest::newRow("write ending before a refused address")
            << sim::Faults{.refuseAt = {0x2002}} << frame("E102000020180", "96") << Ack;
        QTest::newRow("read touching a silent address")
            << sim::Faults{.silentAt = {0x0E03}} << wordRead + Enq << Ack;
        QTest::newRow("write touching a silent address")
            << sim::Faults{.silentAt = {0x2009}} << frame("E1120080203D4", "B1") << QByteArray();
        QTest::newRow("silent PLC")
            << sim::Faults{.silent = true} << Enq + wordRead << QByteArray();
    }
    void answers()
    {
        QFETCH(sim::Faults, faults);
        QFETCH(QByteArray, requests);
        QFETCH(QByteArray, answers);
        for (const bool bytewise : {false, true}) {
            PlcModel model;
            model.setMemory(0x2000, QByteArray::fromHex("1122334455667788"));
            model.faults() = faults;
            const QByteArray before = model.memory(0, PlcModel::MemorySize);
            QByteArray got = bytewise ? QByteArray() : model.feed(requests);
            for (const char c : bytewise ? requests : QByteArray())
                got += model.feed(QByteArray(1, c));
            QCOMPARE(got, answers);
            QCOMPARE(model.nakCount(), int(answers.count(Nak)));
            if (!answers.contains(Ack))
                QVERIFY(model.writes().isEmpty() &&
                        model.memory(0, PlcModel::MemorySize) == before);
        }
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
        QCOMPARE(control.bytes, QByteArray::fromHex("0080"));
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

    void frameLogWritesReadableLines()
    {
        PlcModel model;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        model.setLogDevice(&buffer);
        model.feed("zz" + frame("00E0202", "6C") + frame("00E0202", "00"));
        const QString text = QString::fromLatin1(buffer.data());
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
    }
};

QTEST_GUILESS_MAIN(TestPlcModel)
#include "tst_plc_model.moc"
