#pragma once

#include "link/line_settings.h"
#include "project/project_file.h"

#include <QStringList>

// A configuration written as lines, for tables of test cases:
//   "uart1: 1,10,0,100,1,500"   a slave row (Address, Num word, Address slave, Address master,
//                               Function, Timeout); the port becomes a master
//   "uart2 9600 Even"           the port's speed and parity; "uart1 slave": slave mode
//   "sensor: 28FF641E0F000034 1500"   a sensor; the auxiliary port becomes a 1-wire master
// Ports start at 115200 bit/s, no parity, 8 data bits, 1 stop bit, slave-mode address 1.
inline void applyRecipe(const ProjectPorts &ports, const QStringList &lines)
{
    for (ModbusPort *port : {&ports.uart1, &ports.uart2}) {
        port->setBitNumber(1);
        port->setStopBit(0);
        port->setSlaveAddress(QStringLiteral("1"));
    }
    QList<SensorRow> sensors;
    for (const QString &line : lines) {
        const QStringList words = line.section(':', 0, 0).split(' ');
        const QString body = line.section(':', 1).trimmed();
        ModbusPort &port = words[0] == "uart1" ? ports.uart1 : ports.uart2;
        if (words[0] == "sensor") {
            sensors.append({{}, body.section(' ', 1)});
            for (int b = 0; b < 8; ++b)
                sensors.last().rom[size_t(b)] = body.mid(2 * b, 2);
        } else if (words.value(1) == "slave") {
            port.setMode(PortMode::Slave);
        } else if (words.size() == 3) {
            port.setSpeed(int(LineChoices::speeds().indexOf(words[1])));
            port.setParity(int(PortLists::parities().indexOf(words[2])));
        } else {
            port.slaves().appendItem(QStringList{QString()} + body.split(','));
            if (port.mode() == PortMode::NotUse)
                port.setMode(PortMode::Master);
        }
    }
    ports.aux.sensors().setSensors(sensors);
    if (!sensors.isEmpty())
        ports.aux.setMode(AuxMode::OnewireMaster);
}
