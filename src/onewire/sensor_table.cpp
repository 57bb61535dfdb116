#include "onewire/sensor_table.h"

#include "common/hex_text.h"

#include <limits>

std::optional<quint8> romByte(const QString &text)
{
    if (text.size() != 2)
        return std::nullopt;
    const int high = hexDigit(text[0], HexCase::Either);
    const int low = hexDigit(text[1], HexCase::Either);
    if (high < 0 || low < 0)
        return std::nullopt;
    return static_cast<quint8>(high * 16 + low);
}

std::optional<qint16> registerNumber(const QString &text)
{
    const std::optional<qint64> value = roundHalfEven(text);
    if (!value || *value < std::numeric_limits<qint16>::min() ||
        *value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(*value);
}

QString SensorTable::headerFormat()
{
    return QStringLiteral("Num | Byte 0 | Byte 1 | Byte 2 | Byte 3 | Byte 4 | Byte 5 | Byte 6 | "
                          "Byte 7 |  Dxxxx  ");
}

SensorTable::SensorTable(QObject *parent) : TextTable(headerFormat(), parent)
{
    setCentred(true);
}

QStringList SensorTable::cellsOf(const SensorRow &sensor, const QString &num)
{
    QStringList cells{num};
    for (const QString &byte : sensor.rom)
        cells.append(byte);
    cells.append(sensor.reg);
    return cells;
}

SensorRow SensorTable::sensor(int row) const
{
    SensorRow s;
    for (int k = 0; k < 8; ++k)
        s.rom[size_t(k)] = cell(row, FirstByteColumn + k);
    s.reg = cell(row, RegisterColumn);
    return s;
}

QList<SensorRow> SensorTable::sensors() const
{
    QList<SensorRow> all;
    all.reserve(sensorCount());
    for (int r = 0; r < sensorCount(); ++r)
        all.append(sensor(r));
    return all;
}

int SensorTable::addSensor(const SensorRow &sensor)
{
    const int row = appendItem(cellsOf(sensor, QString::number(sensorCount() + 1)));
    setCell(row + 1, NumColumn, QString::number(row + 2));
    return row;
}

bool SensorTable::setSensor(int row, const SensorRow &sensor)
{
    if (row < 0 || row > sensorCount())
        return false;
    const QStringList cells = cellsOf(sensor, QString());
    for (int c = FirstByteColumn; c < ColumnCount; ++c)
        setCell(row, c, cells[c]);
    return true;
}

bool SensorTable::deleteSensor(int row)
{
    const bool removed = removeItem(row);
    renumber();
    return removed;
}

void SensorTable::renumber()
{
    TextTable::renumber(true);
}

void SensorTable::clear()
{
    clearItems();
}

void SensorTable::setSensors(const QList<SensorRow> &sensors)
{
    QList<QStringList> items;
    items.reserve(sensors.size());
    for (const SensorRow &s : sensors)
        items.append(cellsOf(s, QString::number(items.size() + 1)));
    setItems(items);
    renumber();
}

QString defaultRegisterText(const SensorTable &table, int selectedRow)
{
    const QString fallback = QStringLiteral("3000");
    if (table.cell(selectedRow, SensorTable::RegisterColumn).isEmpty())
        return fallback;
    // With no sensors there is no last register to continue from (the placeholder row may hold
    // one typed through "Modify slave", but it is no sensor).
    if (table.sensorCount() == 0)
        return fallback;
    const auto last =
        registerNumber(table.cell(table.sensorCount() - 1, SensorTable::RegisterColumn));
    if (!last || *last > std::numeric_limits<qint16>::max() - 2)
        return fallback;
    return QString::number(*last + 2);
}
