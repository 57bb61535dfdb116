#pragma once

#include "link/ini_file.h"
#include "link/plc_link.h"
#include "sim/sim_line.h"
#include "support/fake_clock.h"
#include "support/frames.h"
#include "support/scripted_prompts.h"

#include <QTemporaryDir>

// What a transfer test stands on: a clock of its own, the simulated PLC on its line and link,
// prompts that answer from a script, and a folder for set.ini.
struct Bench
{
    FakeClock clock; // first made, last gone: the line's timers refer to it
    QTemporaryDir dir;
    FrameTap tap;
    sim::SimulatedLine line{clock};
    PlcLink link{line, clock, tap};
    ScriptedPrompts prompts;

    sim::PlcModel &plc() { return line.model(); }
    QString ini() const { return dir.filePath(QStringLiteral("set.ini")); }
    void setIni(const char *section, const char *key, const QString &value)
    {
        Write_ini(ini(), QLatin1String(section), QLatin1String(key), value);
    }
};
