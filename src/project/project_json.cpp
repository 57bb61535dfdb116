#include "project/project_json.h"

#include "common/errors.h"
#include "common/untrusted_text.h"
#include "link/line_settings.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"
#include "onewire/aux_encoding.h"
#include "onewire/aux_port.h"
#include "project/json_outline.h"
#include "project/port_texts.h"
#include "project/project_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <optional>

namespace {

using R = ProjectRecord;

// A full project (128 slaves on each port, 128 sensors) is about 3000 values; a text with many
// more is no project and is not parsed.
constexpr int MostProjectValues = 10000;

QJsonObject portJson(const ModbusPort &port)
{
    QJsonObject o;
    o[QStringLiteral("mode")] = portModeText(port);
    o[QStringLiteral("speed")] = listItem(LineChoices::speeds(), port.speed()).toInt();
    o[QStringLiteral("parity")] = listItem(PortLists::parities(), port.parity());
    if (port.bitNumber() >= 0)
        o[QStringLiteral("dataBits")] = listItem(LineChoices::dataBits(), port.bitNumber()).toInt();
    if (port.stopBit() >= 0)
        o[QStringLiteral("stopBits")] =
            listItem(LineChoices::stopBits(), port.stopBit()).toDouble();
    o[QStringLiteral("slaveAddress")] = port.slaveAddress().toInt();
    o[QStringLiteral("slaveTimeoutMs")] = port.slaveTimeout().toInt();
    QJsonArray slaves;
    const TextTable &t = port.slaves();
    for (int r = 0; r < t.itemCount(); ++r) {
        const int function = t.cell(r, SlaveColumn::Function).toInt();
        QJsonObject slave{
            {QStringLiteral("slot"), r + 1},
            {QStringLiteral("address"), t.cell(r, SlaveColumn::Address).toInt()},
            {QStringLiteral("numWord"), t.cell(r, SlaveColumn::NumWord).toInt()},
            {QStringLiteral("addressSlave"), t.cell(r, SlaveColumn::AddressSlave).toInt()},
            {QStringLiteral("addressMaster"), t.cell(r, SlaveColumn::AddressMaster).toInt()},
            {QStringLiteral("function"), function},
            {QStringLiteral("timeoutMs"), t.cell(r, SlaveColumn::Timeout).toInt()},
        };
        // A function beyond the list has no name; the number alone says what the file holds.
        if (const QString name = functionText(function); !name.isEmpty())
            slave[QStringLiteral("functionName")] = name;
        slaves.append(slave);
    }
    o[QStringLiteral("slaves")] = slaves;
    return o;
}

// A value as a fault quotes it: lists and objects by their kind only, texts quoted, escaped and
// cut short.
QString shown(const QJsonValue &v)
{
    if (v.isArray())
        return QStringLiteral("a list");
    if (v.isObject())
        return QStringLiteral("an object");
    if (v.isString())
        return quotedText(v.toString());
    const QByteArray compact = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(compact.mid(1, compact.size() - 2));
}

// Reads the text form and names every fault with its place, going on after each one so that a
// single run names them all.
class Checker
{
public:
    explicit Checker(FaultList &faults) : faults(faults) {}
    FaultList &faults;

    void fault(const QString &place, const QString &what)
    {
        faults.add(place + QStringLiteral(": ") + what);
    }

