#pragma once

#include "link/plc_link.h"
#include "sim/sim_line.h"
#include "support/fake_clock.h"
#include "support/scripted_prompts.h"

#include <QTemporaryDir>

// What a transfer test stands on: the simulated PLC on its line and link, prompts that answer
// from a script, a clock that does not wait, and a folder for set.ini.
struct Bench
{
    QTemporaryDir dir;
    sim::SimulatedLine line;
    PlcLink link{line};
    ScriptedPrompts prompts;
    FakeClock clock;

    sim::PlcModel &plc() { return line.model(); }
    QString ini() const { return dir.filePath(QStringLiteral("set.ini")); }
};
