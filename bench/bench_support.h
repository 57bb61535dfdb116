#pragma once

// What the benchmarks share: plc-sim in a process of its own, and a full configuration (128
// slaves on each UART, 128 sensors) to move.

#include "common/hex_text.h"
#include "modbus/modbus_port.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

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

// A UART in master mode at 115200, even parity, polling 128 slaves (or as many as asked).
inline void fillSlaves(ModbusPort &port, int count = 128)
{
    QList<QStringList> rows;
    for (int k = 0; k < count; ++k)
        rows.append({QString::number(k + 1), QString::number(k % 247 + 1), "10",
                     QString::number(100 + k), QString::number(200 + k), "1", "100"});
    port.setSpeed(0);
    port.setParity(1);
    port.setBitNumber(1);
    port.setStopBit(0);
    port.slaves().setItems(rows);
    port.setMode(PortMode::Master);
}

// The auxiliary port in 1-wire master mode with 128 sensors (or as many as asked).
inline AuxPortConfig fullSensorConfig(int count = 128)
{
    AuxPortConfig config;
    config.mode = AuxMode::OnewireMaster;
    for (int i = 0; i < count; ++i) {
        RomTexts rom;
        rom[0] = QStringLiteral("28");
        for (size_t b = 1; b < rom.size(); ++b)
            rom[b] = byteHex(static_cast<quint8>(i * 7 + int(b)));
        config.sensors.append({rom, QString::number(100 + 2 * i)});
    }
    return config;
}

// The three ports of a full project: 128 slaves on each UART, 128 sensors (or rows as asked).
struct FullPorts
{
    ModbusPort uart1{ModbusPortInfo::uart1()};
    ModbusPort uart2{ModbusPortInfo::uart2()};
    AuxPort aux;
    explicit FullPorts(int rows = 128)
    {
        fillSlaves(uart1, rows);
        fillSlaves(uart2, rows);
        aux.setConfig(fullSensorConfig(rows));
    }
    ProjectRecord record()
    {
        ProjectRecord r;
        Fill_project_record(r, {uart1, uart2, aux});
        return r;
    }
};

// The longest gap between the ticks of a 1 ms timer, since the last reset.
class LatencyProbe
{
public:
    LatencyProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
        m_clock.start();
        m_timer.start();
    }
    void reset()
    {
        m_lastNs = m_clock.nsecsElapsed();
        m_longestNs = 0;
    }
    double longestMs() const
    {
        // A gap still open counts too.
        return std::max(m_longestNs, m_clock.nsecsElapsed() - m_lastNs) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

// "--smoke": a short run with small tables, which shows only that every step runs to its end
// and does what it should (the figures mean nothing then); the exit status says whether it did.
inline bool smokeRun(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--smoke") == 0)
            return true;
    }
    return false;
}

} // namespace bench
