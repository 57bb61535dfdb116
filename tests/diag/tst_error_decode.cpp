// Error bytes to texts, and the slot counts in the status words.
#include "common/text_table.h"
#include "diag/error_buffer.h"

#include <QtTest>

#include <array>

namespace {

// The Modbus description of each code (byte AND 7F) as the PLC's documentation lists it;
// nullptr where the cell is not written. Codes from 19 on have no text.
const std::array<const char *, 19> ModbusDescriptions = {
    "",
    "illegal register address ",
    " illegal argument ",
    " receive data error ",
    " timeout error occurred  ",
    "master is busy now ",
    "execute function error ",
    "MBErr 8",
    "MBErr 9",
    nullptr,
    "MBErr 10",
    "MBErr 11",
    "MBErr 12",
    "MBErr 13",
    "MBErr 13",
    "MBErr 14",
    "MBErr 15",
    "MBErr 16",
    "MBErr 17",
};

// "84: Active error| timeout error occurred  " for every byte, so a mismatch names its byte.
QStringList decodedBytes(const std::function<ErrorText(quint8)> &decode)
{
    QStringList lines;
    for (int b = 0; b < 256; ++b) {
        const ErrorText text = decode(quint8(b));
        lines << QStringLiteral("%1: %2|%3")
                     .arg(b, 2, 16, QLatin1Char('0'))
                     .arg(text.type, text.description.value_or(QStringLiteral("<not written>")));
    }
    return lines;
}

} // namespace

class TestErrorDecode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modbusBytes_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("type80"); // the type of the byte 80 hex
        QTest::newRow("UART 1, slot 65") << 1 << 65 << "Inactive error";
        QTest::newRow("UART 2, slot 64") << 2 << 64 << "Inactive error";
        QTest::newRow("UART 2, slot 65 is an old error") << 2 << 65 << "Old error";
    }
    void modbusBytes()
    {
        QFETCH(int, port);
        QFETCH(int, slot);
        QFETCH(QString, type80);
        const QStringList expected = decodedBytes([&](quint8 b) {
            const char *text = (b & 0x7F) < 19 ? ModbusDescriptions[b & 0x7F] : nullptr;
            return ErrorText{b == 0      ? "No error"
                             : b == 0x80 ? type80
                                         : "Active error",
                             text ? std::optional<QString>(text) : std::nullopt};
        });
        QCOMPARE(decodedBytes([&](quint8 b) { return Decode_error_byte(b, slot, port); }),
                 expected);
    }

    void onewireBytes_data()
    {
        QTest::addColumn<int>("sensor");
        QTest::addColumn<QString>("classE0");
        QTest::newRow("sensor 64") << 64 << "No device found error :";
        QTest::newRow("sensor 65") << 65 << "No any device error :";
    }
    void onewireBytes()
    {
        QFETCH(int, sensor);
        QFETCH(QString, classE0);
        const QString classes[8] = {"",
                                    "Number of error :",
                                    "Number of error :",
                                    "Number of error :",
                                    "Number of error :",
                                    "General error number :",
                                    "Timeout error number :",
                                    classE0};
        const QStringList expected = decodedBytes([&](quint8 b) {
            return ErrorText{b >= 0x80 ? "Active error" : "No error",
                             b < 0x20 ? QString() : classes[b >> 5] + QString::number(b & 0x1F)};
        });
        QCOMPARE(decodedBytes([&](quint8 b) { return Decode_onewire_error_byte(b, sensor); }),
                 expected);
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
