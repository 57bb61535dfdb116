#pragma once

#include "sim/plc_model.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace sim {

// The field devices behind the simulated PLC: the Modbus slaves on each UART and the sensors on
// the 1-wire bus, as a plant file describes them.

// The four Modbus tables of a slave.
enum class ModbusTable { Coils, Discrete, Input, Holding };

// The addresses first to last that exist in one table.
struct AddressRange
{
    int first = 0;
    int last = -1;
    bool isEmpty() const { return last < first; }
    int size() const { return isEmpty() ? 0 : last - first + 1; }
    // All of the count addresses from address on exist.
    bool covers(int address, int count) const
    {
        return count > 0 && !isEmpty() && address >= first && address + count - 1 <= last;
    }
    bool operator==(const AddressRange &) const = default;
};

struct PlantSlave
{
    int address = 0; // 1 to 247
    // Absent tables have no address at all: every request to them is refused as an illegal
    // address.
    std::optional<AddressRange> coils;
    std::optional<AddressRange> discrete;
    std::optional<AddressRange> input;
    std::optional<AddressRange> holding;
    // The slave answers this long after a request has reached it.
    int delayMs = 0;
    // Each answer is damaged on the line (one byte changed), so the PLC receives bytes that do
    // not make a frame.
    bool noise = false;
    // Requests that touch range in table are answered with this Modbus exception code (1 to 255)
    // instead of being served.
    struct Exception
    {
        ModbusTable table = ModbusTable::Holding;
        AddressRange range;
        int code = 4;
        bool operator==(const Exception &) const = default;
    };
    std::optional<Exception> exception;

    const std::optional<AddressRange> &range(ModbusTable table) const
    {
        switch (table) {
        case ModbusTable::Coils:
            return coils;
        case ModbusTable::Discrete:
            return discrete;
        case ModbusTable::Input:
            return input;
        case ModbusTable::Holding:
            break;
        }
        return holding;
    }
    bool operator==(const PlantSlave &) const = default;
};

struct PlantSensor
{
    RomCode rom{};
    double celsius = 0;
    // On the plant's list but not on the bus: a search does not find it, a read gets no answer.
    bool absent = false;
    bool operator==(const PlantSensor &) const = default;
};

struct Plant
{
    QList<PlantSlave> uart1;
    QList<PlantSlave> uart2;
    QList<PlantSensor> sensors;
    // The PLC rests this long after polling its whole table before it starts again.
    int cycleMs = 0;

    const QList<PlantSlave> &slaves(int uart) const { return uart == 2 ? uart2 : uart1; }
    // The slave at this Modbus address on that UART; nullptr when none answers there.
    const PlantSlave *slave(int uart, int address) const;
    // The sensors a bus search finds, in the plant's order.
    QList<RomCode> presentSensors() const;
    bool operator==(const Plant &) const = default;
};

// Reads a plant file's text. Faults are named with their place, one per line, as
// "uart1.slaves[1].holding: wants [first, last], two whole numbers from 0 to 65535"; the whole
// file is read and every fault reported (at most 20). Unknown keys, wrong types, values out of
// range, a slave address twice on one UART and a ROM code twice are faults.
std::optional<Plant> parsePlant(const QByteArray &json, QString *faults);
// The same from a file; an unreadable file is a fault of its own ("cannot read FILE: why").
std::optional<Plant> readPlantFile(const QString &path, QString *faults);

// The plant of the demo PLC (fillDemoPlc): on UART 1, slave 1's holding registers end before the
// configured range; on UART 2, slave 6 does not answer; the third configured sensor is absent.
Plant demoPlant();

} // namespace sim
