#pragma once

// What the 1-wire tests share: the frames the simulated PLC received, and sensors to fill tables
// with.

#include "common/hex_text.h"
#include "link/plc_link.h"
#include "onewire/sensor_table.h"
#include "sim/sim_line.h"
#include "support/sim_bench.h"

#include <QByteArray>
#include <QList>

// The requests the PLC received, without STX, ETX and sum, one space apart: reads and one-word
// writes whole ("E11200A0203C0"), longer writes cut to command, address and count ("E11200C3C").
inline QByteArray requests(const sim::SimulatedLine &line)
{
    QByteArrayList bodies;
    for (const QByteArray &frame : line.sends()) {
        const QByteArray body = frame.mid(1, frame.size() - 4);
        bodies.append(body.size() > 13 ? body.left(9) : body);
    }
    return bodies.join(' ');
}

// Sixteen hex digits, Byte 0 first, as the eight cells of a ROM code.
inline RomTexts romOf(const char *digits)
{
    RomTexts rom;
    for (int k = 0; k < 8; ++k)
        rom[size_t(k)] = QString::fromLatin1(digits + 2 * k, 2);
    return rom;
}

// A sensor whose record is FF281E64000F5A00B80B: the ROM bytes swapped in pairs, then register
// 3000 (0BB8) low byte first.
inline SensorRow exampleSensor()
{
    return {romOf("28FF641E0F00005A"), QStringLiteral("3000")};
}

// n good sensors, ROM 2800000000000000, 2800000000000001 ..., registers 100, 102 ...
inline QList<SensorRow> goodSensors(int n)
{
    QList<SensorRow> rows;
    for (int i = 0; i < n; ++i)
        rows.append({romOf(qPrintable("28" + wordHex(quint16(i)).rightJustified(14, '0'))),
                     QString::number(100 + 2 * i)});
    return rows;
}

// The number column, placeholder included, and the registers of the sensors.
inline QStringList numColumn(const SensorTable &t)
{
    QStringList nums;
    for (int r = 0; r < t.rowCount(); ++r)
        nums << t.cell(r, SensorTable::NumColumn);
    return nums;
}
inline QStringList registers(const SensorTable &t)
{
    QStringList regs;
    for (const SensorRow &s : t.sensors())
        regs << s.reg;
    return regs;
}
