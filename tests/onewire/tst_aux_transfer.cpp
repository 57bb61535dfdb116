// "Write to PLC" and "Upload from PLC" of the auxiliary port against the in-process simulated
// PLC: the frames it received, what it stored, and what comes back.
#include "onewire_fixtures.h"

#include "onewire/aux_transfer.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(AuxMode)
Q_DECLARE_METATYPE(AuxPortConfig)
Q_DECLARE_METATYPE(Outcome)

namespace {

// The first sensor carries the documented example record, the last one register 7997.
QList<SensorRow> tableOf(int n)
{
    QList<SensorRow> rows = goodSensors(n);
    if (n > 0)
        rows.first() = exampleSensor();
    if (n > 1)
        rows.last().reg = QStringLiteral("7997");
    return rows;
}

} // namespace

class TestAuxTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;

    sim::PlcModel &plc() { return m_b->plc(); }
    Outcome write(const AuxPortConfig &c)
    {
        return writeAuxPort(m_b->link, m_b->ini(), m_b->prompts, c);
    }
    Outcome upload(AuxPortConfig &c)
    {
        return uploadAuxPort(m_b->link, m_b->ini(), m_b->prompts, c);
    }
    void verifyEndedCleanly()
    {
        QVERIFY(!m_b->line.isOpen());
        QVERIFY(!m_b->link.busy());
        QVERIFY(!m_b->prompts.progressVisible());
    }

