#pragma once

#include "common/text_table.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

// The eight bytes of a 1-wire ROM code as cell texts, Byte 0 (the family code) first.
using RomTexts = std::array<QString, 8>;

// One sensor of the table as typed: its ROM code bytes and the data register (Dxxxx) that
// receives its value.
struct SensorRow
{
    RomTexts rom;
    QString reg;
    friend bool operator==(const SensorRow &, const SensorRow &) = default;
};

// A ROM byte cell: exactly two hex digits, either case. Nothing for any other text.
std::optional<quint8> romByte(const QString &text);

// A decimal text as the PLC's 16-bit signed registers take it (halves rounded to even), or
// nothing when it is not a number in -32768..32767.
std::optional<qint16> registerNumber(const QString &text);

// The 1-wire sensor table behind the grid "Grid1": Num, Byte 0 to Byte 7, Dxxxx, with the
// trailing placeholder row. Rows are counted from 0 for the first sensor (the selection
// "Grid1_index"); row sensorCount() is the placeholder.
class SensorTable final : public TextTable
{
    Q_OBJECT
public:
    enum Column { NumColumn = 0, FirstByteColumn = 1, RegisterColumn = 9, ColumnCount = 10 };
    static constexpr int MaxSensors = 128;

    static QString headerFormat();

    explicit SensorTable(QObject *parent = nullptr);

    int sensorCount() const { return itemCount(); }
    // The cells of any row, the placeholder included; a row outside the table is empty.
    SensorRow sensor(int row) const;
    QList<SensorRow> sensors() const;

    // Fills the placeholder row and appends a new one; both get their numbers. Returns the row.
    int addSensor(const SensorRow &sensor);
    // Overwrites bytes and register of a sensor or of the placeholder row (which stays the
    // placeholder); Num is kept. False for a row outside the table.
    bool setSensor(int row, const SensorRow &sensor);
    // Removes a sensor and renumbers every row; the placeholder and rows outside the table are
    // never removed (false), but the numbers are written all the same.
    bool deleteSensor(int row);
    // Num of every row, the placeholder included, from 1.
    void renumber();
    // Only an empty placeholder row remains.
    void clear();
    // Replaces every sensor at once, numbered from 1, placeholder included.
    void setSensors(const QList<SensorRow> &sensors);

    static QStringList cellsOf(const SensorRow &sensor, const QString &num);
};

// The register proposed for a new sensor: "3000" when the selected row has no register (or lies
// outside the table); otherwise the last sensor's register plus 2. A last register that is not a
// 16-bit decimal number, or one that cannot grow by 2, proposes "3000" too.
QString defaultRegisterText(const SensorTable &table, int selectedRow);
