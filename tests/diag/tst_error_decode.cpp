// Error bytes to texts, the slot counts in the status words, and how a read is shown.
#include "common/text_table.h"
#include "diag/error_buffer.h"

#include <QtTest>

class TestErrorDecode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errorBytes_data()
    {
        QTest::addColumn<int>("port"); // UART 1 or 2; 0: the 1-wire buffer
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("byte");
        // Type and description; "-": a code without a text of its own, whose cell is not written.
        QTest::addColumn<QString>("texts");
        QTest::newRow("00 no error") << 1 << 1 << 0x00 << "No error|";
        QTest::newRow("84 timeout") << 1 << 1 << 0x84 << "Active error| timeout error occurred  ";
        QTest::newRow("80 on UART 1, slot 65") << 1 << 65 << 0x80 << "Inactive error|";
        QTest::newRow("80 on UART 2, slot 64") << 2 << 64 << 0x80 << "Inactive error|";
        QTest::newRow("80 on UART 2, slot 65") << 2 << 65 << 0x80 << "Old error|";
        QTest::newRow("09 has no text") << 1 << 1 << 0x09 << "Active error|-";
        QTest::newRow("0E") << 1 << 1 << 0x0E << "Active error|MBErr 13";
        QTest::newRow("13 beyond the texts") << 1 << 1 << 0x13 << "Active error|-";
        QTest::newRow("1-wire C5") << 0 << 1 << 0xC5 << "Active error|Timeout error number :5";
        QTest::newRow("1-wire E3, sensor 65")
            << 0 << 65 << 0xE3 << "Active error|No any device error :3";
        QTest::newRow("1-wire 25") << 0 << 1 << 0x25 << "No error|Number of error :5";
        QTest::newRow("1-wire A0") << 0 << 1 << 0xA0 << "Active error|General error number :0";
    }
    void errorBytes()
    {
        QFETCH(int, port);
        QFETCH(int, slot);
        QFETCH(int, byte);
        QFETCH(QString, texts);
        const ErrorText decoded = port == 0 ? Decode_onewire_error_byte(quint8(byte), slot)
                                            : Decode_error_byte(quint8(byte), slot, port);
        QCOMPARE(decoded.type + '|' + decoded.description.value_or("-"), texts);
    }

    void slotCounts_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("modbus"); // -1: no buffer, the grid stays
        QTest::addColumn<int>("onewire");
        QTest::newRow("C003 master with 3") << 0xC003 << 3 << 3;
        QTest::newRow("D403 speed bits do not count") << 0xD403 << 3 << 3;
        QTest::newRow("4003 Modbus slave, 1-wire in any mode") << 0x4003 << -1 << 3;
        QTest::newRow("0000 unused") << 0x0000 << -1 << 0;
        QTest::newRow("C080 a full table of 128") << 0xC080 << 128 << 128;
        QTest::newRow("C0FF more than a table holds") << 0xC0FF << 128 << 128;
        QTest::newRow("8083 Field Net, bit 7 is its speed") << 0x8083 << -1 << 3;
    }
    void slotCounts()
    {
        QFETCH(int, word);
        QFETCH(int, modbus);
        QFETCH(int, onewire);
        QCOMPARE(modbusSlaveCount(quint16(word)).value_or(-1), modbus);
        QCOMPARE(onewireSensorCount(quint16(word)), onewire);
    }

    // Rows are written whole: a code without a text leaves no description of an earlier read.
    void aCodeWithoutTextLeavesNoStaleDescriptionInRowOne()
    {
        TextTable grid(modbusDiagHeader());
        showErrorEntries(grid, {{1, 0x84, Decode_error_byte(0x84, 1, 1)}});
        showErrorEntries(grid, {{1, 0x89, Decode_error_byte(0x89, 1, 1)}});
        QCOMPARE(grid.rowCells(0), (QStringList{"1", "Active error", ""}));
    }
};

QTEST_GUILESS_MAIN(TestErrorDecode)
#include "tst_error_decode.moc"
