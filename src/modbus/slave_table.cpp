#include "modbus/slave_table.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "link/plc_link.h"

#include <limits>

QString slaveTableHeader()
{
    return QStringLiteral(
        "Slot | Address | Num word | Address slave | Address master | Function | Timeout,[ms] ");
}

namespace {

QString columnName(int column)
{
    static const char *const names[] = {"Slot",          "Address",        "Num word",
                                        "Address slave", "Address master", "Function",
                                        "Timeout,[ms]"};
    return column >= 0 && column < SlaveColumn::Count ? QLatin1String(names[column]) : QString();
}

// A cell as a whole number in [low, high]; InputError naming the cell otherwise. row is the
// grid row (1 = first slave).
int wholeCell(const TextTable &table, int row, int column, qint64 low, qint64 high)
{
    const QString text = table.cell(row - 1, column);
    const auto value = roundHalfEven(text);
    if (!value) {
        throw InputError(QStringLiteral("Row %1, column [%2]: \"%3\" is not a number")
                             .arg(row)
                             .arg(columnName(column), text));
    }
    if (*value < low || *value > high) {
        throw InputError(QStringLiteral("Row %1, column [%2]: %3 is out of range")
                             .arg(row)
                             .arg(columnName(column), text.trimmed()));
    }
    return static_cast<int>(*value);
}

bool isCoilFunction(int function)
{
    return function == SlaveFunction::ReadCoils || function == SlaveFunction::WriteCoils;
}

int numWordLimit(int function)
{
    switch (function) {
    case SlaveFunction::ReadCoils:
    case SlaveFunction::WriteCoils:
        return 255;
    case SlaveFunction::ReadHoldingRegister:
    case SlaveFunction::ReadInputRegister:
        return 125;
    default:
        return 123; // Write multiply register
    }
}

// Error codes of Check_grid, as the messages number them.
enum Code : int {
    AddressFault = 0,
    NumWordFault = 1,
    SlaveAddressFault = 2,
    MasterAddressFault = 3,
    FunctionFault = 4,
    TimeoutFault = 5,
    TooManySlaves = 6,
};

std::optional<int> rowFault(const SlaveRecord &r)
{
    if (r.function < 0 || r.function > 4)
        return FunctionFault;
    if (r.address < 0 || r.address > 248)
        return AddressFault;
    // A negative count or address would be cut to a different value on its way to the PLC.
    if (r.numWord < 0 || r.numWord > numWordLimit(r.function))
        return NumWordFault;
    const int areaEnd = isCoilFunction(r.function) ? 3071 : 7999;
    if (r.addressSlave < 0 || r.addressSlave + r.numWord > areaEnd)
        return SlaveAddressFault;
    if (r.addressMaster < 0 || r.addressMaster + r.numWord > areaEnd)
        return MasterAddressFault;
    // The timeout has 12 bits in the record; more would run into the function bits.
    if (r.timeout < 1 || r.timeout > 4095)
        return TimeoutFault;
    return std::nullopt;
}

} // namespace

bool cellTextAcceptable(int column, const QString &text)
{
    const auto value = parseDecimal(text);
    if (!value)
        return false;
    switch (column) {
    case SlaveColumn::Address:
    case SlaveColumn::NumWord:
    case SlaveColumn::Function:
        // These go into 8 bits (the function into 4); a negative number fits none of them.
        return *value >= 0 && *value <= 255;
    case SlaveColumn::AddressSlave:
    case SlaveColumn::AddressMaster:
    case SlaveColumn::Timeout:
        return *value <= 65535;
    default:
        return false;
    }
}

std::optional<GridError> Check_grid(const TextTable &table)
{
    const int n = table.itemCount();
    if (n > MaxSlaves)
        return GridError{MaxSlaves, TooManySlaves};
    for (int row = 1; row <= n; ++row) {
        SlaveRecord r;
        r.address = wholeCell(table, row, SlaveColumn::Address, -32768, 32767);
        r.numWord = wholeCell(table, row, SlaveColumn::NumWord, -32768, 32767);
        r.addressSlave = wholeCell(table, row, SlaveColumn::AddressSlave, -32768, 32767);
        r.addressMaster = wholeCell(table, row, SlaveColumn::AddressMaster, -32768, 32767);
        r.function = wholeCell(table, row, SlaveColumn::Function, 0, 255);
        r.timeout = wholeCell(table, row, SlaveColumn::Timeout, -32768, 32767);
        if (const auto code = rowFault(r))
            return GridError{row, *code};
    }
    return std::nullopt;
}

