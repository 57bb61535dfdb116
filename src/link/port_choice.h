#pragma once

#include "link/network_address.h"

#include <QString>

#include <optional>

// What a user may name as the PLC's port, typed into the COM-port dialog's port box or given
// with --port: a COM number, a device path, a serial server on the network, or the simulated PLC
// built into the program. Every place that reads such a text goes through parsePortText, so new
// kinds of port are added here.
struct PortChoice
{
    enum class Kind { Com, Device, Simulated, Network };
    Kind kind = Kind::Com;
    int comNumber = 1;      // Kind::Com: 1 to 10
    QString device;         // Kind::Device: "/dev/ttyUSB0", "/dev/serial/by-id/...", "\\.\COM12"
    NetworkAddress address; // Kind::Network: "rfc2217://10.0.0.5:4001", "tcp://plc-hall:4002"

    static PortChoice com(int number) { return {Kind::Com, number, {}, {}}; }
    static PortChoice path(const QString &device) { return {Kind::Device, 0, device, {}}; }
    static PortChoice simulated() { return {Kind::Simulated, 0, {}, {}}; }
    static PortChoice network(const NetworkAddress &address)
    {
        return {Kind::Network, 0, {}, address};
    }

    // A device path or a network address: what stands behind a COM number in set.ini [Devices]
    // or for this run. Empty for a COM number and the simulated PLC.
    QString target() const;

    // How the port box shows it: "COM3", the device path, the address, "Simulated PLC".
    QString text() const;
    friend bool operator==(const PortChoice &, const PortChoice &) = default;
};

// The text the port box shows for the simulated PLC.
QString simulatedPlcText();

// "COM1" to "COM10" (any case, blanks around ignored), rfc2217://HOST:PORT or tcp://HOST:PORT,
// a device path (it holds a / or a \), or the simulated PLC's text; nothing for anything else
// (see portTextProblem). A text that starts like a network address ("scheme://") but is not a
// sound one is never taken for a device path.
std::optional<PortChoice> parsePortText(const QString &text);

// Why parsePortText took nothing from the text, as a sentence for the user.
QString portTextProblem(const QString &text);
