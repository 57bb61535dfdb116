// The Modbus port without the line: port words and slave records as the PLC stores them, the
// table check before a write, and the slave dialog's proposals and checks.
#include "common/errors.h"
#include "common/hex_text.h"
#include "modbus/modbus_port.h"
#include "modbus/port_word.h"
#include "modbus/slave_form.h"
#include "modbus/slave_table.h"

#include <QtTest>

namespace {

// A slave row as the grid holds it, from its six value cells "Address ... Timeout" split at
// spaces; the Slot cell is left to the table.
QStringList row(const QString &cells)
{
    return QStringList{QString()} + cells.split(QLatin1Char(' '));
}

// The dialog's fields in the order of SlaveForm, split at spaces.
SlaveForm form(const QString &text)
{
    const QStringList f = text.split(QLatin1Char(' '));
    return {f[0], f[1], f[2].toInt(), f[3], f[4], f[5], f[6]};
}

void fill(TextTable &table, const QList<QStringList> &rows)
{
    table.setItems(rows);
    table.renumber(true);
}

// What the check before a write tells of a table: nothing when it may be written.
QString checkOutcome(const QList<QStringList> &rows)
{
    TextTable table(slaveTableHeader());
    fill(table, rows);
    try {
        const auto error = Check_grid(table);
        return error ? gridErrorMessage(*error) : QString();
    } catch (const InputError &e) {
        return e.description();
    }
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

} // namespace

class TestModbusEncoding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portWordsGoOutAsThePlcReadsThem_data()
    {
        QTest::addColumn<PortWord>("fields");
        QTest::addColumn<int>("word");
        const auto master = PortMode::Master, slave = PortMode::Slave;
        QTest::newRow("master 115200 None, 3 slaves") << PortWord{master, 4, 2, 3} << 0xD403;
        QTest::newRow("master 9600 Even, 2 slaves") << PortWord{master, 0, 1, 2} << 0xC802;
        QTest::newRow("master 500000 Odd, 128 slaves") << PortWord{master, 7, 0, 128} << 0xC780;
        QTest::newRow("slave 115200 None, address 1") << PortWord{slave, 4, 2, 1} << 0x5401;
        QTest::newRow("slave 19200 Even, address 247") << PortWord{slave, 1, 1, 247} << 0x49F7;
        QTest::newRow("not use is 0 whatever else") << PortWord{PortMode::NotUse, 4, 2, 7} << 0;
    }
    void portWordsGoOutAsThePlcReadsThem()
    {
        QFETCH(PortWord, fields);
        QFETCH(int, word);
        const PortWord &f = fields;
        QCOMPARE(int(Encode_port_word(f.mode, f.speed, f.parity, f.countOrAddress)), word);
        QCOMPARE(Decode_port_word(quint16(word)), f.mode == PortMode::NotUse ? PortWord{} : f);
    }

    void slaveRecordsTravelLowByteFirst_data()
    {
        QTest::addColumn<QString>("typed"); // empty: read back only
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("readBack");
        auto add = [](const char *name, const char *typed, const char *record, const char *back) {
            QTest::newRow(name) << typed << record << (back ? back : typed);
        };
        add("1, 10, 100, 200, 1, 100", "1 10 100 200 1 100", "010A6400C8006410", nullptr);
        add("largest fields", "248 255 7999 65535 4 4095", "F8FF3F1FFFFFFF4F", nullptr);
        add("FFFF reads back unsigned", "248 255 65535 65535 4 4095", "F8FFFFFFFFFFFF4F", nullptr);
        // Halves go to the even neighbour: 12.5 is 12, 13.5 is 14.
        add("halves to even", "2 12.5 0 13.5 0 250", "020C00000E00FA00", "2 12 0 14 0 250");
        add("missing bytes read as 0", "", "0203", "2 3 0 0 0 0");
    }
    void slaveRecordsTravelLowByteFirst()
    {
        QFETCH(QString, typed);
        QFETCH(QString, record);
        QFETCH(QString, readBack);
        const QByteArray bytes = QByteArray::fromHex(record.toLatin1());
        const QStringList back = row(readBack).mid(1);
        QCOMPARE(Decode_slave_table(bytes, 1), QList<QStringList>{QStringList{"1"} + back});
        if (!typed.isEmpty()) {
            TextTable table(slaveTableHeader());
            fill(table, {row(typed)});
            QCOMPARE(hexText(Encode_slave_table(table)), record);
        }
    }

