#include "transfer/port_compare.h"

#include "common/hex_text.h"
#include "link/line_settings.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_port.h"

#include <algorithm>
#include <optional>
#include <type_traits>

namespace {

// Collects the differences of one port.
class Differences
{
public:
    explicit Differences(QString port) : m_port(std::move(port)) {}

    void add(int slot, const QString &field, const QString &ours, const QString &plc)
    {
        m_list.append({m_port, slot, field, ours, plc});
    }
    // Compares two texts through a reading of them (a number, a hex byte); a text that cannot be
    // read differs from everything.
    template <typename Read>
    void compare(int slot, const QString &field, const QString &ours, const QString &plc, Read read)
    {
        const auto a = read(ours);
        const auto b = read(plc);
        if (!a || !b || *a != *b)
            add(slot, field, shown(a, ours), shown(b, plc));
    }
    void compareItem(int slot, const QString &field, const QStringList &items, int ours, int plc)
    {
        if (ours != plc)
            add(slot, field, items.value(ours, QString::number(ours)),
                items.value(plc, QString::number(plc)));
    }
    const QList<PortDifference> &list() const { return m_list; }

private:
    template <typename T> static QString shown(const std::optional<T> &value, const QString &text)
    {
        if constexpr (std::is_same_v<T, quint8>)
            return value ? byteHex(*value) : text;
        else
            return value ? QString::number(*value) : text;
    }

    QString m_port;
    QList<PortDifference> m_list;
};

std::optional<quint8> hexByte(const QString &text)
{
    return romByte(text.trimmed());
}

QString slaveField(int column)
{
    static const char *const names[] = {
        "", "Address", "Num word", "Address slave", "Address master", "Function", "Timeout"};
    return QLatin1String(names[column]);
}

} // namespace

QString PortDifference::place() const
{
    QStringList parts{port};
    if (slot > 0)
        parts << QStringLiteral("slot %1").arg(slot);
    parts << field;
    return parts.join(QStringLiteral(", "));
}

QString PortDifference::text(const QString &oursVerb) const
{
    return QStringLiteral("%1: %2 %3, PLC holds %4").arg(place(), oursVerb, ours, plc);
}

QList<PortDifference> compareModbusPort(const ModbusPort &ours, const ModbusPort &plc)
{
    Differences d(ours.info().name);
    d.compareItem(0, QStringLiteral("Mode"), PortLists::modes(), int(ours.mode()), int(plc.mode()));
    if (ours.mode() != plc.mode() || ours.mode() == PortMode::NotUse)
        return d.list();
    d.compareItem(0, QStringLiteral("Speed"), LineChoices::speeds(), ours.speed(), plc.speed());
    d.compareItem(0, QStringLiteral("Parity"), PortLists::parities(), ours.parity(), plc.parity());
    if (ours.mode() == PortMode::Slave) {
        d.compare(0, QStringLiteral("MB address"), ours.slaveAddress(), plc.slaveAddress(),
                  roundHalfEven);
        return d.list();
    }
    const TextTable &a = ours.slaves();
    const TextTable &b = plc.slaves();
    if (a.itemCount() != b.itemCount())
        d.add(0, QStringLiteral("Slaves"), QString::number(a.itemCount()),
              QString::number(b.itemCount()));
    for (int row = 0; row < std::min(a.itemCount(), b.itemCount()); ++row) {
        for (int c = SlaveColumn::Address; c < SlaveColumn::Count; ++c)
            d.compare(row + 1, slaveField(c), a.cell(row, c), b.cell(row, c), roundHalfEven);
    }
    return d.list();
}

QList<PortDifference> compareAuxPort(const AuxPortConfig &ours, const AuxPortConfig &plc,
                                     FieldNetLine fieldNet)
{
    Differences d(auxPortName());
    d.compareItem(0, QStringLiteral("Mode"), auxModeNames(), int(ours.mode), int(plc.mode));
    if (ours.mode != plc.mode)
        return d.list();
    if (ours.mode == AuxMode::FieldNet && fieldNet == FieldNetLine::Compared) {
        const FieldNetSettings &a = ours.fieldNet;
        const FieldNetSettings &b = plc.fieldNet;
        d.compareItem(0, QStringLiteral("Speed"), FieldNetSettings::speeds(), a.speed, b.speed);
        d.compareItem(0, QStringLiteral("Data bits"), FieldNetSettings::dataBitsItems(), a.dataBits,
                      b.dataBits);
        d.compareItem(0, QStringLiteral("Parity"), FieldNetSettings::parities(), a.parity,
                      b.parity);
        d.compareItem(0, QStringLiteral("Stop bits"), FieldNetSettings::stopBitsItems(), a.stopBits,
                      b.stopBits);
    }
    if (ours.mode != AuxMode::OnewireMaster)
        return d.list();
    const qsizetype count = std::min(ours.sensors.size(), plc.sensors.size());
    if (ours.sensors.size() != plc.sensors.size())
        d.add(0, QStringLiteral("Sensors"), QString::number(ours.sensors.size()),
              QString::number(plc.sensors.size()));
    for (int s = 0; s < count; ++s) {
        const SensorRow &a = ours.sensors[s];
        const SensorRow &b = plc.sensors[s];
        for (size_t k = 0; k < a.rom.size(); ++k)
            d.compare(s + 1, QStringLiteral("Byte %1").arg(k), a.rom[k], b.rom[k], hexByte);
        d.compare(s + 1, QStringLiteral("Dxxxx"), a.reg, b.reg, registerNumber);
    }
    return d.list();
}

QString verifyFailedMessage(const QList<PortDifference> &differences)
{
    constexpr int Shown = 20;
    QStringList lines{QStringLiteral("The PLC does not hold what was written:")};
    for (const PortDifference &d : differences.mid(0, Shown))
        lines << d.text(QStringLiteral("written"));
    if (differences.size() > Shown)
        lines << QStringLiteral("... and %1 more").arg(differences.size() - Shown);
    return lines.join(QLatin1Char('\n'));
}
