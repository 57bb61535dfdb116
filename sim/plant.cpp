#include "sim/plant.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Plant", text);
}

constexpr int MaxFaults = 20;
constexpr qint64 MaxFileBytes = 1024 * 1024;

struct TableKey
{
    const char *key;
    ModbusTable table;
    std::optional<AddressRange> PlantSlave::*member;
};
const TableKey TableKeys[] = {
    {"coils", ModbusTable::Coils, &PlantSlave::coils},
    {"discrete", ModbusTable::Discrete, &PlantSlave::discrete},
    {"input", ModbusTable::Input, &PlantSlave::input},
    {"holding", ModbusTable::Holding, &PlantSlave::holding},
};

QString romText(const RomCode &rom)
{
    QByteArray bytes(reinterpret_cast<const char *>(rom.data()),
                     static_cast<qsizetype>(rom.size()));
    return QString::fromLatin1(bytes.toHex().toUpper());
}

// A value quoted back in a fault as it stood in the file, cut short to keep the line readable.
QString shown(const QJsonValue &value)
{
    QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    text = text.mid(1, text.size() - 2);
    constexpr int MaxShown = 40;
    if (text.size() > MaxShown)
        return QString::fromUtf8(text.left(MaxShown)) + QStringLiteral("...");
    return QString::fromUtf8(text);
}

