#pragma once

#include "link/serial_line.h"

#include <QSerialPort>

#include <functional>

// A SerialLine on a real serial device (or a pty) through QSerialPort. The COM number is turned
// into a device by the given resolver, so that set.ini's mapping is read at every open.
class QtSerialLine final : public SerialLine
{
    Q_OBJECT
public:
    using Resolver = std::function<QString(int comNumber)>;
    explicit QtSerialLine(Resolver resolver, QObject *parent = nullptr);
    ~QtSerialLine() override;

    QString describe() const override;
    // The port was chosen by its device path, not by a COM number: messages name the device
    // alone.
    void nameByDevice() { m_byDevice = true; }
    void open() override;
    void close() override;
    bool isOpen() const override;
    void send(const QByteArray &bytes) override;
    QByteArray takeReceived() override;

    // The sentence shown for a port error, in one place: which port, which device, why, and
    // what to do about it. systemText is the platform's own wording, used when nothing better
    // is known.
    static QString describeError(QSerialPort::SerialPortError error, const QString &port,
                                 const QString &device, const QString &systemText);

protected:
    void settingsChanged() override;

private:
    static constexpr qint64 ReadBufferBytes = 64 * 1024;
    void applySettings();
    // What messages call the port: its COM name, or its device when chosen by that.
    QString portName() const;
    void onError(QSerialPort::SerialPortError error);

    Resolver m_resolver;
    QSerialPort m_port;
    QString m_device;
    qint64 m_pendingBytes = 0;
    bool m_byDevice = false;
};
