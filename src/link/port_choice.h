#pragma once

#include <QString>

#include <optional>

// What a user may name as the PLC's port, typed into the COM-port dialog's port box or given
// with --port: a COM number, a device path, or the simulated PLC built into the program. Every
// place that reads such a text goes through parsePortText, so new kinds of port are added here.
struct PortChoice
{
    enum class Kind { Com, Device, Simulated };
    Kind kind = Kind::Com;
    int comNumber = 1; // Kind::Com: 1 to 10
    QString device;    // Kind::Device: "/dev/ttyUSB0", "/dev/serial/by-id/...", "\\.\COM12"

    static PortChoice com(int number) { return {Kind::Com, number, {}}; }
    static PortChoice path(const QString &device) { return {Kind::Device, 0, device}; }
    static PortChoice simulated() { return {Kind::Simulated, 0, {}}; }

    // How the port box shows it: "COM3", the device path, "Simulated PLC".
    QString text() const;
    friend bool operator==(const PortChoice &, const PortChoice &) = default;
};

// The text the port box shows for the simulated PLC.
QString simulatedPlcText();

// "COM1" to "COM10" (any case, blanks around ignored), a device path (it holds a / or a \), or
// the simulated PLC's text; nothing for anything else (see portTextProblem).
std::optional<PortChoice> parsePortText(const QString &text);

// Why parsePortText took nothing from the text, as a sentence for the user.
QString portTextProblem(const QString &text);
