#include "onewire/aux_encoding.h"

#include "common/errors.h"
#include "common/hex_text.h"

#include <iterator>

namespace {

// The ROM bytes of a sensor record: the odd byte of each pair first.
constexpr int RecordOrder[8] = {1, 0, 3, 2, 5, 4, 7, 6};

// Speed codes of the Field Net speeds, in list order: 115200 is code 7, not 4.
constexpr int SpeedCodes[] = {0, 1, 2, 3, 7};

} // namespace

bool Check_hex_byte(const QString &text)
{
    return !romByte(text);
}

std::optional<SensorFault> Check_grid_1w(const QList<SensorRow> &sensors)
{
    if (sensors.size() > SensorTable::MaxSensors)
        return SensorFault{SensorTable::MaxSensors, 9};
    for (int i = 0; i < sensors.size(); ++i) {
        const int row = i + 1;
        const SensorRow &s = sensors[i];
        for (int k = 0; k < 8; ++k) {
            if (Check_hex_byte(s.rom[size_t(k)]))
                return SensorFault{row, k};
        }
        const auto reg = registerNumber(s.reg);
        if (!reg || *reg > std::numeric_limits<qint16>::max() - 2)
            return SensorFault{row, 0};
        // A negative register has no 16-bit form the PLC could use: refused like one too high.
        if (*reg < 0 || *reg > LastSensorRegister)
            return SensorFault{row, 8};
    }
    return std::nullopt;
}

QString sensorCellRule(const SensorRow &sensor, int column)
{
    if (column == SensorTable::RegisterColumn) {
        const auto reg = registerNumber(sensor.reg);
        return reg && *reg >= 0 && *reg <= LastSensorRegister
                   ? QString()
                   : QStringLiteral("Dxxxx: a whole number from 0 to %1").arg(LastSensorRegister);
    }
    const int k = column - SensorTable::FirstByteColumn;
    if (k < 0 || k >= 8 || !Check_hex_byte(sensor.rom[size_t(k)]))
        return {};
    return QStringLiteral("Byte %1: two hex digits, 00 to FF").arg(k);
}

QString sensorFaultMessage(const SensorFault &fault)
{
    if (fault.code == 9)
        return QStringLiteral(
            "You configuration has error - too much sensors. Maximum value is 128");
    if (fault.code == 8) {
        return QStringLiteral(
                   "You configuration has error in master addresing data Dxxxx. Row is ") +
               QString::number(fault.row);
    }
    return QStringLiteral("You configuration has error in the addresing data - row ") +
           QString::number(fault.row) + QStringLiteral("\r\nColumn Byte ") +
           QString::number(fault.code);
}

quint16 Encode_aux_word(AuxMode mode, int sensorCount, const FieldNetSettings &fieldNet)
{
    switch (mode) {
    case AuxMode::OnewireMaster:
        return static_cast<quint16>(0xC000 | (sensorCount & 0xFF));
    case AuxMode::FieldNet: {
        const int speed = fieldNet.speed >= 0 && fieldNet.speed < int(std::size(SpeedCodes))
                              ? SpeedCodes[fieldNet.speed]
                              : 0;
        return static_cast<quint16>(0x8000 | (fieldNet.stopBits & 1) << 13 |
                                    (fieldNet.dataBits & 1) << 12 | (fieldNet.parity & 3) << 10 |
                                    speed << 7);
    }
    case AuxMode::NotUse:
        break;
    }
    return 0;
}

AuxWord Decode_aux_word(quint16 word)
{
    auto bit = [word](int n) { return (word >> n & 1) != 0; };
    AuxWord w;
    if (bit(15) && bit(14)) {
        w.mode = AuxMode::OnewireMaster;
        w.sensorCount = word & 0xFF;
    } else if (bit(15)) {
        w.mode = AuxMode::FieldNet;
        w.fieldNet.stopBits = bit(13) ? 1 : 0;
        w.fieldNet.dataBits = bit(12) ? 1 : 0;
        w.fieldNet.parity = bit(11) ? 2 : bit(10) ? 1 : 0;
        // Read from the top bit down, so that the codes 4 to 6, which name no speed, fall into
        // the lower speeds.
        w.fieldNet.speed = bit(9) && bit(8) && bit(7) ? 4
                           : bit(8) && bit(7)         ? 3
                           : bit(8)                   ? 2
                           : bit(7)                   ? 1
                                                      : 0;
    }
    return w;
}

QByteArray Encode_sensor_table(const QList<SensorRow> &sensors)
{
    QByteArray area;
    area.reserve(SensorRecordBytes * sensors.size());
    for (const SensorRow &s : sensors) {
        for (const int k : RecordOrder) {
            const auto byte = romByte(s.rom[size_t(k)]);
            if (!byte) {
                throw InputError(QStringLiteral("The ROM byte \"%1\" is not two hex digits")
                                     .arg(s.rom[size_t(k)]));
            }
            area += static_cast<char>(*byte);
        }
        const auto reg = registerNumber(s.reg);
        if (!reg)
            throw InputError(QStringLiteral("The register \"%1\" is not a number").arg(s.reg));
        area += wordBytes(static_cast<quint16>(*reg));
    }
    return area;
}

QList<SensorRow> Decode_sensor_table(const QByteArray &area, int count)
{
    QList<SensorRow> sensors;
    sensors.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QByteArray record = area.mid(SensorRecordBytes * i, SensorRecordBytes);
        SensorRow s;
        if (record.size() == SensorRecordBytes) {
            for (int p = 0; p < 8; ++p)
                s.rom[size_t(RecordOrder[p])] = byteHex(static_cast<quint8>(record[p]));
            s.reg = QString::number(wordAt(record, 8));
        }
        sensors.append(s);
    }
    return sensors;
}
