// Every command on a line at 9600 bit/s, the slowest the PLC port offers, against a PLC that
// answers at once but whose answers take the time they would on a real wire: none of the
// program's answer timeouts may run out before the answer is there.

#include "onewire/onewire_fixtures.h"

#include "support/wait_for_task.h"
#include "diag/error_buffer.h"
#include "diag/error_buffer_read.h"
#include "link/com_setting.h"
#include "link/frame_tap.h"
#include "modbus/modbus_port.h"
#include "modbus/modbus_upload.h"
#include "modbus/modbus_write.h"
#include "modbus/slave_table.h"
#include "onewire/aux_transfer.h"
#include "onewire/bus_search.h"
#include "service/service_commands.h"

#include <QTest>

#include <functional>

class TestSlowLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void noRequestTimesOut_data()
    {
        QTest::addColumn<QString>("settings");
        // 9 and 12 bits a character: the fewest and the most the port's settings give.
        QTest::newRow("9600,N,7,1") << "9600,N,7,1";
        QTest::newRow("9600,E,8,2") << "9600,E,8,2";
    }
    void noRequestTimesOut()
    {
        QFETCH(QString, settings);
        Bench b;
        b.line.pinSettings(settings);
        b.line.setWireTiming(true);
        QList<sim::RomCode> bus;
        for (int i = 0; i < SensorTable::MaxSensors; ++i)
            bus.append(sim::generatedRom(i));
        b.plc().setBusSensors(bus);

        // Full tables: 128 slaves on each UART, 128 sensors.
        ModbusPort uart1(ModbusPortInfo::uart1()), uart2(ModbusPortInfo::uart2());
        for (ModbusPort *port : {&uart1, &uart2}) {
            QList<QStringList> rows;
            for (int k = 0; k < MaxSlaves; ++k)
                rows.append({QString::number(k + 1), "5", "10", "100", "200", "1", "100"});
            port->slaves().setItems(rows);
            port->setMode(PortMode::Master);
        }
        const AuxPortConfig sensors{
            AuxMode::OnewireMaster, {}, goodSensors(SensorTable::MaxSensors)};

        // What the link took in after each request. A request that timed out shows nothing: its
        // late answer is drained unseen before the next request goes out.
        QList<std::pair<QByteArray, QByteArray>> exchanges;
        connect(&b.tap, &FrameTap::happened, &b.link, [&](const LinkEvent &e) {
            if (e.kind == LinkEvent::Kind::Sent)
                exchanges.append({e.bytes, {}});
            else if (e.kind == LinkEvent::Kind::Received)
                exchanges.last().second += e.bytes;
        });
        auto write = [&](auto writeOne, const auto &what) {
            WriteReport report;
            waitForTask(writeOne(b.link, b.ini(), b.prompts, what, report, Confirmation::Ask));
            return report.outcome;
        };

        const QString ini = b.ini();
        const std::pair<const char *, std::function<Outcome()>> commands[] = {
            {"test", [&] { return waitForTask(testConnection(b.link, b.prompts, ComSetting{})); }},
            {"UART 1 write", [&] { return write(writeModbusPort, uart1); }},
            {"UART 2 write", [&] { return write(writeModbusPort, uart2); }},
            {"1-wire write", [&] { return write(writeAuxPort, sensors); }},
            {"UART 1 upload",
             [&] {
                 return waitForTask(uploadModbusPort(b.link, ini, b.prompts, uart1.info()))
                     .outcome();
             }},
            {"UART 2 upload",
             [&] {
                 return waitForTask(uploadModbusPort(b.link, ini, b.prompts, uart2.info()))
                     .outcome();
             }},
            {"1-wire upload",
             [&] { return waitForTask(uploadAuxPort(b.link, ini, b.prompts)).outcome(); }},
            {"UART 1 error buffer",
             [&] {
                 return waitForTask(fetchErrorBuffer(b.link, ini, b.prompts, modbusErrorBuffer(1)))
                     .outcome();
             }},
            {"1-wire error buffer",
             [&] {
                 return waitForTask(fetchErrorBuffer(b.link, ini, b.prompts, onewireErrorBuffer()))
                     .outcome();
             }},
            {"bus search",
             [&] { return waitForTask(searchOnewireBus(b.link, ini, b.prompts)).outcome(); }},
            {"restart", [&] { return waitForTask(restartPlc(b.link, ini, b.prompts)).outcome(); }},
        };
        for (const auto &[name, command] : commands)
            QVERIFY2(command() == Outcome::Done, name);

        QByteArrayList unanswered;
        for (const auto &[frame, answer] : std::as_const(exchanges)) {
            if (answer.isEmpty())
                unanswered.append(frame);
        }
        QCOMPARE(unanswered, QByteArrayList());
        QVERIFY(exchanges.size() > 100);
    }
};

QTEST_GUILESS_MAIN(TestSlowLine)
#include "tst_slow_line.moc"
