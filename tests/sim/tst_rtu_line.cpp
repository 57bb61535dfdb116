// The plant's Modbus line in real time: Qt SerialBus's master and slaves on pseudo-terminals,
// joined by the relay. A request that is to be answered has a second, which a busy machine needs;
// one that is not has a short timeout. Waits are bounded only as a safety net.

#include "sim/rtu_line.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace sim;
using Kind = PollOutcome::Kind;

Q_DECLARE_METATYPE(sim::ModbusPoll)
Q_DECLARE_METATYPE(sim::ModbusTable)
Q_DECLARE_METATYPE(sim::PollOutcome::Kind)

// Slaves are written with only the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// Slave 1 has every table; 2 answers too late; 3 is noisy; 4 refuses one register with an odd
// code; 5 takes its time but answers within the timeout.
static QList<PlantSlave> plant()
{
    PlantSlave one{.address = 1,
                   .coils = AddressRange{0, 15},
                   .discrete = AddressRange{0, 15},
                   .input = AddressRange{100, 109},
                   .holding = AddressRange{100, 199}};
    one.exception = PlantSlave::Exception{ModbusTable::Holding, {150, 159}, 4};
    PlantSlave two{.address = 2, .holding = AddressRange{0, 9}, .delayMs = 300};
    PlantSlave three{.address = 3, .holding = AddressRange{0, 9}, .noise = true};
    PlantSlave four{.address = 4, .holding = AddressRange{0, 9}};
    four.exception = PlantSlave::Exception{ModbusTable::Holding, {5, 5}, 65};
    PlantSlave five{.address = 5, .holding = AddressRange{0, 9}, .delayMs = 30};
    return {one, two, three, four, five};
}

static ModbusPoll readOf(int slave, ModbusTable table, int address, int count, int timeoutMs = 1000)
{
    return {slave, table, false, address, count, {}, timeoutMs};
}

class TestRtuLine : public QObject
{
    Q_OBJECT

    std::unique_ptr<RtuLine> m_line;

    // The poll's outcome; fails when done runs inside poll() or not at all.
    PollOutcome run(const ModbusPoll &request)
    {
        std::optional<PollOutcome> got;
        m_line->poll(request, [&](const PollOutcome &outcome) { got = outcome; });
        [&] { QVERIFY2(!got, "done ran inside poll()"); }();
        [&] { QVERIFY(QTest::qWaitFor([&] { return got.has_value(); }, 5000)); }();
        return got.value_or(PollOutcome{Kind::Answered, -1, {}});
    }

private Q_SLOTS:
    void init()
    {
        m_line = std::make_unique<RtuLine>();
        QString error;
        QVERIFY2(m_line->open(plant(), 115200, 'E', &error), qPrintable(error));
        QVERIFY(m_line->isOpen());
    }
    void cleanup() { m_line.reset(); }

    void pollOutcome_data()
    {
        QTest::addColumn<ModbusPoll>("request");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<quint16>>("values");
        QTest::newRow("coils") << readOf(1, ModbusTable::Coils, 0, 6) << Kind::Answered << 0
                               << QList<quint16>{0, 1, 0, 1, 0, 1};
        QTest::newRow("discrete inputs") << readOf(1, ModbusTable::Discrete, 3, 3) << Kind::Answered
                                         << 0 << QList<quint16>{1, 0, 1};
        QTest::newRow("input registers") << readOf(1, ModbusTable::Input, 107, 3) << Kind::Answered
                                         << 0 << QList<quint16>{107, 108, 109};
        QTest::newRow("holding registers") << readOf(1, ModbusTable::Holding, 198, 2)
                                           << Kind::Answered << 0 << QList<quint16>{198, 199};
        QTest::newRow("past the range's end")
            << readOf(1, ModbusTable::Holding, 195, 10) << Kind::Exception << 2 << QList<quint16>{};
        QTest::newRow("absent table")
            << readOf(4, ModbusTable::Coils, 0, 1) << Kind::Exception << 2 << QList<quint16>{};
        QTest::newRow("overlapping the exception range")
            << readOf(1, ModbusTable::Holding, 145, 6) << Kind::Exception << 4 << QList<quint16>{};
        QTest::newRow("other table than the exception's")
            << readOf(1, ModbusTable::Input, 100, 1) << Kind::Answered << 0 << QList<quint16>{100};
        QTest::newRow("code Qt has no name for")
            << readOf(4, ModbusTable::Holding, 5, 1) << Kind::Exception << 65 << QList<quint16>{};
        QTest::newRow("write into the exception range")
            << ModbusPoll{1, ModbusTable::Holding, true, 159, 1, {1}, 1000} << Kind::Exception << 4
            << QList<quint16>{};
        QTest::newRow("slave not on the line")
            << readOf(9, ModbusTable::Holding, 0, 1, 30) << Kind::NoAnswer << 0 << QList<quint16>{};
        QTest::newRow("noise") << readOf(3, ModbusTable::Holding, 0, 4, 300) << Kind::Garbled << 0
                               << QList<quint16>{};
        QTest::newRow("slow slave within the timeout")
            << readOf(5, ModbusTable::Holding, 8, 2) << Kind::Answered << 0 << QList<quint16>{8, 9};
    }
    void pollOutcome()
    {
        QFETCH(ModbusPoll, request);
        QFETCH(Kind, kind);
        QFETCH(int, code);
        QFETCH(QList<quint16>, values);
        const PollOutcome outcome = run(request);
        QCOMPARE(outcome.kind, kind);
        QCOMPARE(outcome.exceptionCode, code);
        QCOMPARE(outcome.values, values);
    }

