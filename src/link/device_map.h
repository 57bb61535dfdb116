#pragma once

#include <QString>

// COM numbers to serial devices. On Windows COMn is the device itself. Elsewhere the optional
// section "Devices" of set.ini maps a number to a device (COM1=/dev/ttyUSB0); without an entry
// COMn is /dev/ttyUSB{n-1} when that exists, else /dev/ttyACM{n-1} when that exists, else
// /dev/ttyS{n-1}. What opens a port: a set.ini that cannot be read, or a [Devices] entry holding a
// NUL, is an error (PlatformError) rather than a silent fallback.
QString comDevice(int comNumber, const QString &iniPath);

// Where the COM number's device came from, for the user: "set.ini", "default". For showing only:
// a set.ini that cannot be read maps nothing here.
struct ComMapping
{
    QString device;
    bool fromIni = false;
    bool fromOverride = false;
};
ComMapping mapComNumber(int comNumber, const QString &iniPath);

// Maps a COM number to a device for this run only, before set.ini is asked (the demo's simulated
// PLC). An empty device removes the mapping.
void setComOverride(int comNumber, const QString &device);

// "COM3"
QString comName(int comNumber);
