#pragma once

#include "common/errors.h"
#include "common/text_table.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Columns of the slave table, from 0; column 0 is the Slot number.
namespace SlaveColumn {
enum : int { Slot, Address, NumWord, AddressSlave, AddressMaster, Function, Timeout, Count };
} // namespace SlaveColumn

// Function indexes, in the order of the slave dialog's list.
namespace SlaveFunction {
enum : int { ReadCoils, ReadHoldingRegister, WriteMultiplyRegister, WriteCoils, ReadInputRegister };
} // namespace SlaveFunction
// Coils (the PLC's bit area) rather than registers; a read fills the PLC's memory, a write sends
// from it.
bool isCoilFunction(int function);
bool isReadFunction(int function);

// The header line of the slave grids.
QString slaveTableHeader();

// Largest number of slaves a port polls.
constexpr int MaxSlaves = 128;

// The in-cell editor's check of a typed text: a number, not above the column's limit (255 for
// Address, Num word and Function, 65535 for the others), and not negative in the three 8-bit
// columns. The text is kept as typed when it passes.
bool cellTextAcceptable(int column, const QString &text);

// The first fault Check_grid found: the 1-based row and the code of its message. Codes 0 to 5
// name the column at fault (its column number less one), 6 too many slaves.
struct GridError
{
    int row = 0;
    int code = 0;
    friend bool operator==(const GridError &, const GridError &) = default;
};

// The limits Check_grid keeps a row of the given function (0 to 4) in: Address up to
// maxAddress, Num word up to maxNumWord, each of the two addresses plus Num word up to areaEnd,
// the timeout from minTimeout to maxTimeout; nothing below 0.
struct SlaveRowLimits
{
    int maxAddress = 248;
    int maxNumWord = 0;
    int areaEnd = 0;
    int minTimeout = 1;
    int maxTimeout = 4095; // 12 bits in the record; more would run into the function bits
};
SlaveRowLimits slaveRowLimits(int function);
constexpr int MaxFunction = SlaveFunction::ReadInputRegister;
// The highest address a Modbus slave can have; the PLC's field takes up to 248.
constexpr int LastModbusSlave = 247;

// A cell Check_grid cannot read as a number in its range, with the row (from 1) it stands in.
class GridCellError final : public InputError
{
public:
    GridCellError(const QString &description, int row) : InputError(description), m_row(row) {}
    int row() const { return m_row; }

private:
    int m_row;
};

// The check of the slave table before a write, in the PLC's field limits. Reads every cell of a
// row as a whole number (Function 0..255, the others -32768..32767) and throws GridCellError
// naming the cell when one does not convert. Nothing when the table may be written.
std::optional<GridError> Check_grid(const TextTable &table);
// The rule a cell of a slave row (row from 0) breaks in the checks of a write, as a sentence
// ("Address: a whole number from 0 to 248"); an empty text for a cell the write takes. Num word
// and the two addresses follow the row's function.
QString slaveCellRule(const TextTable &table, int row, int column);
// The message a GridError shows, title "Error in configurations".
QString gridErrorMessage(const GridError &error);

// One slave as the PLC stores it.
struct SlaveRecord
{
    int address = 0;
    int numWord = 0;
    int addressSlave = 0;
    int addressMaster = 0;
    int function = 0;
    int timeout = 0;
    friend bool operator==(const SlaveRecord &, const SlaveRecord &) = default;
};

// Reads the six value cells of a table row as whole numbers, rounding halves to even; throws
// InputError naming the cell (row counted from 1) when one does not convert.
SlaveRecord slaveRecordOfRow(const TextTable &table, int row);

// The 8 bytes of one record: Address, Num word, then Address slave and Address master low byte
// first, then function x 4096 + timeout low byte first. 01 0A 64 00 C8 00 64 10 for 1, 10, 100,
// 200, 1, 100. The fields are cut to their widths; Check_grid keeps them inside.
constexpr int SlaveRecordBytes = 8;
QByteArray encodeSlaveRecord(const SlaveRecord &record);
// The records of every slave row of a table, joined. Throws InputError like slaveRecordOfRow.
QByteArray Encode_slave_table(const TextTable &table);

// The rows of `count` records read back (bytes missing at the end read as 0): Slot k, then
// Address, Num word, Address slave, Address master, Function and Timeout as decimal texts.
QList<QStringList> Decode_slave_table(const QByteArray &records, int count);
