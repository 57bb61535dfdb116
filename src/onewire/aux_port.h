#pragma once

#include "onewire/sensor_table.h"

#include <QList>
#include <QObject>
#include <QStringList>

// The auxiliary port's mode; the value is the index of its option button "Option1".
enum class AuxMode : int {
    OnewireMaster = 0, // "1-wire master": polls the sensor table
    FieldNet = 1,      // "Field Net": a field-network port with the line settings below
    NotUse = 2,        // "Not use"
};

// "1-wire master", "Field Net", "Not use": the captions of the modes, in index order.
QStringList auxModeNames();
// "1-wire": the port as its tab, the status bar and comparisons name it.
QString auxPortName();

// The Field Net line settings as the indexes of their lists.
struct FieldNetSettings
{
    int speed = 4;    // Combo4: 9600, 19200, 38400, 57600, 115200
    int dataBits = 1; // Combo3: 7, 8
    int parity = 2;   // Combo2: None, Odd, Even
    int stopBits = 1; // Combo5: 1, 2

    // The lists' items, in order.
    static QStringList speeds();        // the first five line speeds
    static QStringList dataBitsItems(); // "7", "8"
    static QStringList parities();      // "None", "Odd", "Even"
    static QStringList stopBitsItems(); // "1", "2"

    // Every index names an item of its list.
    bool isValid() const;
    friend bool operator==(const FieldNetSettings &, const FieldNetSettings &) = default;
};

// Everything the "1-wire" tab holds, as one value: what a write sends and an upload brings back.
struct AuxPortConfig
{
    AuxMode mode = AuxMode::NotUse;
    FieldNetSettings fieldNet;
    QList<SensorRow> sensors;
    friend bool operator==(const AuxPortConfig &, const AuxPortConfig &) = default;
};

// The auxiliary port as the tab shows it: mode, Field Net lists and the sensor table, the one
// store that the tab's controls, the transfers and the project file read and replace.
class AuxPort final : public QObject
{
    Q_OBJECT
public:
    explicit AuxPort(QObject *parent = nullptr);

    AuxMode mode() const { return m_mode; }
    // Selecting a mode from code acts like clicking its option: modeChanged is emitted even when
    // the mode stays the same.
    void setMode(AuxMode mode);

    const FieldNetSettings &fieldNet() const { return m_fieldNet; }
    void setFieldNet(const FieldNetSettings &settings);

    SensorTable &sensors() { return m_sensors; }
    const SensorTable &sensors() const { return m_sensors; }

    AuxPortConfig config() const;
    // Lists and sensor table first, then the mode, as a project load or an upload selects it.
    void setConfig(const AuxPortConfig &config);

Q_SIGNALS:
    void modeChanged(AuxMode mode);
    void fieldNetChanged(const FieldNetSettings &settings);

private:
    AuxMode m_mode = AuxMode::NotUse;
    FieldNetSettings m_fieldNet;
    SensorTable m_sensors;
};