QString gridErrorMessage(const GridError &error)
{
    const QString crlf = QStringLiteral("\r\n");
    const QString row = QString::number(error.row);
    switch (error.code) {
    case AddressFault:
        return QStringLiteral("You configuration has error in the slave address data - row ") +
               row + crlf + QStringLiteral("Column [Address]");
    case NumWordFault:
        return QStringLiteral("You configuration has error in the size of request  - row ") + row +
               crlf + QStringLiteral("Column [Num word]");
    case SlaveAddressFault:
        return QStringLiteral("You configuration has error in the slave address data - row ") +
               row + crlf + QStringLiteral("Column [Address slave]");
    case MasterAddressFault:
        return QStringLiteral("You configuration has error in the master address data - row ") +
               row + crlf + QStringLiteral("Column [Address master]");
    case FunctionFault:
        return QStringLiteral("You configuration has error in the function code - row ") + row +
               crlf + QStringLiteral("Column [Function]");
    case TimeoutFault:
        return QStringLiteral("You configuration has error in the Timeout - row ") + row + crlf +
               QStringLiteral("Column [Timeout,[ms]]");
    default:
        return QStringLiteral("You configuration has error in the number of slaves. ") + crlf +
               QStringLiteral("Maximum allowed number is 128 ");
    }
}

SlaveRecord slaveRecordOfRow(const TextTable &table, int row)
{
    const qint64 low = std::numeric_limits<int>::min();
    const qint64 high = std::numeric_limits<int>::max();
    SlaveRecord r;
    r.address = wholeCell(table, row, SlaveColumn::Address, low, high);
    r.numWord = wholeCell(table, row, SlaveColumn::NumWord, low, high);
    r.addressSlave = wholeCell(table, row, SlaveColumn::AddressSlave, low, high);
    r.addressMaster = wholeCell(table, row, SlaveColumn::AddressMaster, low, high);
    r.function = wholeCell(table, row, SlaveColumn::Function, low, high);
    r.timeout = wholeCell(table, row, SlaveColumn::Timeout, low, high);
    return r;
}

QString encodeSlaveRecord(const SlaveRecord &r)
{
    const auto last = static_cast<quint16>((r.function & 0xF) << 12 | (r.timeout & 0xFFF));
    return byteHex(static_cast<quint8>(r.address)) + byteHex(static_cast<quint8>(r.numWord)) +
           wordLineHex(static_cast<quint16>(r.addressSlave)) +
           wordLineHex(static_cast<quint16>(r.addressMaster)) + wordLineHex(last);
}

QString Encode_slave_table(const TextTable &table)
{
    QString text;
    for (int row = 1; row <= table.itemCount(); ++row)
        text += encodeSlaveRecord(slaveRecordOfRow(table, row));
    return text;
}

QList<QStringList> Decode_slave_table(const QString &hex, int count)
{
    QList<QStringList> rows;
    for (int k = 1; k <= count; ++k) {
        const QString record = hex.mid(16 * (k - 1), 16);
        auto hexAt = [&](int from, int size) {
            const QString digits = record.mid(from, size);
            return digits.size() == size ? PlcLink::Hex_to_int(digits) : 0;
        };
        // 16-bit values travel low byte first.
        auto wordAt = [&](int from) { return hexAt(from + 2, 2) * 256 + hexAt(from, 2); };
        const int last = wordAt(12);
        rows.append({QString::number(k), QString::number(hexAt(0, 2)), QString::number(hexAt(2, 2)),
                     QString::number(wordAt(4)), QString::number(wordAt(8)),
                     QString::number(last >> 12), QString::number(last & 0xFFF)});
    }
    return rows;
}
