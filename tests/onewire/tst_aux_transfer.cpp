// "Write to PLC" and "Upload from PLC" of the auxiliary port against the in-process simulated
// PLC: the frames it received, what it stored, and what comes back.
#include "onewire_fixtures.h"

#include "support/wait_for_task.h"
#include "onewire/aux_transfer.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(AuxPortConfig)
Q_DECLARE_METATYPE(Outcome)

namespace {

const auto Master = AuxMode::OnewireMaster;
const auto FieldNet = AuxMode::FieldNet;
// The bracket's opening and closing writes.
const QByteArray Open = "E113000020FFF ", Close = " E113000020000";

// n sensors, the first one with the record FF281E64000F5A00B80B.
QList<SensorRow> tableOf(int n)
{
    QList<SensorRow> rows = goodSensors(n);
    if (n > 0)
        rows.first() = exampleSensor();
    return rows;
}

} // namespace

class TestAuxTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;

    sim::PlcModel &plc() { return m_b->plc(); }
    Result<UploadedAux> upload()
    {
        return waitForTask(uploadAuxPort(m_b->link, m_b->ini(), m_b->prompts));
    }
    // The line closed, the link free, no progress window left, and the messages shown.
    void verifyEndedWith(const QString &message)
    {
        QVERIFY(!m_b->line.isOpen());
        QVERIFY(!m_b->link.busy());
        QVERIFY(!m_b->prompts.progressVisible());
        QCOMPARE(m_b->prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    }

private Q_SLOTS:
    void init() { m_b = std::make_unique<Bench>(); }
    void cleanup() { m_b.reset(); }

    // A write asks first and checks the table in every mode; a refusal or silence stops it at
    // once, the bracket left open.
    void writeSendsTheModeWordAndTheSensorArea_data()
    {
        QTest::addColumn<AuxPortConfig>("config");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("faultAt"); // refused there; negative: unanswered there
        QTest::addColumn<QByteArray>("requests");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<QString>("message"); // empty: none
        const auto done = Outcome::Done, failed = Outcome::PlcFailed;
        QTest::newRow("no sensor") << AuxPortConfig{Master, {}, {}} << done << 0
                                   << Open + "E11200A0200C0" + Close << QList<int>{} << "";
        QTest::newRow("6 sensors: one request of 60 bytes")
            << AuxPortConfig{Master, {}, tableOf(6)} << done << 0
            << Open + "E11200A0206C0 E11200C3C" + Close << QList<int>{} << "";
        QTest::newRow("7 sensors: 64 bytes, then 6 at 204C")
            << AuxPortConfig{Master, {}, tableOf(7)} << done << 0
            << Open + "E11200A0207C0 E11200C40 E11204C06" + Close << QList<int>{91, 100} << "";
        // The count field is 8 bits wide: 128 is 80.
        QByteArray all = Open + "E11200A0280C0";
        QList<int> steps;
        for (int j = 0; j < 20; ++j) {
            all += " E11" + QByteArray::number(0x200C + 64 * j, 16).toUpper() + "40";
            steps.append(5 * (j + 1));
        }
        QTest::newRow("128 sensors: 20 pieces up to 24CC")
            << AuxPortConfig{Master, {}, tableOf(128)} << done << 0 << all + Close << steps << "";
        QTest::newRow("Field Net 115200 8 Even 2: the word alone, no bracket")
            << AuxPortConfig{FieldNet, {}, tableOf(3)} << done << 0 << QByteArray("E11200A0280BB")
            << QList<int>{} << "";
        QTest::newRow("Field Net 57600 7 None 1")
            << AuxPortConfig{FieldNet, {3, 0, 0, 0}, {}} << done << 0 << QByteArray("E11200A028081")
            << QList<int>{} << "";
        QTest::newRow("Not use: the word in the bracket")
            << AuxPortConfig{AuxMode::NotUse, {}, tableOf(3)} << done << 0
            << Open + "E11200A020000" + Close << QList<int>{} << "";

        QTest::newRow("the question is cancelled")
            << AuxPortConfig{Master, {}, tableOf(3)} << Outcome::Cancelled << 0 << QByteArray()
            << QList<int>{} << "";
        QList<SensorRow> faulty = tableOf(3);
        faulty[1].rom[4] = QStringLiteral("4");
        const QString fault = "You configuration has error in the addresing data - row 2\r\n"
                              "Column Byte 4";
        QTest::newRow("a ROM byte of one digit, whatever the mode")
            << AuxPortConfig{FieldNet, {}, faulty} << Outcome::Invalid << 0 << QByteArray()
            << QList<int>{} << fault;
        QTest::newRow("mode word unanswered")
            << AuxPortConfig{Master, {}, tableOf(3)} << failed << -0x200A << Open + "E11200A0203C0"
            << QList<int>{} << "Answer timeout from PLC";
        QTest::newRow("third piece refused")
            << AuxPortConfig{Master, {}, tableOf(128)} << failed << 0x208C
            << Open + "E11200A0280C0 E11200C40 E11204C40 E11208C40" << QList<int>{5, 10}
            << "Wrong answer from PLC";
    }
    void writeSendsTheModeWordAndTheSensorArea()
    {
        QFETCH(AuxPortConfig, config);
        QFETCH(Outcome, outcome);
        QFETCH(int, faultAt);
        QFETCH(QByteArray, requests);
        QFETCH(QList<int>, progress);
        QFETCH(QString, message);
        (faultAt < 0 ? plc().faults().silentAt : plc().faults().refuseAt)
            .insert(quint16(qAbs(faultAt)));
        m_b->prompts.queueAnswer(outcome != Outcome::Cancelled);

        WriteReport report;
        waitForTask(writeAuxPort(m_b->link, m_b->ini(), m_b->prompts, config, report));
        QCOMPARE(report.outcome, outcome);
        QCOMPARE(::requests(m_b->line), requests);
        QCOMPARE(m_b->prompts.questions(),
                 QStringList{"You are shure for download configuration to the PLC ? "});
        QCOMPARE(m_b->prompts.shown()[0].title, Prompts::Title(QString()));
        if (!message.isEmpty())
            QCOMPARE(m_b->prompts.shown().last().title,
                     outcome == Outcome::Invalid
                         ? Prompts::Title(QStringLiteral("Error in configuration"))
                         : Prompts::Title());
        const bool done = outcome == Outcome::Done;
        QCOMPARE(plc().bracketsClosed(), done && config.mode != FieldNet ? 1 : 0);
        QCOMPARE(m_b->prompts.progressShows(), requests.contains(" E11200C") ? 1 : 0);
        QCOMPARE(m_b->prompts.progressValues(), progress);
        QCOMPARE(m_b->clock.pauses, QList<int>(progress.size(), 100));
        verifyEndedWith(message);

        // The area as stored, read back by an upload.
        if (done && config.mode == Master && !config.sensors.isEmpty()) {
            QCOMPARE(plc().memory(0x200C, 10), QByteArray::fromHex("FF281E64000F5A00B80B"));
            const auto uploaded = upload();
            QVERIFY(uploaded.done());
            QCOMPARE(uploaded->sensors, config.sensors);
            QVERIFY(config.sensors.size() < 128 || ::requests(m_b->line).endsWith(" E0024CC40"));
        }
    }

    // Nothing comes back to apply when an answer is missing. A mode word naming more sensors than
    // the area holds (129 to 255) is refused before the area is read: cut to 128, it would bring
    // back a table the PLC does not hold.
    void uploadRebuildsThePort_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("silentAt"); // -1: everywhere
        QTest::addColumn<QByteArray>("requests");
        QTest::addColumn<AuxPortConfig>("expected");
        QTest::addColumn<QString>("message"); // empty: none
        const FieldNetSettings lists{0, 0, 1, 0};
        const AuxPortConfig before{Master, lists, tableOf(5)};
        const QByteArray word = "E00200A02";
        QTest::newRow("C003: three sensors from 30 bytes")
            << 0xC003 << 0 << word + " E00200C1E"
            << AuxPortConfig{Master,
                             lists,
                             {exampleSensor(),
                              {romOf("0102030405060708"), "2000"},
                              {romOf("0B0A0D0C0F0E1110"), "7997"}}}
            << "";
        QTest::newRow("Field Net 57600 8 None 2")
            << 0xB180 << 0 << word << AuxPortConfig{FieldNet, {3, 1, 0, 1}, {}} << "";
        QTest::newRow("Not use keeps the lists")
            << 0x0000 << 0 << word << AuxPortConfig{AuxMode::NotUse, lists, {}} << "";
        const QString timeout = "Answer timeout from PLC";
        QTest::newRow("the PLC does not answer") << 0xC00A << -1 << word << before << timeout;
        // Ten sensors take two reads; the second one gets no answer.
        QTest::newRow("the second piece of the sensor area is missing")
            << 0xC00A << 0x204C << word + " E00200C40 E00204C24" << before << timeout;
        const QString tooMany = "1-wire: the PLC sent the mode word %1, which names more than 128 "
                                "sensors. Nothing was changed.";
        QTest::newRow("C081 names 129 sensors: refused, nothing read")
            << 0xC081 << 0 << word << before << tooMany.arg("C081");
        QTest::newRow("C0FF names 255 sensors: refused, nothing read")
            << 0xC0FF << 0 << word << before << tooMany.arg("C0FF");
    }
    void uploadRebuildsThePort()
    {
        QFETCH(int, word);
        QFETCH(int, silentAt);
        QFETCH(QByteArray, requests);
        QFETCH(AuxPortConfig, expected);
        QFETCH(QString, message);
        plc().setWord(0x200A, quint16(word));
        plc().setMemory(0x200C, QByteArray::fromHex("FF281E64000F5A00B80B"
                                                    "0201040306050807D007"
                                                    "0A0B0C0D0E0F10113D1F"));
        plc().faults().silent = silentAt < 0;
        plc().faults().silentAt.insert(quint16(silentAt));
        AuxPort port;
        port.setConfig({Master, {0, 0, 1, 0}, tableOf(5)});

        const auto uploaded = upload();
        QCOMPARE(uploaded.outcome(), message.isEmpty() ? Outcome::Done : Outcome::PlcFailed);
        if (uploaded)
            applyUploadedAux(port, *uploaded);
        QCOMPARE(port.config(), expected);
        QCOMPARE(::requests(m_b->line), requests);
        verifyEndedWith(message);
    }
};

QTEST_GUILESS_MAIN(TestAuxTransfer)
#include "tst_aux_transfer.moc"
