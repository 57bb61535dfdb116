#pragma once

#include "common/result.h"
#include "modbus/port_word.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <QCoroTask>

class ModbusPort;
struct ModbusPortInfo;
class PlcLink;
class Prompts;

// What an upload read from the PLC, decoded: the port word, and the slave rows in master mode.
struct UploadedPort
{
    PortWord word;
    QList<QStringList> rows;
};

// Replaces what the port holds by what was uploaded: master sets mode, speed, parity and the
// whole slave table; slave sets mode, speed, parity and the own address; "Not use" only the mode.
void applyUploadedPort(ModbusPort &port, const UploadedPort &uploaded);

// "Upload from PLC" of a Modbus port: reads the port word and, in master mode, every slave
// record. A missing answer shows "Answer timeout from PLC", a word the port cannot hold names the
// word; both end with PlcFailed and nothing. Applies set.ini to the line first and closes it
// before anything is shown. Throws PlatformError for a failing port.
QCoro::Task<Result<UploadedPort>> uploadModbusPort(PlcLink &link, QString iniPath, Prompts &prompts,
                                                   const ModbusPortInfo &port);
