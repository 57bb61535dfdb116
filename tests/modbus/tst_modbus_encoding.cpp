// The Modbus port without the line: port words and slave records as the PLC stores them, the
// table check before a write, the in-cell editor's check, the slave dialog's proposals and
// checks, and the start values of a port.
#include "common/errors.h"
#include "link/ini_file.h"
#include "modbus/modbus_port.h"
#include "modbus/port_word.h"
#include "modbus/slave_form.h"
#include "modbus/slave_table.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A slave row as the grid holds it; the Slot cell is left to the table.
QStringList row(const QString &address, const QString &numWord, const QString &addressSlave,
                const QString &addressMaster, const QString &function, const QString &timeout)
{
    return {QString(), address, numWord, addressSlave, addressMaster, function, timeout};
}

// The message of each error code, for a fault in row 2.
const QString GridMessages[] = {
    "You configuration has error in the slave address data - row 2\r\nColumn [Address]",
    "You configuration has error in the size of request  - row 2\r\nColumn [Num word]",
    "You configuration has error in the slave address data - row 2\r\nColumn [Address slave]",
    "You configuration has error in the master address data - row 2\r\nColumn [Address master]",
    "You configuration has error in the function code - row 2\r\nColumn [Function]",
    "You configuration has error in the Timeout - row 2\r\nColumn [Timeout,[ms]]",
    "You configuration has error in the number of slaves. \r\nMaximum allowed number is 128 "};

void fill(TextTable &table, const QList<QStringList> &rows)
{
    table.setItems(rows);
    table.renumber(true);
}

} // namespace