    // The object at place; keys beyond the known ones are faults.
    std::optional<QJsonObject> object(const QJsonValue &v, const QString &place,
                                      const QStringList &known)
    {
        if (!v.isObject()) {
            fault(place, shown(v) + QStringLiteral(" is not an object"));
            return std::nullopt;
        }
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!known.contains(it.key()))
                fault(jsonMemberPlace(place, it.key()), QStringLiteral("unknown key"));
        }
        return o;
    }

    std::optional<QJsonValue> member(const QJsonObject &o, const QString &place, const QString &key)
    {
        if (!o.contains(key)) {
            fault(jsonMemberPlace(place, key), QStringLiteral("missing"));
            return std::nullopt;
        }
        return o.value(key);
    }

    // A whole number from low to high.
    std::optional<int> whole(const QJsonValue &v, const QString &place, int low, int high)
    {
        if (!v.isDouble()) {
            fault(place, shown(v) + QStringLiteral(" is not a number"));
            return std::nullopt;
        }
        const double d = v.toDouble();
        if (d != std::floor(d)) {
            fault(place, shown(v) + QStringLiteral(" is not a whole number"));
        } else if (d < low) {
            fault(place, QStringLiteral("%1 is below %2").arg(shown(v)).arg(low));
        } else if (d > high) {
            fault(place, QStringLiteral("%1 is above %2").arg(shown(v)).arg(high));
        } else {
            return int(d);
        }
        return std::nullopt;
    }
    std::optional<int> whole(const QJsonObject &o, const QString &place, const QString &key,
                             int low, int high)
    {
        const auto v = member(o, place, key);
        return v ? whole(*v, jsonMemberPlace(place, key), low, high) : std::nullopt;
    }

    // The position of a text among the choices.
    std::optional<int> textChoice(const QJsonObject &o, const QString &place, const QString &key,
                                  const QStringList &choices)
    {
        const auto v = member(o, place, key);
        if (!v)
            return std::nullopt;
        const int i = v->isString() ? int(choices.indexOf(v->toString())) : -1;
        if (i < 0) {
            fault(jsonMemberPlace(place, key),
                  QStringLiteral("%1 is not one of \"%2\"")
                      .arg(shown(*v), choices.join(QStringLiteral("\", \""))));
            return std::nullopt;
        }
        return i;
    }

    // The position of a number among choices written as texts ("9600", "1.5").
    std::optional<int> numberChoice(const QJsonObject &o, const QString &place, const QString &key,
                                    const QStringList &choices)
    {
        const auto v = member(o, place, key);
        if (!v)
            return std::nullopt;
        if (!v->isDouble()) {
            fault(jsonMemberPlace(place, key), shown(*v) + QStringLiteral(" is not a number"));
            return std::nullopt;
        }
        for (int i = 0; i < choices.size(); ++i) {
            if (choices[i].toDouble() == v->toDouble())
                return i;
        }
        fault(jsonMemberPlace(place, key), QStringLiteral("%1 is not one of %2")
                                               .arg(shown(*v), choices.join(QStringLiteral(", "))));
        return std::nullopt;
    }

    // Each item of a list, read by read and kept by keep; the number of items a record keeps,
    // or nothing without a list. Longer lists than a record holds were refused unread (see
    // outlineJson): they arrive here empty.
    template <typename Read, typename Keep>
    std::optional<int> items(const QJsonObject &o, const QString &place, const QString &key,
                             Read read, Keep keep)
    {
        const auto v = member(o, place, key);
        if (!v)
            return std::nullopt;
        const QString at = jsonMemberPlace(place, key);
        if (!v->isArray()) {
            fault(at, shown(*v) + QStringLiteral(" is not a list"));
            return std::nullopt;
        }
        const QJsonArray list = v->toArray();
        for (int i = 0; i < list.size(); ++i) {
            const auto item = read(*this, list[i], QStringLiteral("%1[%2]").arg(at).arg(i), i);
            if (item && i < R::MaxItems)
                keep(i, *item);
        }
        return int(std::min<qsizetype>(list.size(), R::MaxItems));
    }

    // "slot" and "num" may be left out; given, they count the items from 1.
    void numbering(const QJsonObject &o, const QString &place, const QString &key, int index)
    {
        if (o.contains(key) && o.value(key) != QJsonValue(index + 1)) {
            fault(jsonMemberPlace(place, key),
                  QStringLiteral("%1 is not %2: the items count from 1")
                      .arg(shown(o.value(key)))
                      .arg(index + 1));
        }
    }
};

// "function", "functionName" or both (then they agree).
std::optional<int> readFunction(Checker &c, const QJsonObject &o, const QString &at)
{
    const QString byName = QStringLiteral("functionName");
    std::optional<int> number, name;
    if (o.contains(QStringLiteral("function")) || !o.contains(byName))
        number = c.whole(o, at, QStringLiteral("function"), 0, 255);
    if (o.contains(byName))
        name = c.textChoice(o, at, byName, PortLists::functions());
    if (number && name && *number != *name) {
        c.fault(jsonMemberPlace(at, byName), QStringLiteral("%1 is not function %2 (\"%3\")")
                                                 .arg(shown(o.value(byName)))
                                                 .arg(*number)
                                                 .arg(functionText(*number)));
        return std::nullopt;
    }
    return number ? number : name;
}

