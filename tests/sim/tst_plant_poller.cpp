// The simulated PLC polling its plant, on a clock of the test's own: rows, error bytes, values,
// when a new configuration or a new plant takes effect, and the 1-wire sensors.

#include "sim/plant_poller.h"
#include "support/fake_clock.h"
#include "support/frames.h"

#include <QBuffer>
#include <QTest>

using namespace sim;

namespace {

// A line that answers as the plant says, after 1 ms, or times out on the clock.
class PlantLine final : public ModbusLine
{
public:
    PlantLine(FakeClock &clock, QList<ModbusPoll> &sent) : m_clock(clock), m_sent(sent) {}
    bool open(const QList<PlantSlave> &slaves, int baudRate, char parity, QString *error) override
    {
        m_slaves = slaves;
        opened = QStringLiteral("%1,%2").arg(baudRate).arg(QLatin1Char(parity));
        *error = QStringLiteral("no such line");
        return baudRate != 500000;
    }
    void close() override { m_pending.reset(); }
    void poll(const ModbusPoll &request, Done done) override
    {
        m_sent.append(request);
        PollOutcome outcome;
        int after = request.timeoutMs;
        for (const PlantSlave &s : std::as_const(m_slaves)) {
            if (s.address != request.slave)
                continue;
            after = 1;
            const auto &range = s.range(request.table);
            if (s.noise) {
                outcome.kind = PollOutcome::Kind::Garbled;
                after = request.timeoutMs;
            } else if (s.exception && s.exception->range.covers(request.address, request.count)) {
                outcome = {PollOutcome::Kind::Exception, s.exception->code, {}};
            } else if (!range || !range->covers(request.address, request.count)) {
                outcome = {PollOutcome::Kind::Exception, 2, {}};
            } else {
                outcome.kind = PollOutcome::Kind::Answered;
                for (int i = 0; i < request.count && !request.write; ++i)
                    outcome.values.append(static_cast<quint16>(request.address + i));
            }
        }
        m_pending = m_clock.callAfter(after, [done, outcome] { done(outcome); });
    }
    QString opened;

private:
    FakeClock &m_clock;
    QList<ModbusPoll> &m_sent;
    QList<PlantSlave> m_slaves;
    std::unique_ptr<ClockTimer> m_pending;
};

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out += static_cast<char>(v);
    return out;
}

// Slave rows as the PLC keeps them: address, count, slave address, master address, function
// and timeout.
QByteArray row(int slave, int count, int from, int to, int function, int timeoutMs)
{
    const int last = function << 12 | timeoutMs;
    return bytes(
        {slave, count, from & 0xFF, from >> 8, to & 0xFF, to >> 8, last & 0xFF, last >> 8});
}

PlantSlave slave(int address, std::optional<AddressRange> holding,
                 std::optional<AddressRange> coils = {})
{
    PlantSlave s;
    s.address = address;
    s.holding = holding;
    s.coils = coils;
    return s;
}

} // namespace

class TestPlantPoller : public QObject
{
    Q_OBJECT

    FakeClock clock;
    std::unique_ptr<PlcModel> model;
    std::unique_ptr<PlantPoller> poller;
    std::vector<std::unique_ptr<ClockTimer>> timers;
    QList<ModbusPoll> sent;
    PlantLine *line = nullptr;

    QByteArray errors(quint16 at, int n) { return model->memory(at, n); }
    // One pass over every row: each takes at most its timeout.
    void runFor(int ms) { clock.advance(ms); }

private Q_SLOTS:
    void init()
    {
        sent.clear();
        model = std::make_unique<PlcModel>();
        model->setClock([this] { return clock.nowMs(); });
        poller = std::make_unique<PlantPoller>(*model, [this] {
            auto made = std::make_unique<PlantLine>(clock, sent);
            line = made.get();
            return made;
        });
        poller->setCallAfter([this](int ms, std::function<void()> fire) {
            timers.push_back(clock.callAfter(ms, std::move(fire)));
        });
    }
    void cleanup()
    {
        poller.reset();
        timers.clear();
    }

    // Slot 1 answers, slot 2's slave is missing, slot 3 asks beyond its slave's registers, slot
    // 4 writes coils; then the plant is mended: the past timeout stays as an inactive error.
    void errorBytesFollowThePlant()
    {
        Plant plant;
        plant.uart1 = {slave(1, AddressRange{0, 99}),
                       slave(3, AddressRange{0, 199}, AddressRange{0, 63})};
        poller->setPlant(plant);
        model->setWord(Addr::Uart1Port, 0xD404); // master, 115200, no parity, 4 rows
        model->setMemory(Addr::Uart1Slaves,
                         row(1, 10, 0, 100, 1, 500) + row(2, 4, 30, 110, 4, 500) +
                             row(3, 2, 200, 120, 2, 300) + row(3, 16, 0, 1000, 3, 300));
        poller->reconfigure();
        runFor(2000);
        QCOMPARE(line->opened, QStringLiteral("115200,N"));
        QCOMPARE(errors(Addr::Uart1Errors, 5), bytes({0x00, 0x84, 0x81, 0x00, 0x00}));
        QCOMPARE(poller->masterRegister(100), quint16(0));
        QCOMPARE(poller->masterRegister(109), quint16(9));

        // The write rows send what the PLC holds at their master address.
        const auto write =
            std::find_if(sent.cbegin(), sent.cend(), [](const ModbusPoll &p) { return p.write; });
        QCOMPARE(write->values, QList<quint16>({120, 121}));

        plant.uart1.append(slave(2, {}));
        plant.uart1.last().input = AddressRange{0, 49};
        poller->setPlant(plant);
        runFor(2000);
        QCOMPARE(errors(Addr::Uart1Errors, 4), bytes({0x00, 0x80, 0x81, 0x00}));
    }

