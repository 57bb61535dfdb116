#include "cli/project_text.h"

#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_port.h"
#include "project/port_texts.h"
#include "project/project_file.h"

namespace {

QString portText(const ModbusPort &port)
{
    QString t;
    t += port.info().name + QLatin1Char('\n');
    t += QStringLiteral("  mode: %1\n").arg(portModeText(port));
    t += QStringLiteral("  line: %1\n").arg(lineSettingsText(port));
    t += QStringLiteral("  slave-mode address: %1, timeout: %2 ms\n")
             .arg(port.slaveAddress(), port.slaveTimeout());
    const TextTable &slaves = port.slaves();
    t += QStringLiteral("  slaves: %1\n").arg(slaves.itemCount());
    if (slaves.itemCount() > 0) {
        t += QStringLiteral("    %1 %2 %3 %4 %5  %6 %7\n")
                 .arg(QStringLiteral("Slot"), 4)
                 .arg(QStringLiteral("Address"), 7)
                 .arg(QStringLiteral("Num word"), 8)
                 .arg(QStringLiteral("Address slave"), 13)
                 .arg(QStringLiteral("Address master"), 14)
                 .arg(QStringLiteral("Function"), -22)
                 .arg(QStringLiteral("Timeout,[ms]"), 12);
        for (int r = 0; r < slaves.itemCount(); ++r) {
            t += QStringLiteral("    %1 %2 %3 %4 %5  %6 %7\n")
                     .arg(r + 1, 4)
                     .arg(slaves.cell(r, SlaveColumn::Address), 7)
                     .arg(slaves.cell(r, SlaveColumn::NumWord), 8)
                     .arg(slaves.cell(r, SlaveColumn::AddressSlave), 13)
                     .arg(slaves.cell(r, SlaveColumn::AddressMaster), 14)
                     .arg(functionText(slaves.cell(r, SlaveColumn::Function).toInt()), -22)
                     .arg(slaves.cell(r, SlaveColumn::Timeout), 12);
        }
    }
    return t;
}

} // namespace

QString projectText(const ProjectPorts &ports)
{
    QString t =
        portText(ports.uart1) + QLatin1Char('\n') + portText(ports.uart2) + QLatin1Char('\n');
    const SensorTable &sensors = ports.aux.sensors();
    t += QStringLiteral("Auxiliary port\n  mode: %1\n  sensors: %2\n")
             .arg(auxModeText(ports.aux.mode()))
             .arg(sensors.sensorCount());
    if (sensors.sensorCount() > 0) {
        t += QStringLiteral("    %1  %2  %3\n")
                 .arg(QStringLiteral("Num"), 4)
                 .arg(QStringLiteral("ROM code"), -16)
                 .arg(QStringLiteral("Dxxxx"), 6);
        for (int s = 0; s < sensors.sensorCount(); ++s) {
            const SensorRow row = sensors.sensor(s);
            t += QStringLiteral("    %1  %2  %3\n")
                     .arg(s + 1, 4)
                     .arg(romText(row), -16)
                     .arg(row.reg, 6);
        }
    }
    return t;
}