    void checkGridKeepsTheFieldsInsideThePlcsLimits_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QString>("told"); // empty: passes
        const QString pass;
        const QString *code = GridMessages;
        QTest::newRow("address 248 passes") << "248 10 0 0 1 100" << pass;
        QTest::newRow("address 249: code 0") << "249 10 0 0 1 100" << code[0];
        QTest::newRow("read holding 125 passes") << "1 125 0 0 1 100" << pass;
        QTest::newRow("read holding 126: code 1") << "1 126 0 0 1 100" << code[1];
        QTest::newRow("write registers 123 passes") << "1 123 0 0 2 100" << pass;
        QTest::newRow("write registers 124: code 1") << "1 124 0 0 2 100" << code[1];
        QTest::newRow("read coils 255 passes") << "1 255 0 0 0 100" << pass;
        QTest::newRow("write coils 256: code 1") << "1 256 0 0 3 100" << code[1];
        QTest::newRow("register 7899+100 passes") << "1 100 7899 0 1 100" << pass;
        QTest::newRow("coil 7899+100: code 2") << "1 100 7899 0 0 100" << code[2];
        QTest::newRow("register 7900+100: code 2") << "1 100 7900 0 1 100" << code[2];
        QTest::newRow("coil 2971+100 passes") << "1 100 2971 2971 3 100" << pass;
        QTest::newRow("master 7900+100: code 3") << "1 100 0 7900 4 100" << code[3];
        QTest::newRow("coil master 2972+100: code 3") << "1 100 0 2972 0 100" << code[3];
        QTest::newRow("function 5: code 4") << "1 10 0 0 5 100" << code[4];
        QTest::newRow("timeout 0: code 5") << "1 10 0 0 1 0" << code[5];
        QTest::newRow("timeout 4095 passes") << "1 10 0 0 1 4095" << pass;
        // Prevents a fault: 12 bits hold the timeout; more would change the function.
        QTest::newRow("timeout 4096: code 5") << "1 10 0 0 1 4096" << code[5];
        // Prevents a fault: negative values would be cut into different ones on the line.
        QTest::newRow("num word -1: code 1") << "1 -1 0 0 1 100" << code[1];
        QTest::newRow("address slave -1: code 2") << "1 10 -1 0 1 100" << code[2];
        QTest::newRow("address master -1: code 3") << "1 10 0 -1 1 100" << code[3];
        QTest::newRow("halves to even: 125.5 is 126") << "1 125.5 0 0 1 100" << code[1];
        // A cell that does not convert stops the check with a message naming it.
        QTest::newRow("address letters") << "abc 10 0 0 1 100"
                                         << "Row 2, column [Address]: \"abc\" is not a number";
        QTest::newRow("function above 255") << "1 10 0 0 256 100"
                                            << "Row 2, column [Function]: 256 is out of range";
        QTest::newRow("address slave above 16 bits")
            << "1 10 40000 0 1 100"
            << "Row 2, column [Address slave]: 40000 is out of range";
    }
    void checkGridKeepsTheFieldsInsideThePlcsLimits()
    {
        QFETCH(QString, cells);
        QFETCH(QString, told);
        // The faulty row comes second, after a good one.
        QCOMPARE(checkOutcome({row("1 1 0 0 1 1"), row(cells)}), told);

        // The grid paints a cell red exactly where the write would refuse it, the column the
        // message names among them.
        TextTable table(slaveTableHeader());
        fill(table, {row(cells)});
        QStringList broken;
        for (int c = 1; c <= 6; ++c) {
            if (!slaveCellRule(table, 0, c).isEmpty())
                broken << table.titles()[c].trimmed();
        }
        QCOMPARE(broken.isEmpty(), told.isEmpty());
        for (const QString &column : std::as_const(broken))
            QVERIFY2(told.contains(column), qPrintable(broken.join(',')));
    }

    void checkGridCountsTheSlaves()
    {
        QCOMPARE(checkOutcome({}), QString()); // an empty table may be written
        QList<QStringList> rows(128, row("1 1 0 0 1 1"));
        QCOMPARE(checkOutcome(rows), QString());
        rows.append(row("bad x x x x x")); // not even read: the count fails first
        QCOMPARE(checkOutcome(rows), GridMessages[6]);
    }

    void theDialogStartsFromTheTable_data()
    {
        QTest::addColumn<SlaveFormMode>("mode");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("selected");
        // address, count, function, slave number, master address, timeout, slave address
        QTest::addColumn<QString>("form");
        QTest::addColumn<int>("selectedAfter");
        QTest::addColumn<QString>("told"); // how what the user is told of the row starts
        const auto add = SlaveFormMode::Add, modify = SlaveFormMode::Modify;
        const QString two = "3 100 0 0 1 100 / 7.5 20 40 60 4 250";
        QTest::newRow("add copies the last slave, whichever is selected")
            << add << two << 1 << "8 20 4 2 80 250 60" << 1 << "";
        QTest::newRow("modify, nothing selected")
            << modify << two << 0 << "2 100 1 1 0 100 0" << 1 << "";
        QTest::newRow("modify, placeholder selected: the last slave")
            << modify << two << 3 << "8 20 4 2 60 250 40" << 2 << "";
        QTest::newRow("modify, no slaves") << modify << "" << 1 << "2 100 1 1 0 100 0" << 1 << "";
        // A row the dialog cannot show opens it with the defaults of a fresh add, numbered 2.
        const QString defaults = "3 100 1 2 0 100 0";
        QTest::newRow("modify, function 7")
            << modify << "1 1 0 0 1 1 / 9 9 9 9 7 9" << 2 << defaults << 2
            << "Row 2, column [Function] holds \"7\"";
        QTest::newRow("add, emptied count") << add << "1 1 0 0 1 1 / 9  9 9 2 9" << 2 << defaults
                                            << 2 << "Row 2, column [Num word] holds \"\"";
    }
    void theDialogStartsFromTheTable()
    {
        QFETCH(SlaveFormMode, mode);
        QFETCH(QString, table);
        QFETCH(int, selected);
        QFETCH(QString, form);
        QFETCH(int, selectedAfter);
        QFETCH(QString, told);
        QList<QStringList> rows; // separated by " / "
        for (const QString &cells : table.split(QStringLiteral(" / "), Qt::SkipEmptyParts))
            rows << row(cells);
        TextTable slaves(slaveTableHeader());
        fill(slaves, rows);
        const SlaveFormStart start = startSlaveForm(mode, slaves, selected);
        QCOMPARE(start.form, ::form(form));
        QCOMPARE(start.selectedRow, selectedAfter);
        QCOMPARE(start.unreadable.left(told.size()), told);
        QCOMPARE(start.unreadable.isEmpty(), told.isEmpty());
    }

    void theDialogChecksItsFieldsInOrder_data()
    {
        QTest::addColumn<QString>("form");   // as in theDialogStartsFromTheTable
        QTest::addColumn<QString>("result"); // the cells, or the refusal
        const QString wrong = QStringLiteral("You put wrong value  ");
        QTest::newRow("all good") << "3 100 2 1 10 100 20"
                                  << "3 100 20 10 2 100";
        QTest::newRow("rounded, timeout as typed") << "2.5 3.5 0 1 0.5 100.5 1.5"
                                                   << "2 4 2 0 0 100.5";
        QTest::newRow("address 0") << "0 100 2 1 10 100 20" << wrong + "0";
        QTest::newRow("slave address -1") << "3 100 2 1 10 100 -1" << wrong + "-1";
        QTest::newRow("count 0") << "3 0 2 1 10 100 20" << wrong + "0";
        QTest::newRow("master address letters") << "3 100 2 1 ab 100 20" << wrong + "ab";
        QTest::newRow("timeout 0.4 is above 0") << "3 100 2 1 10 0.4 20"
                                                << "3 100 20 10 2 0.4";
        QTest::newRow("slave address is checked before count") << "3 0 2 1 10 100 x" << wrong + "x";
    }
    void theDialogChecksItsFieldsInOrder()
    {
        QFETCH(QString, form);
        QFETCH(QString, result);
        const SlaveFormCheck check = checkSlaveForm(::form(form));
        QCOMPARE(check.accepted() ? check.cells.join(QLatin1Char(' ')) : check.wrongValue, result);
    }

    void modifyingATableWithoutSlavesAddsOne()
    {
        // Prevents a fault: values typed into the placeholder would show as a slave that a
        // write never sends.
        TextTable table(slaveTableHeader());
        const QStringList cells = row("2 100 0 0 1 100").mid(1);
        QCOMPARE(Update_grid(table, SlaveFormMode::Modify, 1, cells), 1);
        QCOMPARE(table.items(), QList<QStringList>{QStringList{"1"} + cells});
        QCOMPARE(table.cell(1, 0), QStringLiteral("2"));
    }
};

QTEST_GUILESS_MAIN(TestModbusEncoding)
#include "tst_modbus_encoding.moc"
