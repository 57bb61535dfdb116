#include "link/serial_line.h"

#include "common/errors.h"
#include "link/device_map.h"

void SerialLine::setPortNumber(int number)
{
    if (isOpen()) {
        throw PlatformError(
            QStringLiteral("%1: the port number cannot be changed while the port is open")
                .arg(describe()));
    }
    if (number < 1 || number > 255)
        throw PlatformError(QStringLiteral("Invalid port number %1").arg(number));
    if (!m_portPinned)
        m_portNumber = number;
}

void SerialLine::setSettings(const QString &text)
{
    if (m_settingsPinned)
        return;
    m_settings = LineSettings::parse(text);
    settingsChanged();
}

void SerialLine::pinSettings(const QString &text)
{
    m_settingsPinned = false;
    setSettings(text);
    m_settingsPinned = true;
}

void SerialLine::pinPortNumber(int number)
{
    m_portPinned = false;
    setPortNumber(number);
    m_portPinned = true;
}

QString SerialLine::describe() const
{
    return comName(m_portNumber);
}

void SerialLine::reportBroken(const QString &description)
{
    m_brokenReason = description;
    Q_EMIT failed(description);
}
