#include "project/config_check.h"

#include "common/hex_text.h"
#include "common/rows_text.h"
#include "common/text_table.h"
#include "modbus/modbus_port.h"
#include "modbus/modbus_timing.h"
#include "modbus/slave_table.h"
#include "onewire/aux_encoding.h"
#include "onewire/aux_port.h"
#include "onewire/rom_code.h"
#include "project/project_file.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

// The slave addresses a Modbus slave may take; 0 is the broadcast.
constexpr int LastSlaveAddress = 247;

QString unitName(bool coils, int count)
{
    return QLatin1String(coils ? "coil" : "register") + QLatin1String(count == 1 ? "" : "s");
}

// Part of the PLC's memory: coils (the bit area) or registers (the D area), first to last.
struct Area
{
    FindingPort port;
    int row;
    bool coils;
    int first;
    int last;

    bool overlaps(const Area &other) const
    {
        return coils == other.coils && first <= other.last && other.first <= last;
    }
    QString text() const
    {
        const QString unit = unitName(coils, last - first + 1);
        if (first == last)
            return QStringLiteral("%1 %2").arg(unit).arg(first);
        return QStringLiteral("%1 %2 %3 %4")
            .arg(unit)
            .arg(first)
            .arg(QLatin1String(last == first + 1 ? "and" : "to"))
            .arg(last);
    }
    // "registers 100 to 109 overlap", "register 100 overlaps".
    QString overlapping() const
    {
        return text() + QLatin1String(first == last ? " overlaps" : " overlap");
    }
    // "row 2" within the port, "UART 1 row 2" from another.
    QString placeFrom(FindingPort from) const
    {
        const QString r = QStringLiteral("row %1").arg(row);
        return from == port ? r : findingPortName(port) + QLatin1Char(' ') + r;
    }
};

QString millisecondsText(double ms)
{
    return QString::number(ms, 'f', ms < 10 ? 1 : 0);
}

class Checker
{
public:
    QList<Finding> findings;

    void warn(FindingPort port, int row, int column, const QString &text)
    {
        findings.append({FindingSeverity::Warning, port, row, column, text});
    }
    void note(FindingPort port, int row, int column, const QString &text)
    {
        findings.append({FindingSeverity::Note, port, row, column, text});
    }

    void modbusPort(const ModbusPort &port, FindingPort which);
    void sensors(const AuxPort &aux);
    void readOverlaps();

private:
    // One slave row; its time on the wire (request and answer) is added to the cycle.
    void slaveRow(const TextTable &table, int row, FindingPort which, const LineSettings &line,
                  double &cycleMs, QHash<quint64, int> &requests);

    QList<Area> m_reads; // what the read requests fill, port by port, row by row
};

void Checker::modbusPort(const ModbusPort &port, FindingPort which)
{
    if (port.mode() != PortMode::Master)
        return;
    const TextTable &table = port.slaves();
    const int rows = table.itemCount();
    if (rows > MaxSlaves) {
        warn(which, 0, -1,
             QStringLiteral("%1 slaves: Write to PLC takes at most %2").arg(rows).arg(MaxSlaves));
    }
    const LineSettings line = modbusPortLine(port);
    double cycleMs = 0;
    QHash<quint64, int> requests;
    for (int row = 1; row <= rows; ++row)
        slaveRow(table, row, which, line, cycleMs, requests);
    if (rows > 0) {
        note(which, 0, -1,
             QStringLiteral("%1 %2, about %3 ms a cycle at %4 bit/s")
                 .arg(rows)
                 .arg(QLatin1String(rows == 1 ? "request" : "requests"))
                 .arg(millisecondsText(cycleMs))
                 .arg(line.baudRate));
    }
}

