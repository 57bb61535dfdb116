#pragma once

#include "link/device_map.h"

// Stands for the program's simulated PLC: a fixed device name, counting how many are running.
class CountedPlc final : public SimulatedPlc
{
public:
    explicit CountedPlc(int &running) : m_running(++running) {}
    ~CountedPlc() override { --m_running; }
    QString devicePath() const override { return QStringLiteral("/dev/pts/sim"); }

private:
    int &m_running;
};
