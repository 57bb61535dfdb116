#pragma once

#include "common/result.h"
#include "onewire/sensor_table.h"

#include <QList>
#include <QString>

#include <QCoroTask>

class PlcLink;
class Prompts;

// A search of the PLC's 1-wire bus: applies set.ini to the link, writes the start word 8001 to
// 2000, reads 3000 once (the PLC is still busy; the answer is not used), waits 3500 ms while the
// PLC searches, reads the count found at 3000 and the ROM codes at 3002 in pieces of 8 sensors.
// Brings back the ROM codes found as hex texts, Byte 0 first (none when none were found). A
// refused or unanswered request shows its message and ends with PlcFailed. Platform failures are
// thrown (PlatformError); the line is closed in every case.
QCoro::Task<Result<QList<RomTexts>>> searchOnewireBus(PlcLink &link, QString iniPath,
                                                      Prompts &prompts);
// Bytes of one ROM code found, at 3002 and on.
constexpr int RomCodeBytes = 8;

// How the sensors found are copied into the sensor table.
enum class SensorImport {
    Append,  // after the table's sensors, registers from the last one + 2 (or from the start)
    Replace, // instead of them, registers from the start address
};

// Copies the ROM codes into the table with registers numbered in steps of 2 and renumbers Num.
// startAddress is used for Replace, and for Append to an empty table. A start address or last
// register that is not a 16-bit decimal number, or registers that would pass 32767, throw
// InputError naming the value, before anything is changed. With nothing found the table is only
// renumbered.
void importFoundSensors(SensorTable &table, const QList<RomTexts> &found, SensorImport how,
                        const QString &startAddress);

// What the status bar says after "Add new in the table" when sensors found were in the table
// already (they are appended all the same): "3 of the 5 found were already in rows 1 to 3".
// before: the table's sensors before the append. Empty when none was there.
QString alreadyInTableNote(const QList<SensorRow> &before, const QList<RomTexts> &found);