void Checker::slaveRow(const TextTable &table, int row, FindingPort which, const LineSettings &line,
                       double &cycleMs, QHash<quint64, int> &requests)
{
    using namespace SlaveColumn;
    std::array<qint64, Count> v{};
    bool readable = true;
    for (int c = Address; c < Count; ++c) {
        const auto value = roundHalfEven(table.cell(row - 1, c));
        readable = readable && value.has_value();
        v[size_t(c)] = value.value_or(0);
    }
    const int function = int(v[Function]);
    const bool known = readable && function >= 0 && function <= MaxFunction;

    // The cells a finding below names already; a write's refusal of them is not told twice.
    QList<int> told;
    if (known) {
        const bool read = isReadFunction(function);
        const bool coils = isCoilFunction(function);
        const qint64 address = v[Address], count = v[NumWord];
        if (address == 0 && read) {
            warn(which, row, Address,
                 QStringLiteral("slave address 0 is the broadcast address: no slave answers a "
                                "read sent to it"));
            told << Address;
        } else if (address == 0) {
            note(which, row, Address,
                 QStringLiteral("slave address 0 broadcasts the write: every slave takes it and "
                                "none answers"));
        } else if (address > LastSlaveAddress) {
            warn(which, row, Address,
                 QStringLiteral("slave address %1 is outside 1 to %2, the addresses a Modbus "
                                "slave can have")
                     .arg(address)
                     .arg(LastSlaveAddress));
            told << Address;
        }
        const int limit = modbusQuantityLimit(function);
        if (count == 0) {
            warn(which, row, NumWord,
                 QStringLiteral("a request for no %1: real slaves answer it with an exception")
                     .arg(unitName(coils, 0)));
            told << NumWord;
        } else if (count > limit) {
            warn(which, row, NumWord,
                 QStringLiteral("a %1 of %2 %3 in one request: the Modbus limit is %4, and real "
                                "slaves answer more with an exception")
                     .arg(QLatin1String(read ? "read" : "write"))
                     .arg(count)
                     .arg(unitName(coils, int(count)))
                     .arg(limit));
            told << NumWord;
        }

        // Counts and addresses beyond 16 bits are refused below; they have no wire time or area.
        const bool sixteenBits = count >= 0 && count <= 0xFFFF;
        if (sixteenBits) {
            const double requestMs = modbusFrameMs(line, modbusRequestBytes(function, int(count)));
            const bool answered = address != 0;
            const double answerMs =
                answered ? modbusFrameMs(line, modbusAnswerBytes(function, int(count))) : 0;
            cycleMs += requestMs + answerMs;
            if (answered && v[Timeout] >= 1 && v[Timeout] < answerMs) {
                warn(which, row, Timeout,
                     QStringLiteral("the timeout of %1 ms is shorter than the answer takes on the "
                                    "wire: %2 ms at %3 bit/s (%4 characters of %5 bits and the "
                                    "3.5-character silence that ends them)")
                         .arg(v[Timeout])
                         .arg(answerMs, 0, 'f', 1)
                         .arg(line.baudRate)
                         .arg(modbusAnswerBytes(function, int(count)))
                         .arg(line.bitsPerCharacter()));
                told << Timeout;
            }
        }

        const quint64 key = (quint64(address & 0xFFFF) << 40) | (quint64(function) << 32) |
                            quint32(v[AddressSlave]);
        if (const auto first = requests.constFind(key); first != requests.constEnd()) {
            warn(which, row, AddressSlave,
                 QStringLiteral("the same request as row %1: slave %2, %3, from %4")
                     .arg(*first)
                     .arg(address)
                     .arg(modbusFunctionTip(function))
                     .arg(v[AddressSlave]));
        } else {
            requests.insert(key, row);
        }
        if (read && count > 0 && sixteenBits && v[AddressMaster] >= 0 &&
            v[AddressMaster] <= 0xFFFF) {
            m_reads.append(
                {which, row, coils, int(v[AddressMaster]), int(v[AddressMaster] + count - 1)});
        }
    }

    // What Write to PLC refuses, cell by cell, unless told above.
    const SlaveRowLimits limits = slaveRowLimits(known ? function : 0);
    const bool withinLimits =
        known && v[Address] >= 0 && v[Address] <= limits.maxAddress && v[NumWord] >= 0 &&
        v[NumWord] <= limits.maxNumWord && v[AddressSlave] >= 0 &&
        v[AddressSlave] + v[NumWord] <= limits.areaEnd && v[AddressMaster] >= 0 &&
        v[AddressMaster] + v[NumWord] <= limits.areaEnd && v[Timeout] >= limits.minTimeout &&
        v[Timeout] <= limits.maxTimeout;
    if (withinLimits)
        return;
    for (int c = Address; c < Count; ++c) {
        const QString rule = slaveCellRule(table, row - 1, c);
        if (!rule.isEmpty() && !told.contains(c))
            warn(which, row, c, QStringLiteral("Write to PLC refuses it (%1)").arg(rule));
    }
}