std::optional<SlaveEntry> readSlave(Checker &c, const QJsonValue &v, const QString &at, int index)
{
    const auto o = c.object(v, at,
                            {QStringLiteral("slot"), QStringLiteral("address"),
                             QStringLiteral("numWord"), QStringLiteral("addressSlave"),
                             QStringLiteral("addressMaster"), QStringLiteral("function"),
                             QStringLiteral("functionName"), QStringLiteral("timeoutMs")});
    if (!o)
        return std::nullopt;
    // Every field as wide as the record's: whether the PLC can use it is for check and write.
    const qsizetype faultsBefore = c.faults.count();
    c.numbering(*o, at, QStringLiteral("slot"), index);
    const auto function = readFunction(c, *o, at);
    const auto address = c.whole(*o, at, QStringLiteral("address"), 0, 255);
    const auto numWord = c.whole(*o, at, QStringLiteral("numWord"), 0, 255);
    const auto addressSlave = c.whole(*o, at, QStringLiteral("addressSlave"), 0, 65535);
    const auto addressMaster = c.whole(*o, at, QStringLiteral("addressMaster"), 0, 65535);
    const auto timeout = c.whole(*o, at, QStringLiteral("timeoutMs"), -32768, 32767);
    if (c.faults.count() != faultsBefore || !function)
        return std::nullopt;
    SlaveEntry e;
    e.address = static_cast<quint8>(address.value_or(0));
    e.function = static_cast<quint8>(*function);
    e.numWord = static_cast<quint8>(numWord.value_or(0));
    e.addressSlave = static_cast<quint16>(addressSlave.value_or(0));
    e.addressMaster = static_cast<quint16>(addressMaster.value_or(0));
    e.timeout = static_cast<qint16>(timeout.value_or(0));
    return e;
}

void readPort(Checker &c, const QJsonObject &root, const QString &key, R::Block block,
              ProjectRecord &record)
{
    // Only UART 1 keeps its data bits and stop bits in a project.
    const bool lineBits = block == R::Uart1;
    QStringList known = {QStringLiteral("mode"),           QStringLiteral("speed"),
                         QStringLiteral("parity"),         QStringLiteral("slaveAddress"),
                         QStringLiteral("slaveTimeoutMs"), QStringLiteral("slaves")};
    if (lineBits)
        known << QStringLiteral("dataBits") << QStringLiteral("stopBits");
    const auto v = c.member(root, QString(), key);
    const auto o = v ? c.object(*v, key, known) : std::nullopt;
    if (!o)
        return;
    auto set = [&](int offset, std::optional<int> value) {
        if (value)
            record.setByteField(block, offset, static_cast<quint8>(*value));
    };
    const auto mode = c.textChoice(*o, key, QStringLiteral("mode"), PortLists::modes());
    set(R::ModeOffset, mode);
    set(R::SpeedOffset, c.numberChoice(*o, key, QStringLiteral("speed"), LineChoices::speeds()));
    set(R::ParityOffset, c.textChoice(*o, key, QStringLiteral("parity"), PortLists::parities()));
    if (lineBits) {
        set(R::BitNumberOffset,
            c.numberChoice(*o, key, QStringLiteral("dataBits"), LineChoices::dataBits()));
        set(R::StopBitOffset,
            c.numberChoice(*o, key, QStringLiteral("stopBits"), LineChoices::stopBits()));
    }
    set(R::SlaveAddressOffset, c.whole(*o, key, QStringLiteral("slaveAddress"), 0, 255));
    if (const auto t = c.whole(*o, key, QStringLiteral("slaveTimeoutMs"), -32768, 32767))
        record.setSlaveTimeout(block, float(*t));

    set(R::SlaveCountOffset,
        c.items(*o, key, QStringLiteral("slaves"), readSlave,
                [&](int i, const SlaveEntry &e) { record.setSlave(block, i, e); }));
}

std::optional<SensorEntry> readSensor(Checker &c, const QJsonValue &v, const QString &at, int index)
{
    const auto o =
        c.object(v, at, {QStringLiteral("num"), QStringLiteral("rom"), QStringLiteral("register")});
    if (!o)
        return std::nullopt;
    const qsizetype faultsBefore = c.faults.count();
    c.numbering(*o, at, QStringLiteral("num"), index);
    SensorEntry e;
    if (const auto rom = c.member(*o, at, QStringLiteral("rom"))) {
        const QByteArray digits = rom->toString().toLatin1();
        const QByteArray bytes = QByteArray::fromHex(digits);
        if (!rom->isString() || digits.size() != 16 || bytes.toHex().toUpper() != digits.toUpper())
            c.fault(jsonMemberPlace(at, QStringLiteral("rom")),
                    shown(*rom) + QStringLiteral(" is not 16 hex digits"));
        else
            std::copy(bytes.begin(), bytes.end(), e.rom.begin());
    }
    const auto reg = c.whole(*o, at, QStringLiteral("register"), -32768, 32767);
    e.reg = static_cast<qint16>(reg.value_or(0));
    if (c.faults.count() != faultsBefore)
        return std::nullopt;
    return e;
}