// Where the parser stopped, as a person counts in an editor: lines and columns from 1, columns
// in characters.
QString textPosition(const QByteArray &json, int offset)
{
    const QByteArray before = json.left(offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return tr("line %1, column %2")
        .arg(before.count('\n') + 1)
        .arg(QString::fromUtf8(before.mid(lineStart)).size() + 1);
}

// Reads the plant while collecting faults by place; reading goes on past a fault so that one
// pass reports them all.
class PlantReader
{
public:
    void fault(const QString &place, const QString &what)
    {
        if (m_faults.size() < MaxFaults)
            m_faults.append(place + QStringLiteral(": ") + what);
        else
            m_overflow = true;
    }
    QString faultText() const
    {
        QStringList lines = m_faults;
        if (m_overflow)
            lines.append(tr("(more faults after these %1)").arg(MaxFaults));
        return lines.join(u'\n');
    }
    bool failed() const { return !m_faults.isEmpty(); }

    Plant plant(const QJsonObject &top)
    {
        Plant plant;
        checkKeys(top, QString(), {"cycleMs", "uart1", "uart2", "onewire"});
        readWhole(top, QString(), "cycleMs", 0, 60000, &plant.cycleMs);
        plant.uart1 = uart(top, "uart1");
        plant.uart2 = uart(top, "uart2");
        plant.sensors = sensors(top);
        return plant;
    }

private:
    static QString child(const QString &place, const QString &key)
    {
        return place.isEmpty() ? key : place + u'.' + key;
    }
    static QString child(const QString &place, const char *key)
    {
        return child(place, QString::fromLatin1(key));
    }
    static QString item(const QString &place, qsizetype index)
    {
        return place + u'[' + QString::number(index) + u']';
    }

    void wrong(const QString &place, const QString &wanted, const QJsonValue &value)
    {
        fault(place, tr("wants %1, not %2").arg(wanted, shown(value)));
    }
    void missing(const QString &place, const QString &wanted)
    {
        fault(place, tr("missing; wants %1").arg(wanted));
    }

    void checkKeys(const QJsonObject &object, const QString &place,
                   std::initializer_list<const char *> known)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QByteArray key = it.key().toUtf8();
            if (std::none_of(known.begin(), known.end(), [&](const char *k) { return key == k; }))
                fault(child(place, it.key()), tr("unknown key"));
        }
    }

    // The list at top.name.key, where name holds an object with key alone; an empty one when
    // either is absent or of the wrong type (a fault then).
    QJsonArray list(const QJsonObject &top, const char *name, const char *key,
                    const QString &nameWanted, const QString &keyWanted)
    {
        const QString place = QString::fromLatin1(name);
        const QJsonValue holder = top.value(place);
        if (!holder.isUndefined() && !holder.isObject())
            wrong(place, nameWanted, holder);
        checkKeys(holder.toObject(), place, {key});
        const QJsonValue list = holder.toObject().value(QLatin1String(key));
        if (!list.isUndefined() && !list.isArray())
            wrong(child(place, key), keyWanted, list);
        return list.toArray();
    }

    // Each item of list read by read; an item named as an earlier one is a fault at its key.
    template <typename Item, typename Read, typename Name>
    QList<Item> items(const QJsonArray &list, const QString &place, const char *key, Read read,
                      Name name)
    {
        QList<Item> items;
        QHash<QString, QString> firstPlaces;
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString at = item(place, i);
            const std::optional<Item> one = read(list.at(i), at);
            if (!one)
                continue;
            const QString named = name(*one);
            if (const auto first = firstPlaces.constFind(named); first != firstPlaces.cend())
                fault(child(at, key), tr("%1 is listed twice, first as %2").arg(named, *first));
            else
                firstPlaces.insert(named, at);
            items.append(*one);
        }
        return items;
    }

    static std::optional<int> whole(const QJsonValue &value, int min, int max)
    {
        const double number = value.toDouble();
        if (!value.isDouble() || number != std::floor(number) || number < min || number > max)
            return std::nullopt;
        return static_cast<int>(number);
    }

    static QString wholeWanted(int min, int max)
    {
        return tr("a whole number from %1 to %2").arg(min).arg(max);
    }

    // Stores a whole number from min to max at key into target; an absent key leaves target.
    void readWhole(const QJsonObject &parent, const QString &place, const char *key, int min,
                   int max, int *target)
    {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (value.isUndefined())
            return;
        if (const std::optional<int> number = whole(value, min, max))
            *target = *number;
        else
            wrong(child(place, key), wholeWanted(min, max), value);
    }

    void readBool(const QJsonObject &parent, const QString &place, const char *key, bool *target)
    {
        const QJsonValue value = parent.value(QLatin1String(key));
        if (value.isBool())
            *target = value.toBool();
        else if (!value.isUndefined())
            wrong(child(place, key), tr("true or false"), value);
    }

    std::optional<AddressRange> range(const QJsonValue &value, const QString &place)
    {
        const QJsonArray pair = value.toArray();
        const std::optional<int> first = whole(pair.at(0), 0, 65535);
        const std::optional<int> last = whole(pair.at(1), 0, 65535);
        if (pair.size() == 2 && first && last && *first <= *last)
            return AddressRange{*first, *last};
        wrong(place, tr("[first, last], two whole numbers from 0 to 65535 with first <= last"),
              value);
        return std::nullopt;
    }

    QList<PlantSlave> uart(const QJsonObject &top, const char *name)
    {
        const QJsonArray list = this->list(
            top, name, "slaves", tr("an object with a \"slaves\" list"), tr("a list of slaves"));
        return items<PlantSlave>(
            list, child(QString::fromLatin1(name), "slaves"), "address",
            [this](const QJsonValue &value, const QString &at) { return slave(value, at); },
            [](const PlantSlave &slave) { return tr("slave %1").arg(slave.address); });
    }

    std::optional<PlantSlave> slave(const QJsonValue &value, const QString &place)
    {
        if (!value.isObject()) {
            wrong(place, tr("a slave, an object with at least an \"address\""), value);
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        checkKeys(
            object, place,
            {"address", "coils", "discrete", "input", "holding", "delayMs", "noise", "exception"});
        PlantSlave slave;
        if (!object.contains(QLatin1String("address")))
            missing(child(place, "address"), wholeWanted(1, 247));
        readWhole(object, place, "address", 1, 247, &slave.address);
        for (const TableKey &table : TableKeys) {
            const QJsonValue range = object.value(QLatin1String(table.key));
            if (!range.isUndefined())
                slave.*table.member = this->range(range, child(place, table.key));
        }
        readWhole(object, place, "delayMs", 0, 60000, &slave.delayMs);
        readBool(object, place, "noise", &slave.noise);
        slave.exception = exception(object, child(place, "exception"));
        // Only a slave with its own address is kept, so that a duplicate is never reported for
        // a slave that has none.
        if (slave.address == 0)
            return std::nullopt;
        return slave;
    }

    std::optional<PlantSlave::Exception> exception(const QJsonObject &slave, const QString &place)
    {
        const QJsonValue value = slave.value(QLatin1String("exception"));
        if (value.isUndefined())
            return std::nullopt;
        if (!value.isObject()) {
            wrong(place, tr("an object with one table's range and a \"code\""), value);
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        checkKeys(object, place, {"coils", "discrete", "input", "holding", "code"});
        PlantSlave::Exception exception;
        readWhole(object, place, "code", 1, 255, &exception.code);
        QStringList named;
        for (const TableKey &table : TableKeys) {
            const QJsonValue range = object.value(QLatin1String(table.key));
            if (range.isUndefined())
                continue;
            named.append(u'"' + QString::fromLatin1(table.key) + u'"');
            exception.table = table.table;
            exception.range = this->range(range, child(place, table.key)).value_or(AddressRange{});
        }
        if (named.isEmpty()) {
            fault(place, tr("names no table; wants one of \"coils\", \"discrete\", \"input\" or "
                            "\"holding\" with its range"));
        } else if (named.size() > 1) {
            fault(place, tr("names more than one table (%1); wants exactly one")
                             .arg(named.join(QStringLiteral(", "))));
        }
        return exception;
    }

    QList<PlantSensor> sensors(const QJsonObject &top)
    {
        const QJsonArray list =
            this->list(top, "onewire", "sensors", tr("an object with a \"sensors\" list"),
                       tr("a list of sensors"));
        return items<PlantSensor>(
            list, QStringLiteral("onewire.sensors"), "rom",
            [this](const QJsonValue &value, const QString &at) { return sensor(value, at); },
            [](const PlantSensor &sensor) { return romText(sensor.rom); });
    }

    std::optional<PlantSensor> sensor(const QJsonValue &value, const QString &place)
    {
        if (!value.isObject()) {
            wrong(place, tr("a sensor, an object with at least a \"rom\""), value);
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        checkKeys(object, place, {"rom", "celsius", "absent"});
        PlantSensor sensor;
        const QString romWanted = tr("16 hex digits, byte 0 first, such as \"28FF641E0F000034\"");
        const QJsonValue rom = object.value(QLatin1String("rom"));
        bool hasRom = false;
        if (rom.isUndefined())
            missing(child(place, "rom"), romWanted);
        else if (rom.isString() && parseRom(rom.toString(), &sensor.rom))
            hasRom = true;
        else
            wrong(child(place, "rom"), romWanted, rom);
        const QJsonValue celsius = object.value(QLatin1String("celsius"));
        if (celsius.isDouble() && celsius.toDouble() >= -55 && celsius.toDouble() <= 125)
            sensor.celsius = celsius.toDouble();
        else if (!celsius.isUndefined())
            wrong(child(place, "celsius"), tr("a temperature from -55 to 125"), celsius);
        readBool(object, place, "absent", &sensor.absent);
        if (!hasRom)
            return std::nullopt;
        return sensor;
    }

    QStringList m_faults;
    bool m_overflow = false;
};

// The plant of the demo PLC; examples/demo-plant.json holds the same text.
const char DemoPlantJson[] = R"({
  "cycleMs": 200,
  "uart1": { "slaves": [
    { "address": 1, "holding": [0, 99] },
    { "address": 2, "input": [0, 49] },
    { "address": 3, "coils": [0, 63] }
  ] },
  "uart2": { "slaves": [
    { "address": 5, "holding": [0, 9] }
  ] },
  "onewire": { "sensors": [
    { "rom": "28F95221670000CC", "celsius": 21.5 },
    { "rom": "28B44944730100FE", "celsius": 19.0 },
    { "rom": "281F3703F702005A", "absent": true },
    { "rom": "28501DA3120300D1", "celsius": 22.25 },
    { "rom": "28CD5ADB93040081", "celsius": 18.5 }
  ] }
}
)";

} // namespace