void Checker::readOverlaps()
{
    for (qsizetype i = 1; i < m_reads.size(); ++i) {
        const Area &a = m_reads[i];
        for (qsizetype j = 0; j < i; ++j) {
            const Area &b = m_reads[j];
            if (!a.overlaps(b))
                continue;
            warn(a.port, a.row, SlaveColumn::AddressMaster,
                 QStringLiteral("%1 %2 (%3): both reads put data there")
                     .arg(a.overlapping(), b.placeFrom(a.port), b.text()));
            break;
        }
    }
}

void Checker::sensors(const AuxPort &aux)
{
    if (aux.mode() != AuxMode::OnewireMaster)
        return;
    const FindingPort port = FindingPort::Onewire;
    const SensorTable &table = aux.sensors();
    const int rows = table.sensorCount();
    if (rows > SensorTable::MaxSensors) {
        warn(port, 0, -1,
             QStringLiteral("%1 sensors: Write to PLC takes at most %2")
                 .arg(rows)
                 .arg(SensorTable::MaxSensors));
    }
    QHash<quint64, int> roms;
    QList<Area> values;
    QList<std::pair<quint8, QList<int>>> families; // in the order they first appear
    for (int row = 1; row <= rows; ++row) {
        const SensorRow sensor = table.sensor(row - 1);
        for (int c = SensorTable::FirstByteColumn; c <= SensorTable::RegisterColumn; ++c) {
            const QString rule = sensorCellRule(sensor, c);
            if (!rule.isEmpty())
                warn(port, row, c, QStringLiteral("Write to PLC refuses it (%1)").arg(rule));
        }
        if (const auto bytes = romBytes(sensor.rom)) {
            const quint8 family = (*bytes)[0];
            const auto known = std::find_if(families.begin(), families.end(),
                                            [&](const auto &f) { return f.first == family; });
            if (known == families.end())
                families.append({family, {row}});
            else
                known->second.append(row);
            const QString crc = romCrcFault(sensor.rom);
            if (!crc.isEmpty())
                warn(port, row, SensorTable::FirstByteColumn + 7, crc);
            quint64 key = 0;
            for (const quint8 b : *bytes)
                key = (key << 8) | b;
            if (const auto first = roms.constFind(key); first != roms.constEnd()) {
                warn(port, row, SensorTable::FirstByteColumn,
                     QStringLiteral("the same ROM code as row %1: one sensor read twice")
                         .arg(*first));
            } else {
                roms.insert(key, row);
            }
        }
        if (!sensorCellRule(sensor, SensorTable::RegisterColumn).isEmpty())
            continue;
        const int reg = *registerNumber(sensor.reg);
        const Area value{port, row, false, reg, reg + 1};
        const auto clash = [&](const QList<Area> &areas, const char *what) {
            for (const Area &other : areas) {
                if (!value.overlaps(other))
                    continue;
                warn(port, row, SensorTable::RegisterColumn,
                     QStringLiteral("%1 %2 (%3): %4")
                         .arg(value.overlapping(), other.placeFrom(port), other.text(),
                              QLatin1String(what)));
                return true;
            }
            return false;
        };
        if (!clash(m_reads, "a read puts data there too"))
            clash(values, "both sensors put their values there");
        values.append(value);
    }
    // One note a family, at its first sensor: a table of one kind of sensor gets one line.
    for (const auto &[family, members] : std::as_const(families)) {
        note(port, members.first(), SensorTable::FirstByteColumn,
             QStringLiteral("%1: family %2, %3")
                 .arg(rowsText(members), byteHex(family), romFamilyName(family)));
    }
}

} // namespace

