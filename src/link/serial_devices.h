#pragma once

#include <QList>
#include <QString>

#include <functional>

// A serial device the system has now, as the COM-port dialog lists it.
struct SerialDevice
{
    QString location;   // "/dev/ttyUSB0"; "COM3" on Windows
    QString stableName; // its /dev/serial/by-id/ link, when it has one
    QString maker;
    QString product;
    QString serialNumber;

    // What a COM number is best mapped to: the by-id name stays with a USB adapter whichever
    // socket it is in.
    QString mappingName() const { return stableName.isEmpty() ? location : stableName; }
    // "FT232R USB UART, FTDI, serial A5": what the system knows of it, empty when nothing.
    QString details() const;
    // Whether path names this device: either name, or a link to one of them.
    bool isNamedBy(const QString &path) const;
};

// The system's serial devices (QSerialPortInfo), sorted by location, each with its by-id name.
// Pseudo-terminals are not among them.
QList<SerialDevice> serialDevices();
// The same, those with a stable name first: that name stays with a USB adapter whichever socket
// it is in, so it is the one to offer first.
QList<SerialDevice> serialDevicesStableFirst();

// Where serialDevices() comes from: the system unless set; an empty function restores it.
void setSerialDeviceSource(std::function<QList<SerialDevice>()> source);

// What a device path leads to (its canonical path, links followed), empty when nothing is there.
// Every question about what /dev holds goes through it.
QString deviceTarget(const QString &path);

// Where deviceTarget() looks: the system's files unless set; an empty function restores them.
void setDeviceTargetSource(std::function<QString(const QString &)> source);

// A pseudo-terminal, or a link to one (the simulated PLC): a serial line with no device behind.
bool isPseudoTerminal(const QString &path);
