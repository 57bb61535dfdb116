#include "link/device_map.h"

#include "common/errors.h"
#include "link/ini_file.h"
#include "link/network_address.h"
#include "link/serial_devices.h"

#include <QHash>

namespace {

struct Override
{
    QString device;
    bool simulated = false;
};

QHash<int, Override> &overrides()
{
    static QHash<int, Override> map;
    return map;
}

struct Simulation
{
    SimulatedPlcFactory factory;
    std::unique_ptr<SimulatedPlc> plc;
    bool inUse = false; // the COM numbers lead to it
};

Simulation &simulation()
{
    static Simulation s;
    return s;
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
        overrides().insert(comNumber, {device, false});
}

void clearComOverrides()
{
    overrides().clear();
    simulation().inUse = false;
    simulation().plc.reset();
}

void setSimulatedPlcFactory(SimulatedPlcFactory factory)
{
    if (!factory)
        clearComOverrides();
    simulation().factory = std::move(factory);
}

bool simulatedPlcOffered()
{
    return bool(simulation().factory);
}

QString simulatedPlcDevice()
{
    Simulation &s = simulation();
    if (!s.plc) {
        if (!s.factory)
            throw PlatformError(QStringLiteral("This build has no simulated PLC"));
        s.plc = s.factory();
    }
    return s.plc->devicePath();
}

void useSimulatedPlc()
{
    const QString device = simulatedPlcDevice();
    overrides().clear();
    for (int com = 1; com <= 10; ++com)
        overrides().insert(com, {device, true});
    simulation().inUse = true;
}

bool simulatedPlcInUse()
{
    return simulation().inUse;
}

namespace {

// With strict, a set.ini that cannot be read, or whose entry cannot be used, stops the caller
// with the reason; otherwise it maps nothing.
ComMapping mapping(int comNumber, const QString &iniPath, bool strict)
{
    ComMapping m;
    if (const auto it = overrides().constFind(comNumber); it != overrides().constEnd()) {
        m.device = it->device;
        m.fromOverride = true;
        m.simulated = it->simulated;
        return m;
    }
    QString fromIni;
    try {
        fromIni = Read_ini(iniPath, QStringLiteral("Devices"), comName(comNumber), QString());
    } catch (const CommandError &) {
        if (strict)
            throw;
    }
#ifdef Q_OS_WIN
    // COMn is a device of its own name: only a serial server can stand behind it.
    if (!NetworkAddress::looksLikeOne(fromIni))
        fromIni.clear();
#endif
    if (!fromIni.isEmpty()) {
        m.device = fromIni;
        m.fromIni = true;
        return m;
    }
#ifdef Q_OS_WIN
    m.device = comName(comNumber);
    return m;
#else
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
