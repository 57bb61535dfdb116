#pragma once

#include "common/outcome.h"
#include "common/result.h"
#include "link/transfer_steps.h"
#include "onewire/aux_encoding.h"

#include <QString>

class Prompts;

// "Write to PLC" of the auxiliary port: applies set.ini to the link, asks for confirmation,
// checks the sensor table (whatever the mode), then sends the mode word and, for 1-wire master,
// the sensor area in pieces of 64 bytes inside the configuration bracket. Field Net is one write
// without the bracket. A refusal or silence stops at once with its message. Platform failures
// are thrown (PlatformError; InputError for Field Net list indexes outside their lists). The report
// is filled as the write goes, as writeModbusPort fills it.
//
// The checks of "Write to PLC" alone, for checking a whole project before anything is sent: the
// sensor table's (whatever the mode), and the Field Net lists. Shows the first fault's message
// and gives Invalid, or Done; InputError for Field Net list indexes outside their lists.
Outcome checkAuxPort(const AuxPortConfig &config, Prompts &prompts);

QCoro::Task<> writeAuxPort(PlcLink &link, QString iniPath, Prompts &prompts,
                           const AuxPortConfig &config, WriteReport &report,
                           Confirmation confirmation = Confirmation::Ask);

// What an upload read from the PLC: the mode word decoded, and the sensors of a 1-wire master.
struct UploadedAux
{
    AuxWord word;
    QList<SensorRow> sensors;
};

// Replaces what the port holds: the mode, the Field Net lists when the PLC is in Field Net mode
// (otherwise they stay as they were), and the sensors (none unless 1-wire master).
void applyUploadedAux(AuxPort &port, const UploadedAux &uploaded);

// "Upload from PLC" of the auxiliary port: reads the mode word and, for 1-wire master, the
// sensor area. A missing answer shows "Answer timeout from PLC", a mode word naming more sensors
// than the area holds names the word; both end with PlcFailed and nothing.
QCoro::Task<Result<UploadedAux>> uploadAuxPort(PlcLink &link, QString iniPath, Prompts &prompts);
