#pragma once

#include "link/serial_devices.h"

#include <QList>
#include <QString>

#include <memory>

class PortLine;

// A port of the production station: where one PLC of a batch is plugged in.
struct StationPort
{
    QString name;        // as the port box takes it: "COM3", a device path, "rfc2217://HOST:PORT"
    bool checked = true; // written by "Write all"
    QString line;        // line settings of its own ("115200,E,8,1"); empty: section "COM"'s
    QString details;     // what the system knows of the device (maker, serial number); not kept
    friend bool operator==(const StationPort &, const StationPort &) = default;
};

// Section "Production" of set.ini: Ports=N, then Port1=NAME, Port1Checked=1 or 0, Port1Line=
// settings or empty, for each port. One key a port: a list in one value would be cut at set.ini's
// value limit. Log=FILE names the record of units.
QList<StationPort> readStationPorts(const QString &iniPath);
// Throws PlatformError with the reason when set.ini cannot be written.
void writeStationPorts(const QString &iniPath, const QList<StationPort> &ports);

// The record of units: set.ini's Log, or units.jsonl in the user's data folder.
QString productionLogPath(const QString &iniPath);
void writeProductionLogPath(const QString &iniPath, const QString &path);

// What the station offers: its ports as kept, then the serial devices found (by their stable
// names) and the COM numbers set.ini maps, each once and unchecked, with what the system knows
// of each device. Two names of one device are one port.
QList<StationPort> offeredPorts(const QList<StationPort> &kept, const QList<SerialDevice> &devices,
                                const QString &iniPath);

// The same port whatever it is called: a COM number by where set.ini leads it, a device by the file
// it leads to, a serial server by host and TCP port.
QString portIdentity(const QString &name, const QString &iniPath);

// The line to a station port: a COM number led where set.ini maps it, a device or server by its
// name alone; the port's own line settings stay in force over section "COM"'s, which rule
// otherwise. InputError for a name that is no station port.
std::unique_ptr<PortLine> stationLine(const StationPort &port, const QString &iniPath);
