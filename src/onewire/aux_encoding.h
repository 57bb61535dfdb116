#pragma once

#include "onewire/aux_port.h"

#include <QList>
#include <QString>

#include <optional>

// How the auxiliary port travels to and from the PLC: the mode word at 200A, the sensor area at
// 200C (10 bytes per sensor), and the check of the sensor table before a write.

// The first fault of a sensor table: the row (from 1) and the code: 0 to 7 for a ROM byte that is
// not two hex digits, 0 also for a register that is not a 16-bit decimal number, 8 for a register
// outside 0..7997, 9 for more than 128 sensors (row 128).
struct SensorFault
{
    int row = 0;
    int code = 0;
    friend bool operator==(const SensorFault &, const SensorFault &) = default;
};

// The last register a sensor may fill: the check keeps register + 2 at most 7999.
constexpr int LastSensorRegister = 7997;

// True when the text is NOT exactly two characters of 0-9, A-F, a-f.
bool Check_hex_byte(const QString &text);

// The first fault, rows from the top, in a row the bytes 0 to 7 and then the register.
std::optional<SensorFault> Check_grid_1w(const QList<SensorRow> &sensors);
// The message shown for a fault, titled "Error in configuration".
QString sensorFaultMessage(const SensorFault &fault);
// The rule a cell of a sensor row breaks in the checks of a write (column as in SensorTable), as a
// sentence ("Byte 3: two hex digits"); an empty text for a cell the write takes.
QString sensorCellRule(const SensorRow &sensor, int column);

// The mode word: bit 15 port used, bit 14 1-wire master with the sensor count in the low byte;
// for Field Net bit 13 stop bits, bit 12 data bits, bits 11..10 parity, bits 9..7 speed code
// (0, 1, 2, 3 or 7 for 115200). The count field is 8 bits wide, so that 128 reads back as 128.
quint16 Encode_aux_word(AuxMode mode, int sensorCount, const FieldNetSettings &fieldNet);

struct AuxWord
{
    AuxMode mode = AuxMode::NotUse;
    int sensorCount = 0;       // 1-wire master only
    FieldNetSettings fieldNet; // Field Net only; the defaults otherwise
    friend bool operator==(const AuxWord &, const AuxWord &) = default;
};
AuxWord Decode_aux_word(quint16 word);

// 10 bytes per sensor: the ROM bytes in pairs with the odd byte first (1 0 3 2 5 4 7 6), then
// the register low byte first. The rows must have passed Check_grid_1w; a cell that does not
// convert throws InputError.
constexpr int SensorRecordBytes = 10;
QByteArray Encode_sensor_table(const QList<SensorRow> &sensors);
// The reverse for count sensors, the ROM bytes as two upper-case hex digits; a record missing at
// the end gives empty cells.
QList<SensorRow> Decode_sensor_table(const QByteArray &area, int count);
