#include "link/qt_serial_line.h"

#include "common/errors.h"
#include "link/device_map.h"

#include <QFileInfo>

QtSerialLine::QtSerialLine(Resolver resolver, QObject *parent)
    : SerialLine(parent), m_resolver(std::move(resolver))
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::received);
    connect(&m_port, &QSerialPort::bytesWritten, this, [this](qint64 bytes) {
        m_pendingBytes -= bytes;
        if (m_pendingBytes <= 0) {
            m_pendingBytes = 0;
            Q_EMIT sent();
        }
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
    // Whatever a chattering peer sends while nobody reads stays within this much memory.
    m_port.setReadBufferSize(ReadBufferBytes);
}

QtSerialLine::~QtSerialLine()
{
    m_port.close();
}

QString QtSerialLine::portName() const
{
    if (!m_byDevice)
        return comName(portNumber());
    return m_device.isEmpty() ? m_resolver(portNumber()) : m_device;
}

QString QtSerialLine::describe() const
{
    const QString device = m_device.isEmpty() ? m_resolver(portNumber()) : m_device;
    const QString com = portName();
    return device == com ? com : QStringLiteral("%1 (%2)").arg(com, device);
}

QString QtSerialLine::describeError(QSerialPort::SerialPortError error, const QString &port,
                                    const QString &device, const QString &systemText)
{
    const QString who = device == port ? port : QStringLiteral("%1 (%2)").arg(port, device);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        // A device given by its path has no COM number to map.
        if (device == port) {
            return QStringLiteral("%1: no such device; check that the cable or USB adapter is "
                                  "plugged in")
                .arg(who);
        }
        return QStringLiteral("%1: no such device; check that the cable or USB adapter is "
                              "plugged in, or map %2 to its device in section [Devices] of set.ini")
            .arg(who, port);
    case QSerialPort::PermissionError: {
        const QFileInfo info(device);
        if (info.exists() && (!info.isReadable() || !info.isWritable())) {
#ifdef Q_OS_WIN
            return QStringLiteral("%1: permission denied").arg(who);
#else
            const QString group = info.group().isEmpty() ? QStringLiteral("dialout") : info.group();
            return QStringLiteral("%1: permission denied; add your user to the %2 group "
                                  "(sudo usermod -aG %2 $USER) and log in again")
                .arg(who, group);
#endif
        }
#ifndef Q_OS_WIN
        // The port's lock file is named after the whole device path; a name longer than a file
        // name may be cannot be made, which looks like a port in use.
        if (QString(device).replace(QLatin1Char('/'), QLatin1Char('_')).toLocal8Bit().size() + 5 >
            255) {
            return QStringLiteral("%1: the device path is too long for the port's lock file; "
                                  "reach the device through a shorter path (a symbolic link)")
                .arg(who);
        }
#endif
        return QStringLiteral("%1: the port is busy; another program is using it").arg(who);
    }
    default:
        break;
    }
    // The others need no more than the port and the platform's own wording (%2).
    static const struct
    {
        QSerialPort::SerialPortError error;
        const char *text;
    } sentences[] = {{QSerialPort::OpenError, "the port is already open"},
                     {QSerialPort::UnsupportedOperationError, "the port refused the settings (%2)"},
                     {QSerialPort::ResourceError, "the device went away"},
                     {QSerialPort::TimeoutError, "the port did not respond in time"},
                     {QSerialPort::NotOpenError, "the port is not open"},
                     {QSerialPort::WriteError, "sending failed (%2)"},
                     {QSerialPort::ReadError, "receiving failed (%2)"}};
    for (const auto &s : sentences) {
        if (s.error == error) {
            const QString text = QStringLiteral("%1: ") + QLatin1String(s.text);
            return text.contains(QLatin1String("%2")) ? text.arg(who, systemText) : text.arg(who);
        }
    }
    return QStringLiteral("%1: %2").arg(who, systemText);
}

