#pragma once

// What the 1-wire tests share: the frames the simulated PLC received, and sensors to fill tables
// with.

#include "link/plc_link.h"
#include "onewire/sensor_table.h"
#include "sim/sim_line.h"
#include "support/sim_bench.h"

#include <QByteArray>
#include <QList>

// Each request as sent, without STX and without ETX and its sum: "E11200C3C...".
inline QList<QByteArray> requestBodies(const sim::SimulatedLine &line)
{
    QList<QByteArray> bodies;
    for (const QByteArray &frame : line.sends())
        bodies.append(frame.size() >= 4 ? frame.mid(1, frame.size() - 4) : frame);
    return bodies;
}

// The same cut to command, address and count: "E11200C3C".
inline QList<QByteArray> requestHeads(const sim::SimulatedLine &line)
{
    QList<QByteArray> heads;
    for (const QByteArray &body : requestBodies(line))
        heads.append(body.left(body.startsWith('E') ? 9 : 7));
    return heads;
}

inline RomTexts romOf(const QStringList &bytes)
{
    RomTexts rom;
    for (int k = 0; k < 8 && k < bytes.size(); ++k)
        rom[size_t(k)] = bytes[k];
    return rom;
}

// The example sensor of the PLC's documentation: its record is FF281E64000F5A00B80B.
inline SensorRow exampleSensor()
{
    return {romOf({"28", "FF", "64", "1E", "0F", "00", "00", "5A"}), QStringLiteral("3000")};
}

// n good sensors, ROM bytes in lower case (as a user may type them), registers 100, 102 ...
inline QList<SensorRow> goodSensors(int n)
{
    QList<SensorRow> rows;
    for (int i = 0; i < n; ++i) {
        SensorRow s;
        s.rom[0] = QStringLiteral("28");
        for (int k = 1; k < 7; ++k)
            s.rom[size_t(k)] =
                QStringLiteral("%1").arg((i * 7 + k * 31) & 0xFF, 2, 16, QLatin1Char('0'));
        s.rom[7] = QStringLiteral("%1").arg(i & 0xFF, 2, 16, QLatin1Char('0'));
        s.reg = QString::number(100 + 2 * i);
        rows.append(s);
    }
    return rows;
}

// The ROM bytes as they come back from the PLC: in upper case.
inline QList<SensorRow> upperCased(QList<SensorRow> rows)
{
    for (SensorRow &s : rows) {
        for (QString &byte : s.rom)
            byte = byte.toUpper();
    }
    return rows;
}

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
