#include "link/serial_devices.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>

namespace {

std::function<QList<SerialDevice>()> &source()
{
    static std::function<QList<SerialDevice>()> chosen;
    return chosen;
}

std::function<QString(const QString &)> &targetSource()
{
    static std::function<QString(const QString &)> chosen;
    return chosen;
}

QList<SerialDevice> systemSerialDevices()
{
    // The udev links name a device by its maker, product and serial number.
    QHash<QString, QString> byId;
    const QDir links(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link :
         links.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        byId.insert(link.canonicalFilePath(), link.absoluteFilePath());

    QList<SerialDevice> devices;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString location = port.portName();
#else
        const QString location = port.systemLocation();
#endif
        devices << SerialDevice{location, byId.value(QFileInfo(location).canonicalFilePath()),
                                port.manufacturer(), port.description(), port.serialNumber()};
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice &a, const SerialDevice &b) { return a.location < b.location; });
    return devices;
}

} // namespace

bool SerialDevice::isNamedBy(const QString &path) const
{
    if (path == location || (!stableName.isEmpty() && path == stableName))
        return true;
    const QString canonical = deviceTarget(path);
    return !canonical.isEmpty() && canonical == deviceTarget(location);
}

QString SerialDevice::details() const
{
    QStringList parts;
    if (!product.isEmpty())
        parts << product;
    if (!maker.isEmpty())
        parts << maker;
    if (!serialNumber.isEmpty())
        parts << QStringLiteral("serial ") + serialNumber;
    return parts.join(QStringLiteral(", "));
}

QList<SerialDevice> serialDevicesStableFirst()
{
    QList<SerialDevice> devices = serialDevices();
    std::stable_partition(devices.begin(), devices.end(),
                          [](const SerialDevice &d) { return !d.stableName.isEmpty(); });
    return devices;
}

QList<SerialDevice> serialDevices()
{
    return source() ? source()() : systemSerialDevices();
}

void setSerialDeviceSource(std::function<QList<SerialDevice>()> chosen)
{
    source() = std::move(chosen);
}

QString deviceTarget(const QString &path)
{
    return targetSource() ? targetSource()(path) : QFileInfo(path).canonicalFilePath();
}

void setDeviceTargetSource(std::function<QString(const QString &)> chosen)
{
    targetSource() = std::move(chosen);
}

bool isPseudoTerminal(const QString &path)
{
    return deviceTarget(path).startsWith(QLatin1String("/dev/pts/"));
}
