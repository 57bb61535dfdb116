#include "link/device_map.h"

#include "common/errors.h"
#include "link/ini_file.h"

#include <QFileInfo>
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

ComMapping mapComNumber(int comNumber, const QString &iniPath)
{
    ComMapping m;
    if (const auto it = overrides().constFind(comNumber); it != overrides().constEnd()) {
        m.device = *it;
        m.fromOverride = true;
        return m;
    }
#ifdef Q_OS_WIN
    Q_UNUSED(iniPath);
    m.device = comName(comNumber);
    return m;
#else
    QString fromIni;
    try {
        fromIni = Read_ini(iniPath, QStringLiteral("Devices"), comName(comNumber), QString());
    } catch (const PlatformError &) {
        // A set.ini that cannot be read maps nothing; a transfer reports it when it reads the
        // port settings.
    }
    if (!fromIni.isEmpty()) {
        m.device = fromIni;
        m.fromIni = true;
        return m;
    }
    const int index = comNumber - 1;
    for (const char *stem : {"/dev/ttyUSB", "/dev/ttyACM"}) {
        const QString candidate = QLatin1String(stem) + QString::number(index);
        if (QFileInfo::exists(candidate)) {
            m.device = candidate;
            return m;
        }
    }
    m.device = QStringLiteral("/dev/ttyS%1").arg(index);
    return m;
#endif
}

QString comDevice(int comNumber, const QString &iniPath)
{
    return mapComNumber(comNumber, iniPath).device;
}
