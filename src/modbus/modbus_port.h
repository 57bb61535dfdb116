#pragma once

#include "common/text_table.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The three modes of a Modbus port, numbered as the option buttons are.
enum class PortMode { Master = 0, Slave = 1, NotUse = 2 };

// What tells UART 1 from UART 2 outside the window: PLC addresses and the port's own texts.
// Both ports run the same procedures on their own descriptor.
struct ModbusPortInfo
{
    QString name;                 // "UART 1"
    quint16 portWordAddress;      // the port settings word
    quint16 recordsAddress;       // slave record 1; record k follows at + 8 (k - 1)
    QString initialSlaveAddress;  // the slave-mode address box before anything is chosen
    bool lineDefaultsFromIni;     // bit number and stop bit start from set.ini "COM_MB"
    QString refusalAddressColumn; // the in-cell editor's refusal, Address and Timeout columns
    QString refusalOtherColumns;  // and columns Num word to Function

    // The refusal text of the in-cell editor for a column of the slave table.
    QString cellRefusal(int column) const;

    static const ModbusPortInfo &uart1();
    static const ModbusPortInfo &uart2();
};

// Choices of the port's lists, in list order: the models keep the list positions. Speeds, bit
// numbers and stop bits are those of LineChoices.
namespace PortLists {
QStringList modes();     // "Modbus master", "Modbus slave", "Not use"
QStringList parities();  // "Odd", "Even", "None": the order of the port settings word
QStringList functions(); // "Read coils" ... "Read input register"
} // namespace PortLists

// One Modbus port: mode, line settings, the slave-mode fields and the slave table polled in
// master mode. The table is the grid's store; writes, saves and uploads read or replace it here.
class ModbusPort : public QObject
{
    Q_OBJECT
public:
    explicit ModbusPort(const ModbusPortInfo &info, QObject *parent = nullptr);

    const ModbusPortInfo &info() const { return m_info; }

    PortMode mode() const { return m_mode; }
    // Selecting a mode announces it even when it was already chosen: selecting is what the
    // window reacts to (frames shown and hidden), as when the user clicks the option again.
    // A value outside the three modes is refused with InputError.
    void setMode(PortMode mode);

    // List positions; -1 means nothing chosen (UART 2's bit number and stop bit at start).
    // A position outside its list is refused with InputError and changes nothing.
    int speed() const { return m_speed; }
    void setSpeed(int index);
    int parity() const { return m_parity; }
    void setParity(int index);
    int bitNumber() const { return m_bitNumber; }
    void setBitNumber(int index);
    int stopBit() const { return m_stopBit; }
    void setStopBit(int index);

    // The slave-mode boxes, as typed.
    QString slaveAddress() const { return m_slaveAddress; }
    void setSlaveAddress(const QString &text);
    QString slaveTimeout() const { return m_slaveTimeout; }
    void setSlaveTimeout(const QString &text);

    // Slave rows: column 0 Slot, then the columns of SlaveColumn (slave_table.h).
    TextTable &slaves() { return *m_slaves; }
    const TextTable &slaves() const { return *m_slaves; }

    // The values of a fresh window: "Not use", "115200", "None"; UART 1 takes its bit number and
    // stop bit from section "COM_MB" of set.ini, a missing or unusable value counting as 0.
    void setStartUpValues(const QString &iniPath);

Q_SIGNALS:
    void modeSelected(PortMode mode);
    // Any of the lists or slave-mode boxes changed.
    void settingsChanged();

private:
    void setIndex(int &member, int index, qsizetype count);

    const ModbusPortInfo &m_info;
    PortMode m_mode = PortMode::NotUse;
    int m_speed = 4;
    int m_parity = 2;
    int m_bitNumber = -1;
    int m_stopBit = -1;
    QString m_slaveAddress;
    QString m_slaveTimeout = QStringLiteral("2");
    TextTable *m_slaves;
};
