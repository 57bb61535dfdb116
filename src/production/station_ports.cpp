#include "production/station_ports.h"

#include "common/errors.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/line_settings.h"
#include "link/port_choice.h"
#include "link/port_line.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString Section = QStringLiteral("Production");

QString key(int number, const char *what)
{
    return QStringLiteral("Port%1%2").arg(number).arg(QLatin1String(what));
}

} // namespace

QList<StationPort> readStationPorts(const QString &iniPath)
{
    const int count =
        std::clamp(readIniPosition(iniPath, Section, QStringLiteral("Ports"), 1000), 0, 999);
    QList<StationPort> ports;
    for (int n = 1; n <= count; ++n) {
        StationPort port;
        port.name = Read_ini(iniPath, Section, key(n, ""), QString());
        // A hand-edited entry that names no port is dropped rather than offered broken.
        if (!parsePortText(port.name))
            continue;
        port.checked = Read_ini(iniPath, Section, key(n, "Checked"), QStringLiteral("1")) !=
                       QLatin1String("0");
        port.line = Read_ini(iniPath, Section, key(n, "Line"), QString());
        try {
            if (!port.line.isEmpty())
                LineSettings::parse(port.line);
        } catch (const PlatformError &) {
            port.line.clear();
        }
        ports << port;
    }
    return ports;
}

void writeStationPorts(const QString &iniPath, const QList<StationPort> &ports)
{
    const int before = readStationPorts(iniPath).size();
    for (int n = 1; n <= ports.size(); ++n) {
        const StationPort &port = ports[n - 1];
        Write_ini(iniPath, Section, key(n, ""), port.name);
        Write_ini(iniPath, Section, key(n, "Checked"), port.checked ? "1" : "0");
        Write_ini(iniPath, Section, key(n, "Line"), port.line);
    }
    // Ports removed leave no name behind that a later, longer list would bring back.
    for (int n = int(ports.size()) + 1; n <= before; ++n)
        Write_ini(iniPath, Section, key(n, ""), QString());
    Write_ini(iniPath, Section, QStringLiteral("Ports"), QString::number(ports.size()));
}

QString productionLogPath(const QString &iniPath)
{
    const QString kept = Read_ini(iniPath, Section, QStringLiteral("Log"), QString());
    if (!kept.isEmpty())
        return kept;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("units.jsonl"));
}

void writeProductionLogPath(const QString &iniPath, const QString &path)
{
    Write_ini(iniPath, Section, QStringLiteral("Log"), path);
}

QString portIdentity(const QString &name, const QString &iniPath)
{
    const auto choice = parsePortText(name);
    QString target = name;
    if (choice && choice->kind == PortChoice::Kind::Com) {
        try {
            target = comDevice(choice->comNumber, iniPath);
        } catch (const CommandError &) {
            return choice->text();
        }
    }
    return targetIdentity(target);
}

QList<StationPort> offeredPorts(const QList<StationPort> &kept, const QList<SerialDevice> &devices,
                                const QString &iniPath)
{
    QList<StationPort> out;
    QStringList seen;
    auto add = [&](StationPort port) {
        const QString id = portIdentity(port.name, iniPath);
        if (seen.contains(id))
            return;
        seen << id;
        out << port;
    };
    for (const StationPort &port : kept)
        add(port);
    for (const SerialDevice &device : devices)
        add({device.mappingName(), false, {}, {}});
    for (int n = 1; n <= 10; ++n) {
        if (mapComNumber(n, iniPath).fromIni)
            add({comName(n), false, {}, {}});
    }
    // What the system knows of a device, whichever name the port goes by.
    for (StationPort &port : out) {
        const QString id = portIdentity(port.name, iniPath);
        for (const SerialDevice &device : devices) {
            if (device.isNamedBy(port.name) || portIdentity(device.location, iniPath) == id)
                port.details = device.details();
        }
    }
    return out;
}

std::unique_ptr<PortLine> stationLine(const StationPort &port, const QString &iniPath)
{
    const auto choice = parsePortText(port.name);
    if (!choice || choice->kind == PortChoice::Kind::Simulated)
        throw InputError(QStringLiteral("%1 is no port of the station").arg(port.name));
    const QString device = choice->target();
    auto line = std::make_unique<PortLine>(
        [iniPath, device](int n) { return device.isEmpty() ? comDevice(n, iniPath) : device; });
    if (choice->kind == PortChoice::Kind::Com) {
        line->pinPortNumber(choice->comNumber);
    } else {
        line->pinPortNumber(1);
        line->nameByDevice();
    }
    if (!port.line.isEmpty())
        line->pinSettings(port.line);
    return line;
}
