#include "link/device_map.h"

#include "common/errors.h"
#include "link/ini_file.h"
#include "link/serial_devices.h"

#include <QHash>

namespace {
QHash<int, QString> &overrides()
{
    static QHash<int, QString> map;
    return map;
}
} // namespace

QString comName(int comNumber)
{
    return QStringLiteral("COM%1").arg(comNumber);
}

void setComOverride(int comNumber, const QString &device)
{
    if (device.isEmpty())
        overrides().remove(comNumber);
    else
        overrides().insert(comNumber, device);
}

namespace {

// With strict, a set.ini that cannot be read, or whose entry cannot be used, stops the caller
// with the reason; otherwise it maps nothing.
ComMapping mapping(int comNumber, const QString &iniPath, bool strict)
{
    ComMapping m;
    if (const auto it = overrides().constFind(comNumber); it != overrides().constEnd()) {
        m.device = *it;
        m.fromOverride = true;
        return m;
    }
#ifdef Q_OS_WIN
    Q_UNUSED(iniPath);
    Q_UNUSED(strict);
    m.device = comName(comNumber);
    return m;
#else
    QString fromIni;
    try {
        fromIni = Read_ini(iniPath, QStringLiteral("Devices"), comName(comNumber), QString());
    } catch (const PlatformError &) {
        if (strict)
            throw;
    }
    if (!fromIni.isEmpty()) {
        m.device = fromIni;
        m.fromIni = true;
        return m;
    }
    const int index = comNumber - 1;
    for (const char *stem : {"/dev/ttyUSB", "/dev/ttyACM"}) {
        const QString candidate = QLatin1String(stem) + QString::number(index);
        if (!deviceTarget(candidate).isEmpty()) {
            m.device = candidate;
            return m;
        }
    }
    m.device = QStringLiteral("/dev/ttyS%1").arg(index);
    return m;
#endif
}

} // namespace

ComMapping mapComNumber(int comNumber, const QString &iniPath)
{
    return mapping(comNumber, iniPath, false);
}

QString comDevice(int comNumber, const QString &iniPath)
{
    return mapping(comNumber, iniPath, true).device;
}
