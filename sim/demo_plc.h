#pragma once

#include "sim/plc_model.h"

#include <QList>

namespace sim {

// The ROM codes on the demo PLC's 1-wire bus; the first three are also in its sensor table.
QList<RomCode> demoBusSensors();

// Gives a PLC something to show: sensors on the bus, both UARTs as Modbus masters with their
// slaves, the auxiliary port as 1-wire master with three sensors, and entries in every error
// buffer.
void fillDemoPlc(PlcModel &model);

} // namespace sim
