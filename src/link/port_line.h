#pragma once

#include "link/serial_line.h"

#include <chrono>
#include <functional>
#include <optional>

// What tells two targets apart: a device by the file it leads to, a server by host and port, so
// a by-id name and the device it links to, or rfc2217:// and tcp:// to one server, are one port.
QString targetIdentity(const QString &target);

// The PLC's port as the program opens it: at every opening the COM number leads (through set.ini
// [Devices], or what was given for this run) to a serial device, opened through QSerialPort, or
// to a serial server on the network (rfc2217://, tcp://). The port number, the settings and the
// signals pass through to the line opened, so the link sees one line whatever stands behind it.
class PortLine final : public SerialLine
{
    Q_OBJECT
public:
    // The device path or network address a COM number leads to; asked at every opening.
    using Resolver = std::function<QString(int comNumber)>;
    explicit PortLine(Resolver resolver, QObject *parent = nullptr);
    ~PortLine() override;

    // The port was given by its device path or address, not by a COM number: messages name that
    // alone.
    void nameByDevice() { m_byDevice = true; }
    // How long a serial server may take to connect and agree the settings.
    void setOpeningLimit(std::chrono::milliseconds limit);
    // Who holds the port while this line has it open, as another line of the program that is
    // refused it is told: "the production window". A device or server is held by one line of
    // the program at a time, whatever COM number or name leads to it.
    void setHolder(const QString &holder) { m_holder = holder; }

    QString describe() const override;
    void open() override;
    void close() override;
    bool isOpen() const override;
    bool opening() const override;
    void send(const QByteArray &bytes) override;
    QByteArray takeReceived() override;
    void discardPending() override;

protected:
    void settingsChanged() override;

private:
    // The line for a device or a sound address: the one in use while it leads there still, else
    // a new one of the kind the target needs. Takes this line's port number and settings when
    // closed.
    SerialLine &lineFor(const QString &target) const;
    // A network address that is no sound one, said for this port; empty for anything else.
    QString targetProblem(const QString &target) const;
    bool inUse() const { return m_line && (m_line->isOpen() || m_line->opening()); }
    void release();

    Resolver m_resolver;
    bool m_byDevice = false;
    std::optional<std::chrono::milliseconds> m_openingLimit;
    QString m_holder;
    QString m_claim; // the device or server this line holds, while it does
    // Made when first needed, describe() included; a child, so it never outlives this line.
    mutable SerialLine *m_line = nullptr;
    mutable QString m_target;
};