class TestModbusEncoding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portWordsGoOutAsThePlcReadsThem_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("countOrAddress");
        QTest::addColumn<int>("word");
        QTest::newRow("master 115200 None, 3 slaves") << 0 << 4 << 2 << 3 << 0xD403;
        QTest::newRow("master 9600 Even, 2 slaves") << 0 << 0 << 1 << 2 << 0xC802;
        QTest::newRow("master 500000 Odd, 128 slaves") << 0 << 7 << 0 << 128 << 0xC780;
        QTest::newRow("slave 115200 None, address 1") << 1 << 4 << 2 << 1 << 0x5401;
        QTest::newRow("slave 19200 Even, address 247") << 1 << 1 << 1 << 247 << 0x49F7;
        QTest::newRow("not use is 0 whatever else") << 2 << 4 << 2 << 7 << 0x0000;
    }
    void portWordsGoOutAsThePlcReadsThem()
    {
        QFETCH(int, mode);
        QFETCH(int, speed);
        QFETCH(int, parity);
        QFETCH(int, countOrAddress);
        QFETCH(int, word);
        const auto m = static_cast<PortMode>(mode);
        QCOMPARE(int(Encode_port_word(m, speed, parity, countOrAddress)), word);
        const auto back = Decode_port_word(quint16(word));
        QVERIFY(back);
        QCOMPARE(back->mode, m);
        if (m != PortMode::NotUse) {
            QCOMPARE(back->speed, speed);
            QCOMPARE(back->parity, parity);
            QCOMPARE(back->countOrAddress, countOrAddress);
        }
    }

    void otherWordsAreNotUnderstood()
    {
        for (const int word : {0x8000, 0xBFFF, 0x7000, 0x3FFF, 0x0001})
            QVERIFY2(!Decode_port_word(quint16(word)), qPrintable(QString::number(word, 16)));
        // Parity bits both set: handed over as they are, for the upload to refuse.
        QCOMPARE(Decode_port_word(0xFFFF), (PortWord{PortMode::Master, 7, 3, 255}));
    }

    void slaveRecordsTravelLowByteFirst()
    {
        QCOMPARE(encodeSlaveRecord({1, 10, 100, 200, 1, 100}), QStringLiteral("010A6400C8006410"));
        QCOMPARE(encodeSlaveRecord({248, 255, 7999, 65535, 4, 4095}),
                 QStringLiteral("F8FF3F1FFFFFFF4F"));

        TextTable table(slaveTableHeader());
        // Halves go to the even neighbour: 12.5 is 12, 13.5 is 14.
        fill(table,
             {row("1", "10", "100", "200", "1", "100"), row("2", "12.5", "0", "13.5", "0", "250")});
        QCOMPARE(Encode_slave_table(table),
                 QStringLiteral("010A6400C8006410") + QStringLiteral("020C00000E00FA00"));
        TextTable empty(slaveTableHeader());
        QCOMPARE(Encode_slave_table(empty), QString());
    }

    void slaveRecordsAreReadBack_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("6410 is function 1, timeout 100")
            << "010A6400C8006410" << QStringList{"1", "1", "10", "100", "200", "1", "100"};
        QTest::newRow("FFFF addresses are unsigned")
            << "F8FFFFFFFFFFFF4F" << QStringList{"1", "248", "255", "65535", "65535", "4", "4095"};
        QTest::newRow("missing digits read as 0")
            << "0203" << QStringList{"1", "2", "3", "0", "0", "0", "0"};
        QTest::newRow("lower-case digits read as 0")
            << "0a0A6400C8006410" << QStringList{"1", "0", "10", "100", "200", "1", "100"};
    }
    void slaveRecordsAreReadBack()
    {
        QFETCH(QString, hex);
        QFETCH(QStringList, cells);
        const QList<QStringList> rows = Decode_slave_table(hex, 1);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0], cells);
    }

    void checkGridKeepsTheFieldsInsideThePlcsLimits_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<int>("code"); // -1: passes
        QTest::newRow("address 248 passes") << row("248", "10", "0", "0", "1", "100") << -1;
        QTest::newRow("address 249: code 0") << row("249", "10", "0", "0", "1", "100") << 0;
        QTest::newRow("read holding 125 passes") << row("1", "125", "0", "0", "1", "100") << -1;
        QTest::newRow("read holding 126: code 1") << row("1", "126", "0", "0", "1", "100") << 1;
        QTest::newRow("write registers 123 passes") << row("1", "123", "0", "0", "2", "100") << -1;
        QTest::newRow("write registers 124: code 1") << row("1", "124", "0", "0", "2", "100") << 1;
        QTest::newRow("read coils 255 passes") << row("1", "255", "0", "0", "0", "100") << -1;
        QTest::newRow("write coils 256: code 1") << row("1", "256", "0", "0", "3", "100") << 1;
        QTest::newRow("register 7899+100 passes") << row("1", "100", "7899", "0", "1", "100") << -1;
        QTest::newRow("coil 7899+100: code 2") << row("1", "100", "7899", "0", "0", "100") << 2;
        QTest::newRow("register 7900+100: code 2") << row("1", "100", "7900", "0", "1", "100") << 2;
        QTest::newRow("coil 2971+100 passes") << row("1", "100", "2971", "2971", "3", "100") << -1;
        QTest::newRow("master 7900+100: code 3") << row("1", "100", "0", "7900", "4", "100") << 3;
        QTest::newRow("coil master 2972+100: code 3")
            << row("1", "100", "0", "2972", "0", "100") << 3;
        QTest::newRow("function 5: code 4") << row("1", "10", "0", "0", "5", "100") << 4;
        QTest::newRow("timeout 0: code 5") << row("1", "10", "0", "0", "1", "0") << 5;
        QTest::newRow("timeout 4095 passes") << row("1", "10", "0", "0", "1", "4095") << -1;
        // Mended: 12 bits hold the timeout; more would change the function.
        QTest::newRow("timeout 4096: code 5") << row("1", "10", "0", "0", "1", "4096") << 5;
        // Mended: negative values would be cut into different ones on the line.
        QTest::newRow("num word -1: code 1") << row("1", "-1", "0", "0", "1", "100") << 1;
        QTest::newRow("address slave -1: code 2") << row("1", "10", "-1", "0", "1", "100") << 2;
        QTest::newRow("address master -1: code 3") << row("1", "10", "0", "-1", "1", "100") << 3;
        QTest::newRow("halves to even: 125.5 is 126")
            << row("1", "125.5", "0", "0", "1", "100") << 1;
        QTest::newRow("halves to even: 124.5 is 124")
            << row("1", "124.5", "0", "0", "1", "100") << -1;
    }
    void checkGridKeepsTheFieldsInsideThePlcsLimits()
    {
        QFETCH(QStringList, cells);
        QFETCH(int, code);
        TextTable table(slaveTableHeader());
        // The faulty row comes second, after a good one.
        fill(table, {row("1", "1", "0", "0", "1", "1"), cells});
        const auto error = Check_grid(table);
        if (code < 0) {
            QVERIFY(!error);
        } else {
            QVERIFY(error);
            QCOMPARE(*error, (GridError{2, code}));
            QCOMPARE(gridErrorMessage(*error), GridMessages[code]);
        }
    }

    void checkGridCountsTheSlaves()
    {
        TextTable table(slaveTableHeader());
        QVERIFY(!Check_grid(table)); // an empty table may be written
        QList<QStringList> rows(128, row("1", "1", "0", "0", "1", "1"));
        fill(table, rows);
        QVERIFY(!Check_grid(table));
        rows.append(row("bad", "", "", "", "", "")); // not even read: the count fails first
        fill(table, rows);
        QCOMPARE(Check_grid(table), (GridError{128, 6}));
        QCOMPARE(gridErrorMessage({128, 6}), GridMessages[6]);
    }

    void checkGridNamesACellThatDoesNotConvert_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("description");
        QTest::newRow("letters") << 1 << "abc"
                                 << "Row 1, column [Address]: \"abc\" is not a number";
        QTest::newRow("function above 255") << 5 << "256"
                                            << "Row 1, column [Function]: 256 is out of range";
        QTest::newRow("above 16 bits") << 3 << "40000"
                                       << "Row 1, column [Address slave]: 40000 is out of range";
    }
    void checkGridNamesACellThatDoesNotConvert()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, description);
        TextTable table(slaveTableHeader());
        fill(table, {row("1", "1", "0", "0", "1", "1")});
        table.setCell(0, column, text);
        try {
            Check_grid(table);
            QFAIL("no InputError");
        } catch (const InputError &e) {
            QCOMPARE(e.description(), description);
        }
    }

    void theDialogStartsFromTheTable_data()
    {
        QTest::addColumn<int>("mode"); // 0 add, 1 modify
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<int>("selected");
        QTest::addColumn<SlaveForm>("form");
        QTest::addColumn<int>("selectedAfter");
        const QList<QStringList> one = {row("3", "100", "0", "0", "1", "100")};
        const QList<QStringList> two = {row("3", "100", "0", "0", "1", "100"),
                                        row("7.5", "20", "40", "60", "4", "250")};

        QTest::newRow("add, fresh table") << 0 << QList<QStringList>() << 0
                                          << SlaveForm{"3", "100", 1, "1", "0", "100", "0"} << 1;
        QTest::newRow("add proposes the next block")
            << 0 << one << 1 << SlaveForm{"3", "100", 1, "1", "100", "100", "100"} << 1;
        QTest::newRow("add copies the last slave, whichever is selected")
            << 0 << two << 1 << SlaveForm{"8", "20", 4, "2", "80", "250", "60"} << 1;
        QTest::newRow("modify, nothing selected")
            << 1 << two << 0 << SlaveForm{"2", "100", 1, "1", "0", "100", "0"} << 1;
        QTest::newRow("modify copies the selected slave")
            << 1 << two << 1 << SlaveForm{"3", "100", 1, "1", "0", "100", "0"} << 1;
        QTest::newRow("modify, placeholder selected: the last slave")
            << 1 << two << 3 << SlaveForm{"8", "20", 4, "2", "60", "250", "40"} << 2;
        QTest::newRow("modify, no slaves") << 1 << QList<QStringList>() << 1
                                           << SlaveForm{"2", "100", 1, "1", "0", "100", "0"} << 1;
    }
    void theDialogStartsFromTheTable()
    {
        QFETCH(int, mode);
        QFETCH(QList<QStringList>, rows);
        QFETCH(int, selected);
        QFETCH(SlaveForm, form);
        QFETCH(int, selectedAfter);
        TextTable table(slaveTableHeader());
        fill(table, rows);
        const SlaveFormStart start =
            startSlaveForm(mode == 0 ? SlaveFormMode::Add : SlaveFormMode::Modify, table, selected);
        QCOMPARE(start.form, form);
        QCOMPARE(start.selectedRow, selectedAfter);
        QVERIFY(start.unreadable.isEmpty());
    }

    void anUnreadableRowOpensTheDialogWithDefaults_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("told");
        QTest::newRow("modify, emptied address") << 1 << 1 << ""
                                                 << "Row 2, column [Address] holds \"\"";
        QTest::newRow("modify, function 7") << 1 << 5 << "7"
                                            << "Row 2, column [Function] holds \"7\"";
        QTest::newRow("add, emptied count") << 0 << 2 << ""
                                            << "Row 2, column [Num word] holds \"\"";
    }
    void anUnreadableRowOpensTheDialogWithDefaults()
    {
        QFETCH(int, mode);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, told);
        TextTable table(slaveTableHeader());
        fill(table, {row("1", "1", "0", "0", "1", "1"), row("9", "9", "9", "9", "2", "9")});
        table.setCell(1, column, text);
        const SlaveFormStart start =
            startSlaveForm(mode == 0 ? SlaveFormMode::Add : SlaveFormMode::Modify, table, 2);
        QVERIFY2(start.unreadable.startsWith(told), qPrintable(start.unreadable));
        QCOMPARE(start.form,
                 (SlaveForm{"3", "100", 1, "2", "0", "100", "0"})); // slave number: row 2
        QCOMPARE(start.selectedRow, 2);
    }

    void theDialogChecksItsFieldsInOrder_data()
    {
        QTest::addColumn<SlaveForm>("form");
        QTest::addColumn<QString>("wrong");
        QTest::addColumn<QStringList>("cells");
        const SlaveForm good{"3", "100", 2, "1", "10", "100", "20"};
        auto with = [&](QString SlaveForm::*field, const char *text) {
            SlaveForm f = good;
            f.*field = QLatin1String(text);
            return f;
        };
        QTest::newRow("all good") << good << QString()
                                  << QStringList{"3", "100", "20", "10", "2", "100"};
        QTest::newRow("rounded, timeout as typed")
            << SlaveForm{"2.5", "3.5", 0, "1", "0.5", "100.5", "1.5"} << QString()
            << QStringList{"2", "4", "2", "0", "0", "100.5"};
        QTest::newRow("address 0") << with(&SlaveForm::address, "0") << "0" << QStringList();
        QTest::newRow("slave address -1")
            << with(&SlaveForm::addressSlave, "-1") << "-1" << QStringList();
        QTest::newRow("count 0") << with(&SlaveForm::numWord, "0") << "0" << QStringList();
        QTest::newRow("master address letters")
            << with(&SlaveForm::addressMaster, "ab") << "ab" << QStringList();
        QTest::newRow("timeout 0.4 is above 0") << with(&SlaveForm::timeout, "0.4") << QString()
                                                << QStringList{"3", "100", "20", "10", "2", "0.4"};
        SlaveForm twoWrong = with(&SlaveForm::numWord, "0");
        twoWrong.addressSlave = QStringLiteral("x");
        QTest::newRow("slave address is checked before count") << twoWrong << "x" << QStringList();
    }
    void theDialogChecksItsFieldsInOrder()
    {
        QFETCH(SlaveForm, form);
        QFETCH(QString, wrong);
        QFETCH(QStringList, cells);
        const SlaveFormCheck check = checkSlaveForm(form);
        if (wrong.isNull()) {
            QVERIFY(check.accepted());
            QCOMPARE(check.cells, cells);
        } else {
            QCOMPARE(check.wrongValue, QStringLiteral("You put wrong value  ") + wrong);
        }
    }

    void modifyingATableWithoutSlavesAddsOne()
    {
        // Values typed into the placeholder would show as a slave that a write never sends.
        TextTable table(slaveTableHeader());
        const QStringList a{"2", "100", "0", "0", "1", "100"};
        QCOMPARE(Update_grid(table, SlaveFormMode::Modify, 1, a), 1);
        QCOMPARE(table.itemCount(), 1);
        QCOMPARE(table.rowCells(0), QStringList{"1"} + a);
        QCOMPARE(table.cell(1, 0), QStringLiteral("2"));
    }

    void aPortStartsUnusedWithItsLineDefaults_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<QString>("bitNum"); // empty: key missing
        QTest::addColumn<QString>("stopBit");
        QTest::addColumn<int>("bitNumber");
        QTest::addColumn<int>("stop");
        QTest::newRow("UART 1, no set.ini") << true << ""
                                            << "" << 0 << 0;
        QTest::newRow("UART 1, 8 bits, 2 stop bits") << true << "1"
                                                     << "2" << 1 << 2;
        QTest::newRow("UART 1, out of the lists") << true << "3"
                                                  << "-1" << 0 << 0;
        QTest::newRow("UART 1, not numbers") << true << "eight"
                                             << "1.5" << 0 << 0;
        QTest::newRow("UART 2 does not read set.ini") << false << "1"
                                                      << "2" << -1 << -1;
    }
    void aPortStartsUnusedWithItsLineDefaults()
    {
        QFETCH(bool, uart1);
        QFETCH(QString, bitNum);
        QFETCH(QString, stopBit);
        QFETCH(int, bitNumber);
        QFETCH(int, stop);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("set.ini"));
        if (!bitNum.isEmpty()) {
            Write_ini(ini, QStringLiteral("COM_MB"), QStringLiteral("Bit_num"), bitNum);
            Write_ini(ini, QStringLiteral("COM_MB"), QStringLiteral("Stop_bit"), stopBit);
            Write_ini(ini, QStringLiteral("COM_MB"), QStringLiteral("Parity"), QStringLiteral("0"));
            Write_ini(ini, QStringLiteral("COM_MB"), QStringLiteral("Speed"), QStringLiteral("1"));
        }
        ModbusPort port(uart1 ? ModbusPortInfo::uart1() : ModbusPortInfo::uart2());
        QSignalSpy modes(&port, &ModbusPort::modeSelected);
        port.setStartUpValues(ini);
        QCOMPARE(modes.size(), 1); // announced even though it was "Not use" already
        QCOMPARE(port.mode(), PortMode::NotUse);
        QCOMPARE(port.speed(), 4);
        QCOMPARE(port.parity(), 2);
        QCOMPARE(port.bitNumber(), bitNumber);
        QCOMPARE(port.stopBit(), stop);
        QCOMPARE(port.slaveAddress(), uart1 ? QStringLiteral("1") : QStringLiteral("2"));
        QCOMPARE(port.slaveTimeout(), QStringLiteral("2"));
        QCOMPARE(port.slaves().itemCount(), 0);
    }

    void listPositionsOutsideTheirListAreRefused()
    {
        ModbusPort port(ModbusPortInfo::uart1());
        QVERIFY_THROWS_EXCEPTION(InputError, port.setSpeed(8));
        QVERIFY_THROWS_EXCEPTION(InputError, port.setParity(3));
        QVERIFY_THROWS_EXCEPTION(InputError, port.setStopBit(-2));
        QVERIFY_THROWS_EXCEPTION(InputError, port.setMode(static_cast<PortMode>(3)));
        QCOMPARE(port.mode(), PortMode::NotUse);
        QCOMPARE(port.speed(), 4);
        QCOMPARE(port.parity(), 2);
        port.setSpeed(7);
        QCOMPARE(port.speed(), 7);
    }
};

QTEST_GUILESS_MAIN(TestModbusEncoding)
#include "tst_modbus_encoding.moc"
