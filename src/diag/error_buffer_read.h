#pragma once

#include "common/result.h"
#include "diag/error_buffer.h"

#include <QList>
#include <QString>

#include <QCoroTask>

class PlcLink;
class Prompts;
class TextTable;

// What one read of an error buffer brought back.
struct ErrorBufferReading
{
    // False when the status word says the port keeps no buffer (a Modbus port that is not a
    // master): there is nothing to show.
    bool inUse = false;
    QList<ErrorEntry> entries;
};

// Reads the status word and as many 64-byte blocks as its count needs, and decodes every slot.
// A missing answer shows "Answer timeout from PLC" and ends with PlcFailed. The line gets set.ini's
// settings first and is closed at the end, whatever happens; platform failures are thrown.
QCoro::Task<Result<ErrorBufferReading>>
fetchErrorBuffer(PlcLink &link, QString iniPath, Prompts &prompts, ErrorBufferLayout layout);

// The readers of the diagnostics tabs: fetch, then show in the grid. The grid changes only when
// every answer came and the port keeps a buffer.
QCoro::Task<Outcome> readErrorBuffer(PlcLink &link, QString iniPath, Prompts &prompts,
                                     ErrorBufferLayout layout, TextTable &grid);
// "Read modbus buffer 1" / "Read modbus buffer 2": port 1 or 2.
QCoro::Task<Outcome> Read_modbus_buffer(PlcLink &link, QString iniPath, Prompts &prompts, int port,
                                        TextTable &grid);
// "Read 1-wire buffer".
QCoro::Task<Outcome> Read_onewire_buffer(PlcLink &link, QString iniPath, Prompts &prompts,
                                         TextTable &grid);
