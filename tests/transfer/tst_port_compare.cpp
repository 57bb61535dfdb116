// What comparing a port with what the PLC holds counts as a difference: only what the PLC keeps,
// numbers as the write sends them.
#include "modbus/modbus_port.h"
#include "onewire/aux_port.h"
#include "transfer/port_compare.h"

#include <QtTest>

enum class Edit {
    LineBits,
    MasterAddress,
    SlaveTimeout,
    SlaveAddress,
    NotUseSpeed,
    Mode,
    HalfWhole,
    SlaveMore,
    FieldNetOutside,
    FieldNetSpeed,
    FieldNetFromFile,
    RomCase,
    Register
};

class TestPortCompare : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyWhatThePlcKeepsIsCompared_data()
    {
        QTest::addColumn<Edit>("edit"); // made to the PLC's side, or to ours
        QTest::addColumn<QStringList>("differences");
        const QStringList none;
        QTest::newRow("bit number and stop bit") << Edit::LineBits << none;
        QTest::newRow("a master's own address") << Edit::MasterAddress << none;
        QTest::newRow("the slave-mode timeout") << Edit::SlaveTimeout << none;
        QTest::newRow("a slave's own address")
            << Edit::SlaveAddress << QStringList{"UART 1, MB address: written 5, PLC holds 6"};
        QTest::newRow("speed under Not use") << Edit::NotUseSpeed << none;
        QTest::newRow("mode, and nothing after it")
            << Edit::Mode << QStringList{"UART 1, Mode: written Modbus master, PLC holds Not use"};
        QTest::newRow("12.5 goes out as 12") << Edit::HalfWhole << none;
        QTest::newRow("a slave more")
            << Edit::SlaveMore << QStringList{"UART 1, Slaves: written 2, PLC holds 3"};
        QTest::newRow("Field Net lists of a 1-wire master") << Edit::FieldNetOutside << none;
        QTest::newRow("Field Net speed")
            << Edit::FieldNetSpeed << QStringList{"1-wire, Speed: written 115200, PLC holds 9600"};
        // A project file keeps no Field Net line settings: nothing to tell against the PLC's.
        QTest::newRow("Field Net speed, ours from a file") << Edit::FieldNetFromFile << none;
        QTest::newRow("ROM digits in either case") << Edit::RomCase << none;
        QTest::newRow("a register") << Edit::Register
                                    << QStringList{"1-wire, slot 1, Dxxxx: written 3000, PLC "
                                                   "holds 3002"};
    }
    void onlyWhatThePlcKeepsIsCompared()
    {
        QFETCH(Edit, edit);
        QFETCH(QStringList, differences);
        ModbusPort ours(ModbusPortInfo::uart1()), plc(ModbusPortInfo::uart1());
        const QList<QStringList> rows{{"1", "1", "10", "0", "0", "1", "100"},
                                      {"2", "2", "12", "0", "0", "1", "100"}};
        AuxPortConfig aux{AuxMode::OnewireMaster,
                          {},
                          {{{"28", "0a", "00", "00", "00", "00", "00", "00"}, "3000"}}};
        for (ModbusPort *port : {&ours, &plc}) {
            port->setMode(edit == Edit::SlaveAddress ? PortMode::Slave : PortMode::Master);
            port->slaves().setItems(rows);
            port->setSlaveAddress(QStringLiteral("5"));
        }
        AuxPortConfig held = aux;
        switch (edit) {
        case Edit::LineBits:
            plc.setBitNumber(2);
            plc.setStopBit(2);
            break;
        case Edit::MasterAddress:
        case Edit::SlaveAddress:
            plc.setSlaveAddress(QStringLiteral("6"));
            break;
        case Edit::SlaveTimeout:
            plc.setSlaveTimeout(QStringLiteral("9"));
            break;
        case Edit::NotUseSpeed:
            ours.setMode(PortMode::NotUse);
            plc.setMode(PortMode::NotUse);
            plc.setSpeed(0);
            break;
        case Edit::Mode:
            plc.setMode(PortMode::NotUse);
            plc.setSpeed(0);
            break;
        case Edit::HalfWhole:
            ours.slaves().setCell(1, 2, QStringLiteral("12.5"));
            break;
        case Edit::SlaveMore:
            plc.slaves().appendItem(rows[0]);
            break;
        case Edit::FieldNetOutside:
            held.fieldNet.speed = 0;
            break;
        case Edit::FieldNetSpeed:
        case Edit::FieldNetFromFile:
            aux.mode = held.mode = AuxMode::FieldNet;
            held.fieldNet.speed = 0;
            break;
        case Edit::RomCase:
            held.sensors[0].rom[1] = QStringLiteral("0A");
            break;
        case Edit::Register:
            held.sensors[0].reg = QStringLiteral("3002");
            break;
        }
        QStringList found;
        const FieldNetLine line =
            edit == Edit::FieldNetFromFile ? FieldNetLine::NotKnown : FieldNetLine::Compared;
        for (const PortDifference &d :
             compareModbusPort(ours, plc) + compareAuxPort(aux, held, line))
            found << d.text(QStringLiteral("written"));
        QCOMPARE(found, differences);
    }
};

QTEST_MAIN(TestPortCompare)
#include "tst_port_compare.moc"