    void writeChangesTheTable_data()
    {
        QTest::addColumn<ModbusTable>("table");
        QTest::addColumn<int>("address");
        QTest::addColumn<QList<quint16>>("values");
        QTest::newRow("registers") << ModbusTable::Holding << 120 << QList<quint16>{7, 65535, 9};
        QTest::newRow("one register") << ModbusTable::Holding << 130 << QList<quint16>{0};
        QTest::newRow("coils") << ModbusTable::Coils << 4 << QList<quint16>{1, 1, 0, 0};
        QTest::newRow("one coil") << ModbusTable::Coils << 2 << QList<quint16>{1};
    }
    void writeChangesTheTable()
    {
        QFETCH(ModbusTable, table);
        QFETCH(int, address);
        QFETCH(QList<quint16>, values);
        const PollOutcome outcome =
            run({1, table, true, address, int(values.size()), values, 1000});
        QCOMPARE(outcome.kind, Kind::Answered);
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(m_line->value(1, table, address + i), values[i]);
        // The neighbour keeps its first value.
        const int next = address + int(values.size());
        QCOMPARE(m_line->value(1, table, next),
                 std::optional<quint16>(table == ModbusTable::Holding ? next : next & 1));
        QCOMPARE(m_line->value(1, ModbusTable::Holding, 99), std::nullopt);
        QCOMPARE(m_line->value(7, table, address), std::nullopt);
    }

    // The late answer is held back past the timeout and dropped when the master talks again,
    // so the next slave's answer reaches the master alone.
    void lateAnswerDoesNotConfuseTheNextPoll()
    {
        QSignalSpy frames(m_line.get(), &RtuLine::frameCrossed);
        QCOMPARE(run(readOf(2, ModbusTable::Holding, 0, 2, 40)).kind, Kind::NoAnswer);
        const PollOutcome next = run(readOf(1, ModbusTable::Holding, 100, 2));
        QCOMPARE(next.kind, Kind::Answered);
        QCOMPARE(next.values, (QList<quint16>{100, 101}));
        QVERIFY(QTest::qWaitFor([&] { return frames.size() >= 3; }, 5000));
        QTest::qWait(20);
        const QList<bool> fromMaster{true, true, false};
        QCOMPARE(frames.size(), fromMaster.size());
        for (int i = 0; i < frames.size(); ++i)
            QCOMPARE(frames[i][0].toBool(), fromMaster[i]);
    }

    void framesCrossTheLine()
    {
        QSignalSpy frames(m_line.get(), &RtuLine::frameCrossed);
        QCOMPARE(run(readOf(1, ModbusTable::Holding, 100, 10)).kind, Kind::Answered);
        QVERIFY(QTest::qWaitFor([&] { return frames.size() >= 2; }, 5000));
        const QByteArray request = frames[0][1].toByteArray();
        QCOMPARE(frames[0][0].toBool(), true);
        QCOMPARE(request.size(), 8);
        QCOMPARE(request.left(6), QByteArray::fromHex("01030064000A"));
        const QByteArray answer = frames[1][1].toByteArray();
        QCOMPARE(frames[1][0].toBool(), false);
        QCOMPARE(answer.size(), 3 + 20 + 2);
        QCOMPARE(answer.left(5), QByteArray::fromHex("0103140064"));
    }

    void closeWhilePollingDropsTheAnswer()
    {
        bool ran = false;
        m_line->poll(readOf(2, ModbusTable::Holding, 0, 1, 50),
                     [&](const PollOutcome &) { ran = true; });
        m_line->close();
        QVERIFY(!m_line->isOpen());
        m_line->close();
        QTest::qWait(150);
        QVERIFY(!ran);
    }

    void pollOnAClosedLineAnswersNothing()
    {
        m_line->close();
        QCOMPARE(run(readOf(1, ModbusTable::Holding, 100, 1)).kind, Kind::NoAnswer);
    }

    void openRefusesBadSettings()
    {
        QString error;
        QVERIFY(!m_line->open(plant(), 9600, 'X', &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!m_line->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestRtuLine)
#include "tst_rtu_line.moc"