private Q_SLOTS:
    void init() { m_b = std::make_unique<Bench>(); }
    void cleanup() { m_b.reset(); }

    void masterWritesTheTableInPiecesOf64Bytes_data()
    {
        QTest::addColumn<int>("sensors");
        QTest::addColumn<QList<QByteArray>>("pieces"); // the sensor area's requests
        QTest::addColumn<QList<int>>("progress");
        QTest::newRow("no sensor") << 0 << QList<QByteArray>{} << QList<int>{};
        QTest::newRow("6 sensors: one request of 60 bytes")
            << 6 << QList<QByteArray>{"E11200C3C"} << QList<int>{};
        QTest::newRow("7 sensors: 64 bytes, then 6 at 204C")
            << 7 << QList<QByteArray>{"E11200C40", "E11204C06"} << QList<int>{91, 100};
        QList<QByteArray> all;
        QList<int> steps;
        for (int j = 0; j < 20; ++j) {
            all.append("E11" + QByteArray::number(0x200C + 64 * j, 16).toUpper() + "40");
            steps.append(5 * (j + 1));
        }
        QTest::newRow("128 sensors: 20 pieces up to 24CC") << 128 << all << steps;
    }
    void masterWritesTheTableInPiecesOf64Bytes()
    {
        QFETCH(int, sensors);
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QList<int>, progress);
        QCOMPARE(write({AuxMode::OnewireMaster, {}, tableOf(sensors)}), Outcome::Done);

        const QByteArray count = QByteArray::number(sensors, 16).toUpper().rightJustified(2, '0');
        const QList<QByteArray> bracket{"E11300002"};
        QCOMPARE(requestHeads(m_b->line),
                 (QList<QByteArray>{"E11300002", "E11200A02"} + pieces + bracket));
        QCOMPARE(requestBodies(m_b->line)[1], "E11200A02" + count + "C0");
        QCOMPARE(plc().bracketsClosed(), 1);
        if (sensors > 0) {
            QCOMPARE(plc().memory(0x200C, 10), QByteArray::fromHex("FF281E64000F5A00B80B"));
            QCOMPARE(plc().memory(quint16(0x200C + 10 * sensors - 2), 2), QByteArray("\x3D\x1F"));
        }
        QCOMPARE(m_b->prompts.questions(),
                 QStringList{"You are shure for download configuration to the PLC ? "});
        QCOMPARE(m_b->prompts.shown()[0].title, Prompts::Title(QString()));
        QCOMPARE(m_b->prompts.progressShows(), sensors > 0 ? 1 : 0);
        QCOMPARE(m_b->prompts.progressValues(), progress);
        QCOMPARE(m_b->clock.pauses, QList<int>(progress.size(), 100));
        verifyEndedCleanly();
    }

    void otherModesWriteOnlyTheModeWord_data()
    {
        QTest::addColumn<AuxMode>("mode");
        QTest::addColumn<QList<QByteArray>>("requests");
        QTest::newRow("Field Net: one request, no bracket")
            << AuxMode::FieldNet << QList<QByteArray>{"E11200A0280BB"};
        QTest::newRow("Not use") << AuxMode::NotUse
                                 << QList<QByteArray>{"E113000020FFF", "E11200A020000",
                                                      "E113000020000"};
    }
    void otherModesWriteOnlyTheModeWord()
    {
        QFETCH(AuxMode, mode);
        QFETCH(QList<QByteArray>, requests);
        QCOMPARE(write({mode, {}, tableOf(3)}), Outcome::Done);
        QCOMPARE(requestBodies(m_b->line), requests);
        QCOMPARE(m_b->prompts.progressShows(), 0);
        verifyEndedCleanly();
    }

    void nothingIsSentWhen_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<AuxMode>("mode");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("the question is cancelled")
            << false << AuxMode::OnewireMaster << Outcome::Cancelled;
        QTest::newRow("the table has a fault")
            << true << AuxMode::OnewireMaster << Outcome::Invalid;
        QTest::newRow("the table has a fault in Field Net mode")
            << true << AuxMode::FieldNet << Outcome::Invalid;
    }
    void nothingIsSentWhen()
    {
        QFETCH(bool, confirm);
        QFETCH(AuxMode, mode);
        QFETCH(Outcome, outcome);
        AuxPortConfig config{mode, {}, tableOf(3)};
        config.sensors[1].rom[4] = QStringLiteral("4");
        m_b->prompts.queueAnswer(confirm);

        QCOMPARE(write(config), outcome);
        QCOMPARE(m_b->line.openCount(), 0);
        QVERIFY(m_b->line.sends().isEmpty());
        if (outcome == Outcome::Invalid) {
            QCOMPARE(m_b->prompts.messages(),
                     QStringList{"You configuration has error in the addresing data - row "
                                 "2\r\nColumn Byte 4"});
            QCOMPARE(m_b->prompts.shown().last().title,
                     Prompts::Title(QStringLiteral("Error in configuration")));
        } else {
            QVERIFY(m_b->prompts.messages().isEmpty());
        }
    }

    void aRefusalOrSilenceStopsTheWrite_data()
    {
        QTest::addColumn<AuxMode>("mode");
        QTest::addColumn<int>("sensors");
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("sent");
        const auto master = AuxMode::OnewireMaster;
        QTest::newRow("bracket refused") << master << 3 << 0x3000 << false << 1;
        QTest::newRow("mode word unanswered") << master << 3 << 0x200A << true << 2;
        QTest::newRow("third piece refused") << master << 128 << 0x208C << false << 5;
        QTest::newRow("Field Net word refused") << AuxMode::FieldNet << 0 << 0x200A << false << 1;
    }
    void aRefusalOrSilenceStopsTheWrite()
    {
        QFETCH(AuxMode, mode);
        QFETCH(int, sensors);
        QFETCH(int, address);
        QFETCH(bool, silent);
        QFETCH(int, sent);
        (silent ? plc().faults().silentAt : plc().faults().refuseAt).insert(quint16(address));

        QCOMPARE(write({mode, {}, tableOf(sensors)}), Outcome::PlcFailed);
        QCOMPARE(m_b->line.sends().size(), sent);
        QCOMPARE(m_b->prompts.messages(),
                 QStringList{silent ? "Answer timeout from PLC" : "Wrong answer from PLC"});
        QCOMPARE(m_b->prompts.shown().last().title, Prompts::Title());
        QCOMPARE(plc().bracketsClosed(), 0);
        verifyEndedCleanly();
    }

    void uploadRebuildsTheTab_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<QList<QByteArray>>("requests");
        QTest::addColumn<AuxPortConfig>("expected");
        const FieldNetSettings before{0, 0, 1, 0};
        QTest::newRow("C003: three sensors from 30 bytes")
            << 0xC003 << QList<QByteArray>{"E00200A02", "E00200C1E"}
            << AuxPortConfig{AuxMode::OnewireMaster,
                             before,
                             {exampleSensor(),
                              {romOf({"01", "02", "03", "04", "05", "06", "07", "08"}), "2000"},
                              {romOf({"0B", "0A", "0D", "0C", "0F", "0E", "11", "10"}), "7997"}}};
        QTest::newRow("Field Net 57600 8 None 2")
            << 0xB180 << QList<QByteArray>{"E00200A02"}
            << AuxPortConfig{AuxMode::FieldNet, {3, 1, 0, 1}, {}};
        QTest::newRow("Not use keeps the lists") << 0x0000 << QList<QByteArray>{"E00200A02"}
                                                 << AuxPortConfig{AuxMode::NotUse, before, {}};
    }
    void uploadRebuildsTheTab()
    {
        QFETCH(int, word);
        QFETCH(QList<QByteArray>, requests);
        QFETCH(AuxPortConfig, expected);
        plc().setWord(0x200A, quint16(word));
        plc().setMemory(0x200C, QByteArray::fromHex("FF281E64000F5A00B80B"
                                                    "0201040306050807D007"
                                                    "0A0B0C0D0E0F10113D1F"));
        AuxPortConfig config{AuxMode::OnewireMaster, {0, 0, 1, 0}, tableOf(5)};
        QCOMPARE(upload(config), Outcome::Done);
        QCOMPARE(config, expected);
        QCOMPARE(requestHeads(m_b->line), requests);
        QVERIFY(m_b->prompts.shown().isEmpty());
        verifyEndedCleanly();
    }

    void oneHundredTwentyEightSensorsComeBackAsWritten()
    {
        QCOMPARE(write({AuxMode::OnewireMaster, {}, tableOf(128)}), Outcome::Done);
        m_b->line.clearSent();
        AuxPortConfig config;
        QCOMPARE(upload(config), Outcome::Done);
        QCOMPARE(config.mode, AuxMode::OnewireMaster);
        QCOMPARE(config.sensors, upperCased(tableOf(128)));
        QCOMPARE(requestHeads(m_b->line).size(), 21);
        QCOMPARE(requestHeads(m_b->line).last(), QByteArray("E0024CC40"));
    }

    void uploadLeavesTheTabAsItWasWhenAnAnswerIsMissing_data()
    {
        QTest::addColumn<bool>("allSilent");
        QTest::addColumn<int>("sent");
        QTest::newRow("the PLC does not answer") << true << 1;
        // Ten sensors take two reads; the second one gets no answer.
        QTest::newRow("the second piece of the sensor area is missing") << false << 3;
    }
    void uploadLeavesTheTabAsItWasWhenAnAnswerIsMissing()
    {
        QFETCH(bool, allSilent);
        QFETCH(int, sent);
        plc().setWord(0x200A, 0xC00A);
        plc().faults().silent = allSilent;
        plc().faults().silentAt.insert(0x204C);

        const AuxPortConfig before{AuxMode::OnewireMaster, {1, 0, 0, 0}, tableOf(4)};
        AuxPortConfig config = before;
        QCOMPARE(upload(config), Outcome::PlcFailed);
        QCOMPARE(config, before);
        QCOMPARE(m_b->line.sends().size(), sent);
        QCOMPARE(m_b->prompts.messages(), QStringList{"Answer timeout from PLC"});
        verifyEndedCleanly();
    }
};

QTEST_GUILESS_MAIN(TestAuxTransfer)
#include "tst_aux_transfer.moc"
