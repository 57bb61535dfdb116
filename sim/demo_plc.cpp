#include "sim/demo_plc.h"

namespace sim {

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out += static_cast<char>(v);
    return out;
}

// The table's record: ROM bytes in pairs odd byte first, then the register low byte first.
QByteArray sensorRecord(const RomCode &rom, quint16 reg)
{
    return bytes(
        {rom[1], rom[0], rom[3], rom[2], rom[5], rom[4], rom[7], rom[6], reg & 0xFF, reg >> 8});
}

} // namespace

QList<RomCode> demoBusSensors()
{
    QList<RomCode> roms;
    for (int i = 0; i < 5; ++i)
        roms.append(generatedRom(i));
    return roms;
}

void fillDemoPlc(PlcModel &model)
{
    const QList<RomCode> bus = demoBusSensors();
    model.setBusSensors(bus);

    // UART 1: master, 115200, no parity, 3 slaves.
    model.setWord(Addr::Uart1Port, 0xD403);
    model.setMemory(Addr::Uart1Slaves,
                    bytes({0x01, 0x0A, 0x64, 0x00, 0xC8, 0x00, 0x64, 0x10,    // read holding
                           0x02, 0x04, 0x00, 0x00, 0x2C, 0x01, 0xFA, 0x40,    // read input
                           0x03, 0x10, 0x0A, 0x00, 0x90, 0x01, 0xF4, 0x01})); // read coils
    model.setErrorBuffer(PlcModel::ErrorBuffer::Uart1, bytes({0x84, 0x00, 0x83}));

    // UART 2: master, 9600, even parity, 2 slaves.
    model.setWord(Addr::Uart2Port, 0xC802);
    model.setMemory(Addr::Uart2Slaves,
                    bytes({0x05, 0x02, 0x00, 0x00, 0xF4, 0x01, 0xC8, 0x20,    // write registers
                           0x06, 0x08, 0x10, 0x00, 0x58, 0x02, 0xE8, 0x13})); // read holding
    model.setErrorBuffer(PlcModel::ErrorBuffer::Uart2, bytes({0x01, 0x80}));

    // Auxiliary port: 1-wire master with the first three bus sensors, registers 1500 onwards.
    model.setWord(Addr::AuxMode, 0xC003);
    QByteArray records;
    for (int i = 0; i < 3; ++i)
        records += sensorRecord(bus.at(i), static_cast<quint16>(1500 + 2 * i));
    model.setMemory(Addr::SensorArea, records);
    model.setErrorBuffer(PlcModel::ErrorBuffer::OneWire, bytes({0x00, 0xC5, 0xE2}));
}

} // namespace sim