    void refusalsBecomeTheirCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("noise");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("errorByte");
        QTest::newRow("illegal data value") << 3 << false << 1 << 0x82;
        QTest::newRow("slave device failure") << 4 << false << 1 << 0x86;
        QTest::newRow("noise on the line") << 0 << true << 1 << 0x83;
        QTest::newRow("a function the master lacks") << 0 << false << 7 << 0x86;
    }
    void refusalsBecomeTheirCodes()
    {
        QFETCH(int, code);
        QFETCH(bool, noise);
        QFETCH(int, function);
        QFETCH(int, errorByte);
        Plant plant;
        plant.uart2 = {slave(9, AddressRange{0, 99})};
        plant.uart2[0].noise = noise;
        if (code)
            plant.uart2[0].exception = PlantSlave::Exception{ModbusTable::Holding, {10, 19}, code};
        poller->setPlant(plant);
        model->setWord(Addr::Uart2Port, 0xC001); // master, 9600, odd parity, 1 row
        model->setMemory(Addr::Uart2Slaves, row(9, 4, 12, 0, function, 100));
        poller->reconfigure();
        runFor(500);
        QCOMPARE(line->opened, QStringLiteral("9600,O"));
        QCOMPARE(errors(Addr::Uart2Errors, 1), bytes({errorByte}));
    }

    // A table written in pieces counts once the bracket closes, and starts with a clean error
    // buffer.
    void aNewConfigurationTakesEffectWhenTheBracketCloses()
    {
        poller->setPlant(Plant{});
        model->feed(framed("E11"
                           "3000"
                           "02"
                           "0FFF"));
        model->feed(framed("E11"
                           "2008"
                           "02"
                           "01C4") +
                    framed("E11"
                           "2502"
                           "08"
                           "0104000000006400"));
        model->setErrorBuffer(PlcModel::ErrorBuffer::Uart1, bytes({0x81, 0x81}));
        runFor(1000);
        QVERIFY(sent.isEmpty());
        model->feed(framed("E11"
                           "3000"
                           "02"
                           "0000"));
        runFor(1000);
        QVERIFY(!sent.isEmpty());
        QCOMPARE(sent.first().slave, 1);
        QCOMPARE(errors(Addr::Uart1Errors, 2), bytes({0x84, 0x00}));

        // Back to "Not use": the polling stops.
        model->feed(framed("E11"
                           "3000"
                           "02"
                           "0FFF") +
                    framed("E11"
                           "2008"
                           "02"
                           "0000") +
                    framed("E11"
                           "3000"
                           "02"
                           "0000"));
        runFor(10);
        const qsizetype polls = sent.size();
        runFor(1000);
        QCOMPARE(sent.size(), polls);
    }

    void aLineThatCannotOpenIsNoted()
    {
        model->setWord(Addr::Uart1Port, 0xD701); // 500000 bit/s
        model->setMemory(Addr::Uart1Slaves, row(1, 1, 0, 0, 1, 100));
        poller->reconfigure();
        runFor(100);
        QCOMPARE(poller->lineError(1), QStringLiteral("no such line"));
        QVERIFY(sent.isEmpty());
    }

    // Present sensors give their temperature in tenths of a degree, absent ones count their
    // misses; a bus search finds only the present ones.
    void sensors()
    {
        Plant plant;
        plant.sensors = {{generatedRom(0), 21.5, false}, {generatedRom(1), 0, true}};
        poller->setPlant(plant);
        QCOMPARE(model->busSensors(), QList<RomCode>({generatedRom(0)}));
        QByteArray records;
        for (int i = 0; i < 3; ++i) {
            const RomCode r = generatedRom(i);
            records += bytes({r[1], r[0], r[3], r[2], r[5], r[4], r[7], r[6], (3000 + 2 * i) & 0xFF,
                              (3000 + 2 * i) >> 8});
        }
        model->setWord(Addr::AuxMode, 0xC003);
        model->setMemory(Addr::SensorArea, records);
        QBuffer log;
        log.open(QIODevice::WriteOnly);
        poller->setPlantLog(&log);
        poller->reconfigure();
        runFor(PlantPoller::SensorPeriodMs + 1);
        QCOMPARE(errors(Addr::OneWireErrors, 4), bytes({0x00, 0xE2, 0xE2, 0x00}));
        QCOMPARE(poller->masterRegister(3000), quint16(215));
        QCOMPARE(log.data().count(" -> no device\n"), 4);
        QVERIFY2(log.data().contains("21.5 °C -> D3000 = 215\n"), log.data());
    }
};

QTEST_GUILESS_MAIN(TestPlantPoller)
#include "tst_plant_poller.moc"
