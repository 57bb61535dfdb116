#include "cli/project_text.h"

#include "link/line_settings.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString item(const QStringList &list, int index)
{
    return index >= 0 && index < list.size() ? list[index] : QString();
}

QString modeName(const ModbusPort &port)
{
    return item(PortLists::modes(), int(port.mode()));
}

QString auxModeName(AuxMode mode)
{
    return item(auxModeNames(), int(mode));
}

QString romText(const SensorRow &row)
{
    QString rom;
    for (const QString &b : row.rom)
        rom += b.toUpper();
    return rom;
}

QString portText(const ModbusPort &port)
{
    QString t;
    t += port.info().name + QLatin1Char('\n');
    t += QStringLiteral("  mode: %1\n").arg(modeName(port));
    t += QStringLiteral("  line: %1 bit/s, parity %2")
             .arg(item(LineChoices::speeds(), port.speed()),
                  item(PortLists::parities(), port.parity()));
    if (port.bitNumber() >= 0)
        t += QStringLiteral(", %1 data bits").arg(item(LineChoices::dataBits(), port.bitNumber()));
    if (port.stopBit() >= 0)
        t += QStringLiteral(", stop bits %1").arg(item(LineChoices::stopBits(), port.stopBit()));
    t += QLatin1Char('\n');
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
            const int function = slaves.cell(r, SlaveColumn::Function).toInt();
            t += QStringLiteral("    %1 %2 %3 %4 %5  %6 %7\n")
                     .arg(r + 1, 4)
                     .arg(slaves.cell(r, SlaveColumn::Address), 7)
                     .arg(slaves.cell(r, SlaveColumn::NumWord), 8)
                     .arg(slaves.cell(r, SlaveColumn::AddressSlave), 13)
                     .arg(slaves.cell(r, SlaveColumn::AddressMaster), 14)
                     .arg(item(PortLists::functions(), function), -22)
                     .arg(slaves.cell(r, SlaveColumn::Timeout), 12);
        }
    }
    return t;
}

QJsonObject portJson(const ModbusPort &port)
{
    QJsonObject o;
    o[QStringLiteral("mode")] = modeName(port);
    o[QStringLiteral("speed")] = item(LineChoices::speeds(), port.speed()).toInt();
    o[QStringLiteral("parity")] = item(PortLists::parities(), port.parity());
    if (port.bitNumber() >= 0)
        o[QStringLiteral("dataBits")] = item(LineChoices::dataBits(), port.bitNumber()).toInt();
    if (port.stopBit() >= 0)
        o[QStringLiteral("stopBits")] = item(LineChoices::stopBits(), port.stopBit()).toDouble();
    o[QStringLiteral("slaveAddress")] = port.slaveAddress().toInt();
    o[QStringLiteral("slaveTimeoutMs")] = port.slaveTimeout().toInt();
    QJsonArray slaves;
    const TextTable &t = port.slaves();
    for (int r = 0; r < t.itemCount(); ++r) {
        const int function = t.cell(r, SlaveColumn::Function).toInt();
        slaves.append(QJsonObject{
            {QStringLiteral("slot"), r + 1},
            {QStringLiteral("address"), t.cell(r, SlaveColumn::Address).toInt()},
            {QStringLiteral("numWord"), t.cell(r, SlaveColumn::NumWord).toInt()},
            {QStringLiteral("addressSlave"), t.cell(r, SlaveColumn::AddressSlave).toInt()},
            {QStringLiteral("addressMaster"), t.cell(r, SlaveColumn::AddressMaster).toInt()},
            {QStringLiteral("function"), function},
            {QStringLiteral("functionName"), item(PortLists::functions(), function)},
            {QStringLiteral("timeoutMs"), t.cell(r, SlaveColumn::Timeout).toInt()},
        });
    }
    o[QStringLiteral("slaves")] = slaves;
    return o;
}

} // namespace

QString projectText(const ProjectPorts &ports)
{
    QString t =
        portText(ports.uart1) + QLatin1Char('\n') + portText(ports.uart2) + QLatin1Char('\n');
    const SensorTable &sensors = ports.aux.sensors();
    t += QStringLiteral("Auxiliary port\n  mode: %1\n  sensors: %2\n")
             .arg(auxModeName(ports.aux.mode()))
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

QByteArray projectJson(const ProjectPorts &ports)
{
    QJsonArray sensors;
    const SensorTable &table = ports.aux.sensors();
    for (int s = 0; s < table.sensorCount(); ++s) {
        const SensorRow row = table.sensor(s);
        sensors.append(QJsonObject{{QStringLiteral("num"), s + 1},
                                   {QStringLiteral("rom"), romText(row)},
                                   {QStringLiteral("register"), row.reg.toInt()}});
    }
    const QJsonObject aux{{QStringLiteral("mode"), auxModeName(ports.aux.mode())},
                          {QStringLiteral("sensors"), sensors}};
    const QJsonObject all{{QStringLiteral("uart1"), portJson(ports.uart1)},
                          {QStringLiteral("uart2"), portJson(ports.uart2)},
                          {QStringLiteral("aux"), aux}};
    return QJsonDocument(all).toJson(QJsonDocument::Indented);
}
