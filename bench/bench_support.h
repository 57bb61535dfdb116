#pragma once

// What the benchmarks share: plc-sim in a process of its own, and a full configuration (128
// slaves on each UART, 128 sensors) to move.

#include "common/hex_text.h"
#include "modbus/modbus_port.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace bench {

// plc-sim started with the options, reachable through a symlink in a temporary folder.
struct Sim
{
    QTemporaryDir dir;
    QProcess process;
    QString link() const { return dir.filePath(QStringLiteral("plc")); }
    bool start(const QStringList &options)
    {
        process.start(QStringLiteral(PLC_SIM_PATH), QStringList{"--link", link()} + options);
        if (process.waitForStarted(5000) && process.waitForReadyRead(5000))
            return true;
        std::fprintf(stderr, "plc-sim did not start\n");
        return false;
    }
    ~Sim()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
};

// A UART in master mode at 115200, even parity, polling 128 slaves.
inline void fillSlaves(ModbusPort &port)
{
    QList<QStringList> rows;
    for (int k = 0; k < 128; ++k)
        rows.append({QString::number(k + 1), QString::number(k % 247 + 1), "10",
                     QString::number(100 + k), QString::number(200 + k), "1", "100"});
    port.setSpeed(0);
    port.setParity(1);
    port.setBitNumber(1);
    port.setStopBit(0);
    port.slaves().setItems(rows);
    port.setMode(PortMode::Master);
}

// The auxiliary port in 1-wire master mode with 128 sensors.
inline AuxPortConfig fullSensorConfig()
{
    AuxPortConfig config;
    config.mode = AuxMode::OnewireMaster;
    for (int i = 0; i < 128; ++i) {
        RomTexts rom;
        rom[0] = QStringLiteral("28");
        for (size_t b = 1; b < rom.size(); ++b)
            rom[b] = byteHex(static_cast<quint8>(i * 7 + int(b)));
        config.sensors.append({rom, QString::number(100 + 2 * i)});
    }
    return config;
}

// The three ports of a full project: 128 slaves on each UART, 128 sensors.
struct FullPorts
{
    ModbusPort uart1{ModbusPortInfo::uart1()};
    ModbusPort uart2{ModbusPortInfo::uart2()};
    AuxPort aux;
    FullPorts()
    {
        fillSlaves(uart1);
        fillSlaves(uart2);
        aux.setConfig(fullSensorConfig());
    }
    ProjectRecord record()
    {
        ProjectRecord r;
        Fill_project_record(r, {uart1, uart2, aux});
        return r;
    }
};

} // namespace bench