const PlantSlave *Plant::slave(int uart, int address) const
{
    const QList<PlantSlave> &list = slaves(uart);
    const auto found = std::find_if(list.cbegin(), list.cend(),
                                    [&](const PlantSlave &s) { return s.address == address; });
    return found == list.cend() ? nullptr : &*found;
}

QList<RomCode> Plant::presentSensors() const
{
    QList<RomCode> roms;
    for (const PlantSensor &sensor : sensors) {
        if (!sensor.absent)
            roms.append(sensor.rom);
    }
    return roms;
}

std::optional<Plant> parsePlant(const QByteArray &json, QString *faults)
{
    PlantReader reader;
    Plant plant;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (json.trimmed().isEmpty())
        reader.fault(tr("top level"), tr("the file is empty; wants a JSON object"));
    else if (error.error != QJsonParseError::NoError)
        reader.fault(textPosition(json, error.offset), error.errorString());
    else if (!document.isObject())
        reader.fault(tr("top level"),
                     tr("wants a JSON object {...}, not %1").arg(shown(document.array())));
    else
        plant = reader.plant(document.object());
    if (faults)
        *faults = reader.faultText();
    if (reader.failed())
        return std::nullopt;
    return plant;
}

std::optional<Plant> readPlantFile(const QString &path, QString *faults)
{
    const QString name = QDir::toNativeSeparators(path);
    QFile file(path);
    QByteArray json;
    if (file.open(QIODevice::ReadOnly))
        json = file.read(MaxFileBytes + 1);
    QString fault;
    if (file.error() != QFileDevice::NoError)
        fault = tr("cannot read %1: %2").arg(name, file.errorString());
    else if (json.size() > MaxFileBytes)
        fault = tr("%1: larger than 1 MiB").arg(name);
    else
        return parsePlant(json, faults);
    if (faults)
        *faults = fault;
    return std::nullopt;
}

Plant demoPlant()
{
    static const Plant plant = [] {
        QString faults;
        const std::optional<Plant> parsed = parsePlant(DemoPlantJson, &faults);
        Q_ASSERT_X(parsed, "demoPlant", qPrintable(faults));
        return parsed.value_or(Plant{});
    }();
    return plant;
}

} // namespace sim
