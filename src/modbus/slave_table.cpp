#include "modbus/slave_table.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/untrusted_text.h"

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
        throw GridCellError(QStringLiteral("Row %1, column [%2]: %3 is not a number")
                                .arg(row)
                                .arg(columnName(column), quotedText(text)),
                            row);
    }
    if (*value < low || *value > high) {
        throw GridCellError(QStringLiteral("Row %1, column [%2]: %3 is out of range")
                                .arg(row)
                                .arg(columnName(column), shortText(text.trimmed())),
                            row);
    }
    return static_cast<int>(*value);
}

// The code of a fault in a column, and of too many slaves.
constexpr int codeOf(int column)
{
    return column - 1;
}
constexpr int TooManySlaves = 6;

// The column at fault in a row, checked in this order.
std::optional<int> rowFault(const SlaveRecord &r)
{
    if (r.function < 0 || r.function > MaxFunction)
        return SlaveColumn::Function;
    const SlaveRowLimits limits = slaveRowLimits(r.function);
    if (r.address < 0 || r.address > limits.maxAddress)
        return SlaveColumn::Address;
    // A negative count or address would be cut to a different value on its way to the PLC.
    if (r.numWord < 0 || r.numWord > limits.maxNumWord)
        return SlaveColumn::NumWord;
    if (r.addressSlave < 0 || r.addressSlave + r.numWord > limits.areaEnd)
        return SlaveColumn::AddressSlave;
    if (r.addressMaster < 0 || r.addressMaster + r.numWord > limits.areaEnd)
        return SlaveColumn::AddressMaster;
    if (r.timeout < limits.minTimeout || r.timeout > limits.maxTimeout)
        return SlaveColumn::Timeout;
    return std::nullopt;
}

} // namespace

bool isCoilFunction(int function)
{
    return function == SlaveFunction::ReadCoils || function == SlaveFunction::WriteCoils;
}

bool isReadFunction(int function)
{
    return function == SlaveFunction::ReadCoils || function == SlaveFunction::ReadHoldingRegister ||
           function == SlaveFunction::ReadInputRegister;
}

SlaveRowLimits slaveRowLimits(int function)
{
    SlaveRowLimits limits;
    const bool coils = isCoilFunction(function);
    limits.maxNumWord = coils ? 255 : function == SlaveFunction::WriteMultiplyRegister ? 123 : 125;
    limits.areaEnd = coils ? 3071 : 7999;
    return limits;
}

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
        if (const auto column = rowFault(r))
            return GridError{row, codeOf(*column)};
    }
    return std::nullopt;
}

QString slaveCellRule(const TextTable &table, int row, int column)
{
    auto value = [&](int c) { return roundHalfEven(table.cell(row, c)); };
    const auto function = value(SlaveColumn::Function);
    const bool known = function && *function >= 0 && *function <= MaxFunction;
    const SlaveRowLimits limits =
        slaveRowLimits(known ? static_cast<int>(*function) : SlaveFunction::ReadCoils);
    const auto v = value(column);
    auto within = [&](qint64 low, qint64 high) { return v && *v >= low && *v <= high; };
    auto rule = [&](qint64 low, qint64 high, const QString &text) {
        return within(low, high) ? QString() : columnName(column) + QStringLiteral(": ") + text;
    };
    switch (column) {
    // The ranges named are those that draw no warning of the configuration check either: the
    // write takes slave address 248 and a count of 0, which no slave answers.
    case SlaveColumn::Address:
        return rule(0, limits.maxAddress,
                    QStringLiteral("a whole number from 1 to %1 (0 broadcasts a write)")
                        .arg(LastModbusSlave));
    case SlaveColumn::NumWord:
        return rule(
            0, limits.maxNumWord,
            QStringLiteral("a whole number from 1 to %1 for this function").arg(limits.maxNumWord));
    case SlaveColumn::AddressSlave:
    case SlaveColumn::AddressMaster:
        return rule(0, limits.areaEnd - value(SlaveColumn::NumWord).value_or(0),
                    QStringLiteral("a whole number from 0; with Num word added, at most %1 for "
                                   "this function")
                        .arg(limits.areaEnd));
    case SlaveColumn::Function:
        return known ? QString()
                     : columnName(column) +
                           QStringLiteral(": a whole number from 0 to %1").arg(MaxFunction);
    case SlaveColumn::Timeout:
        return rule(limits.minTimeout, limits.maxTimeout,
                    QStringLiteral("a whole number from %1 to %2")
                        .arg(limits.minTimeout)
                        .arg(limits.maxTimeout));
    default:
        return {};
    }
}

QString gridErrorMessage(const GridError &error)
{
    const QString crlf = QStringLiteral("\r\n");
    if (error.code < 0 || error.code >= TooManySlaves) {
        return QStringLiteral("You configuration has error in the number of slaves. ") + crlf +
               QStringLiteral("Maximum allowed number is 128 ");
    }
    // What is wrong, by code: the column's own name follows on the second line.
    static const char *const faults[] = {"the slave address data", "the size of request ",
                                         "the slave address data", "the master address data",
                                         "the function code",      "the Timeout"};
    const int column = error.code + 1;
    return QStringLiteral("You configuration has error in %1 - row %2")
               .arg(QLatin1String(faults[error.code]))
               .arg(error.row) +
           crlf + QStringLiteral("Column [%1]").arg(columnName(column));
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

QByteArray encodeSlaveRecord(const SlaveRecord &r)
{
    const auto last = static_cast<quint16>((r.function & 0xF) << 12 | (r.timeout & 0xFFF));
    QByteArray record;
    record += static_cast<char>(r.address);
    record += static_cast<char>(r.numWord);
    record += wordBytes(static_cast<quint16>(r.addressSlave));
    record += wordBytes(static_cast<quint16>(r.addressMaster));
    record += wordBytes(last);
    return record;
}

QByteArray Encode_slave_table(const TextTable &table)
{
    QByteArray records;
    for (int row = 1; row <= table.itemCount(); ++row)
        records += encodeSlaveRecord(slaveRecordOfRow(table, row));
    return records;
}

QList<QStringList> Decode_slave_table(const QByteArray &records, int count)
{
    QList<QStringList> rows;
    for (int k = 1; k <= count; ++k) {
        QByteArray record = records.mid(SlaveRecordBytes * (k - 1), SlaveRecordBytes);
        record.resize(SlaveRecordBytes, '\0');
        const quint16 last = wordAt(record, 6);
        rows.append({QString::number(k), QString::number(quint8(record[0])),
                     QString::number(quint8(record[1])), QString::number(wordAt(record, 2)),
                     QString::number(wordAt(record, 4)), QString::number(last >> 12),
                     QString::number(last & 0xFFF)});
    }
    return rows;
}