void QtSerialLine::open()
{
    if (m_port.isOpen())
        throw PlatformError(describeError(QSerialPort::OpenError, portName(), m_device, QString()));
    m_device = m_resolver(portNumber());
    m_port.setPortName(m_device);
    clearBroken();
    m_pendingBytes = 0;
    if (settings().dataBits < 5 || settings().dataBits > 8) {
        throw PlatformError(QStringLiteral("%1: %2 data bits are not supported by this serial port")
                                .arg(describe())
                                .arg(settings().dataBits));
    }
    if (!m_port.open(QIODevice::ReadWrite)) {
        const auto error = m_port.error();
        const QString text = m_port.errorString();
        m_port.clearError();
        throw PlatformError(describeError(error, portName(), m_device, text));
    }
    try {
        applySettings();
    } catch (...) {
        m_port.close();
        throw;
    }
    m_port.clear(QSerialPort::AllDirections);
}

void QtSerialLine::settingsChanged()
{
    if (m_port.isOpen())
        applySettings();
}

namespace {
// A pseudo-terminal (the simulated PLC) has no wire: the kernel forces it to 8 bits without
// parity and refuses anything else, so there is nothing to apply beyond the speed.
bool isPseudoTerminal(const QString &device)
{
    return QFileInfo(device).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
}
} // namespace

void QtSerialLine::applySettings()
{
    const LineSettings &s = settings();
    if (isPseudoTerminal(m_device))
        return;
    bool ok = m_port.setBaudRate(s.baudRate);
    QString what = QStringLiteral("speed %1").arg(s.baudRate);
    if (ok) {
        ok = m_port.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits));
        what = QStringLiteral("%1 data bits").arg(s.dataBits);
    }
    if (ok) {
        static const QSerialPort::Parity parities[] = {
            QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
            QSerialPort::MarkParity, QSerialPort::SpaceParity};
        ok = m_port.setParity(parities[static_cast<int>(s.parity)]);
        what = QStringLiteral("this parity");
    }
    if (ok) {
        static const QSerialPort::StopBits stops[] = {
            QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
        ok = m_port.setStopBits(stops[static_cast<int>(s.stopBits)]);
        what = s.stopBits == LineSettings::StopBits::OneAndHalf ? QStringLiteral("1.5 stop bits")
                                                                : QStringLiteral("these stop bits");
    }
    if (ok)
        ok = m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        const QString text = m_port.errorString();
        m_port.clearError();
        throw PlatformError(QStringLiteral("%1: the port refused %2 in the settings %3 (%4)")
                                .arg(describe(), what, s.text(), text));
    }
}

void QtSerialLine::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_pendingBytes = 0;
}

bool QtSerialLine::isOpen() const
{
    return m_port.isOpen();
}

void QtSerialLine::send(const QByteArray &bytes)
{
    if (!m_port.isOpen()) {
        throw PlatformError(brokenReason().isEmpty()
                                ? QStringLiteral("%1: the port is not open").arg(describe())
                                : brokenReason());
    }
    m_pendingBytes += bytes.size();
    if (m_port.write(bytes) != bytes.size()) {
        const QString text = m_port.errorString();
        throw PlatformError(describeError(QSerialPort::WriteError, portName(), m_device, text));
    }
}

QByteArray QtSerialLine::takeReceived()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

void QtSerialLine::onError(QSerialPort::SerialPortError error)
{
    // Errors of open() and of the setters are raised where they happen; this reports a port
    // that breaks while in use. A read or write that fails on an open port is the device (or the
    // peer of a pseudo-terminal) going away, whatever the system calls it at that moment. The
    // port is closed at once so a dead device is never polled.
    if (!m_port.isOpen() || error == QSerialPort::NoError)
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError)
        return;
    const QString text =
        describeError(QSerialPort::ResourceError, portName(), m_device, m_port.errorString());
    m_port.clearError();
    m_port.close();
    reportBroken(text);
}
