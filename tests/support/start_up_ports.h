#pragma once

#include "modbus/modbus_port.h"
#include "onewire/aux_port.h"
#include "project/project_file.h"

#include <QTemporaryDir>

// The three ports of a window after start-up, with the folder of their set.ini.
struct StartUpPorts
{
    QTemporaryDir dir;
    ModbusPort uart1{ModbusPortInfo::uart1()};
    ModbusPort uart2{ModbusPortInfo::uart2()};
    AuxPort aux;
    StartUpPorts()
    {
        uart1.setStartUpValues(dir.filePath(QStringLiteral("set.ini")));
        uart2.setStartUpValues(dir.filePath(QStringLiteral("set.ini")));
    }
    ProjectPorts ports() { return {uart1, uart2, aux}; }
};