void readAux(Checker &c, const QJsonObject &root, ProjectRecord &record)
{
    const QString key = QStringLiteral("aux");
    const auto v = c.member(root, QString(), key);
    const auto o =
        v ? c.object(*v, key, {QStringLiteral("mode"), QStringLiteral("sensors")}) : std::nullopt;
    if (!o)
        return;
    if (const auto mode = c.textChoice(*o, key, QStringLiteral("mode"), auxModeNames()))
        record.setByteField(R::Aux, R::ModeOffset, static_cast<quint8>(*mode));
    const auto count =
        c.items(*o, key, QStringLiteral("sensors"), readSensor,
                [&](int i, const SensorEntry &e) { record.setSensor(R::Aux, i, e); });
    if (count)
        record.setByteField(R::Aux, R::SensorCountOffset, static_cast<quint8>(*count));
}

// The parser's fault with its line and column.
[[noreturn]] void syntaxFault(const QByteArray &text, const QJsonParseError &error)
{
    const QByteArray before = text.left(error.offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    throw InputError(QStringLiteral("line %1, column %2: %3")
                         .arg(before.count('\n') + 1)
                         .arg(error.offset - lineStart + 1)
                         .arg(error.errorString()));
}

} // namespace

QByteArray projectJson(const ProjectPorts &ports)
{
    QJsonArray sensors;
    const SensorTable &table = ports.aux.sensors();
    for (int s = 0; s < table.sensorCount(); ++s) {
        const SensorRow row = table.sensor(s);
        sensors.append(QJsonObject{{QStringLiteral("num"), s + 1},
                                   {QStringLiteral("rom"), romText(row)},
                                   {QStringLiteral("register"), row.reg.toInt()}});
    }
    const QJsonObject aux{{QStringLiteral("mode"), auxModeText(ports.aux.mode())},
                          {QStringLiteral("sensors"), sensors}};
    const QJsonObject all{{QStringLiteral("format"), ProjectJsonFormat},
                          {QStringLiteral("uart1"), portJson(ports.uart1)},
                          {QStringLiteral("uart2"), portJson(ports.uart2)},
                          {QStringLiteral("aux"), aux}};
    return QJsonDocument(all).toJson(QJsonDocument::Indented);
}

QByteArray projectJson(const ProjectRecord &record)
{
    ModbusPort uart1(ModbusPortInfo::uart1());
    ModbusPort uart2(ModbusPortInfo::uart2());
    AuxPort aux;
    const ProjectPorts ports{uart1, uart2, aux};
    Apply_project_record(record, ports);
    return projectJson(ports);
}

namespace {

ProjectRecord parsedProjectJson(const QByteArray &json)
{
    QByteArray text = json;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    if (text.trimmed().isEmpty())
        throw InputError(QStringLiteral("the text is empty: a project is one JSON object"));
    // Found before the text is parsed, so that an over-long list is never built.
    FaultList faults;
    const JsonOutline outline = outlineJson(text, R::MaxItems, MostProjectValues, faults);
    if (outline.tooLarge)
        throw InputError(faults.text());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(outline.readable, &error);
    if (error.error != QJsonParseError::NoError)
        syntaxFault(text, error);
    if (!document.isObject())
        throw InputError(QStringLiteral("the text is not a JSON object"));

    Checker c(faults);
    const auto root = c.object(document.object(), QString(),
                               {QStringLiteral("format"), QStringLiteral("uart1"),
                                QStringLiteral("uart2"), QStringLiteral("aux")});
    // Files without "format" are those "show --json" printed before it had one: the same form.
    if (root->contains(QStringLiteral("format")) &&
        root->value(QStringLiteral("format")) != QJsonValue(ProjectJsonFormat)) {
        c.fault(QStringLiteral("format"),
                QStringLiteral("%1 is not a format this program reads (%2)")
                    .arg(shown(root->value(QStringLiteral("format"))))
                    .arg(ProjectJsonFormat));
    }
    ProjectRecord record;
    readPort(c, *root, QStringLiteral("uart1"), R::Uart1, record);
    readPort(c, *root, QStringLiteral("uart2"), R::Uart2, record);
    readAux(c, *root, record);
    if (!faults.isEmpty())
        throw InputError(faults.text());
    record.blankReservedTexts();
    return record;
}

} // namespace

ProjectRecord projectRecordFromJson(const QByteArray &json)
{
    try {
        ProjectRecord record = parsedProjectJson(json);
        qCDebug(plcProjectLog) << "JSON project taken:" << json.size() << "bytes";
        return record;
    } catch (const InputError &e) {
        qCDebug(plcProjectLog).noquote() << "JSON project refused:" << e.description();
        throw;
    }
}