QString severityText(FindingSeverity severity)
{
    return severity == FindingSeverity::Warning ? QStringLiteral("warning")
                                                : QStringLiteral("note");
}

QString findingPortKey(FindingPort port)
{
    // The names the command line gives the ports ("diag uart1").
    static const QString keys[] = {QStringLiteral("uart1"), QStringLiteral("uart2"),
                                   QStringLiteral("1wire")};
    return keys[int(port)];
}

QString findingPortName(FindingPort port)
{
    static const QString names[] = {ModbusPortInfo::uart1().name, ModbusPortInfo::uart2().name,
                                    auxPortName()};
    return names[int(port)];
}

QString findingColumnName(const Finding &f)
{
    if (f.column < 0)
        return {};
    const QString header =
        f.port == FindingPort::Onewire ? SensorTable::headerFormat() : slaveTableHeader();
    return TextTable::splitHeader(header).value(f.column).trimmed();
}

QString findingPlace(const Finding &f)
{
    QString place = findingPortName(f.port);
    if (f.row > 0)
        place += QStringLiteral(", row %1").arg(f.row);
    if (f.column >= 0)
        place += QStringLiteral(", ") + findingColumnName(f);
    return place;
}

QString findingLine(const Finding &f)
{
    const QString none = QStringLiteral("-");
    return QStringList{severityText(f.severity), findingPortKey(f.port),
                       f.row > 0 ? QStringLiteral("row %1").arg(f.row) : none,
                       f.column >= 0 ? findingColumnName(f) : none, f.text}
        .join(QLatin1Char('\t'));
}

QByteArray findingsJson(const QList<Finding> &findings)
{
    QJsonArray array;
    for (const Finding &f : findings) {
        array.append(QJsonObject{
            {QStringLiteral("severity"), severityText(f.severity)},
            {QStringLiteral("port"), findingPortKey(f.port)},
            {QStringLiteral("row"), f.row > 0 ? QJsonValue(f.row) : QJsonValue()},
            {QStringLiteral("column"),
             f.column >= 0 ? QJsonValue(findingColumnName(f)) : QJsonValue()},
            {QStringLiteral("text"), f.text},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

int warningCount(const QList<Finding> &findings)
{
    return int(std::count_if(findings.cbegin(), findings.cend(), [](const Finding &f) {
        return f.severity == FindingSeverity::Warning;
    }));
}

QString warningCountText(int warnings)
{
    if (warnings == 0)
        return QStringLiteral("no warnings");
    return QStringLiteral("%1 %2").arg(warnings).arg(
        QLatin1String(warnings == 1 ? "warning" : "warnings"));
}

QList<Finding> checkConfiguration(const ModbusPort &uart1, const ModbusPort &uart2,
                                  const AuxPort &aux)
{
    Checker check;
    check.modbusPort(uart1, FindingPort::Uart1);
    check.modbusPort(uart2, FindingPort::Uart2);
    check.readOverlaps();
    check.sensors(aux);
    // Port by port, row by row, column by column; within a cell in the order found.
    std::stable_sort(check.findings.begin(), check.findings.end(),
                     [](const Finding &a, const Finding &b) {
                         return std::tuple(int(a.port), a.row, a.column) <
                                std::tuple(int(b.port), b.row, b.column);
                     });
    return check.findings;
}

QList<Finding> checkConfiguration(const ProjectPorts &ports)
{
    return checkConfiguration(ports.uart1, ports.uart2, ports.aux);
}

QList<Finding> checkConfiguration(const ProjectRecord &record)
{
    // A load fills every field the check reads: no start-up values are needed.
    ModbusPort uart1(ModbusPortInfo::uart1());
    ModbusPort uart2(ModbusPortInfo::uart2());
    AuxPort aux;
    Apply_project_record(record, {uart1, uart2, aux});
    return checkConfiguration(uart1, uart2, aux);
}
