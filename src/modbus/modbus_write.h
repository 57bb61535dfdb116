#pragma once

#include "common/outcome.h"
#include "link/transfer_steps.h"

#include <QString>

class ModbusPort;
class Prompts;

// "Write to PLC" of a Modbus port: asks for confirmation, checks the slave table, then writes
// the port settings word (and in master mode the slave records in 64-byte pieces) inside the
// configuration bracket, and the run-time control word at 2002 after it. Applies set.ini to the
// line first and closes the line at the end, however it ends. Throws PlatformError / InputError
// for a failing port or a cell that does not convert. The report is filled as the write goes
// (frames meant and sent, the bracket), so it also tells how far a write got that a thrown
// failure cut short.
//
// The checks of "Write to PLC" alone, for checking a whole project before anything is sent: the
// slave table's, and in slave mode the address box's. Shows the first fault's message and gives
// Invalid, or Done. Throws InputError for a cell that does not convert.
Outcome checkModbusPort(const ModbusPort &port, Prompts &prompts);

QCoro::Task<> writeModbusPort(PlcLink &link, QString iniPath, Prompts &prompts,
                              const ModbusPort &port, WriteReport &report,
                              Confirmation confirmation = Confirmation::Ask);
