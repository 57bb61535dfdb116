#include "modbus/modbus_port.h"

#include "common/errors.h"
#include "link/ini_file.h"
#include "modbus/slave_table.h"

QString ModbusPortInfo::cellRefusal(int column) const
{
    return column == SlaveColumn::Address || column == SlaveColumn::Timeout ? refusalAddressColumn
                                                                            : refusalOtherColumns;
}

const ModbusPortInfo &ModbusPortInfo::uart1()
{
    // UART 1 has one refusal text for every column.
    static const ModbusPortInfo info{
        QStringLiteral("UART 1"),
        0x2008,
        0x2502,
        QStringLiteral("1"),
        true,
        QStringLiteral("You are enter incorrect value ! Pls use correct value!"),
        QStringLiteral("You are enter incorrect value ! Pls use correct value!")};
    return info;
}

const ModbusPortInfo &ModbusPortInfo::uart2()
{
    static const ModbusPortInfo info{
        QStringLiteral("UART 2"),
        0x2006,
        0x2902,
        QStringLiteral("2"),
        false,
        QStringLiteral("You are enter incorrect value ! Pls use correct value !"),
        QStringLiteral("You are enter incorrect value !  Pls use correct value !")};
    return info;
}

namespace PortLists {
QStringList modes()
{
    return {QStringLiteral("Modbus master"), QStringLiteral("Modbus slave"),
            QStringLiteral("Not use")};
}
QStringList speeds()
{
    return {QStringLiteral("9600"),   QStringLiteral("19200"),  QStringLiteral("38400"),
            QStringLiteral("57600"),  QStringLiteral("115200"), QStringLiteral("187500"),
            QStringLiteral("256000"), QStringLiteral("500000")};
}
QStringList parities()
{
    return {QStringLiteral("Odd"), QStringLiteral("Even"), QStringLiteral("None")};
}
QStringList bitNumbers()
{
    return {QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
}
QStringList stopBits()
{
    return {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
}
QStringList functions()
{
    return {QStringLiteral("Read coils"), QStringLiteral("Read holding register"),
            QStringLiteral("Write multiply register"), QStringLiteral("Write coils"),
            QStringLiteral("Read input register")};
}
} // namespace PortLists

ModbusPort::ModbusPort(const ModbusPortInfo &info, QObject *parent)
    : QObject(parent), m_info(info), m_slaveAddress(info.initialSlaveAddress),
      m_slaves(new TextTable(slaveTableHeader(), this))
{
    m_slaves->setCentred(true);
}

void ModbusPort::setMode(PortMode mode)
{
    const int index = static_cast<int>(mode);
    if (index < 0 || index >= PortLists::modes().size()) {
        throw InputError(
            QStringLiteral("%1: mode %2 is outside its list").arg(m_info.name).arg(index));
    }
    m_mode = mode;
    Q_EMIT modeSelected(mode);
}

void ModbusPort::setIndex(int &member, int index, int count)
{
    if (index < -1 || index >= count) {
        throw InputError(
            QStringLiteral("%1: list position %2 is outside its list").arg(m_info.name).arg(index));
    }
    if (member == index)
        return;
    member = index;
    Q_EMIT settingsChanged();
}

void ModbusPort::setSpeed(int index)
{
    setIndex(m_speed, index, PortLists::SpeedCount);
}

void ModbusPort::setParity(int index)
{
    setIndex(m_parity, index, PortLists::ParityCount);
}

void ModbusPort::setBitNumber(int index)
{
    setIndex(m_bitNumber, index, PortLists::BitNumberCount);
}

void ModbusPort::setStopBit(int index)
{
    setIndex(m_stopBit, index, PortLists::StopBitCount);
}

void ModbusPort::setSlaveAddress(const QString &text)
{
    if (m_slaveAddress == text)
        return;
    m_slaveAddress = text;
    Q_EMIT settingsChanged();
}

void ModbusPort::setSlaveTimeout(const QString &text)
{
    if (m_slaveTimeout == text)
        return;
    m_slaveTimeout = text;
    Q_EMIT settingsChanged();
}

void ModbusPort::setStartUpValues(const QString &iniPath)
{
    setSpeed(4); // "115200"
    if (m_info.lineDefaultsFromIni) {
        // Start-up must not fail on a hand-edited set.ini: a value that is no position of its
        // list reads as a missing key does, position 0.
        auto stored = [&](const char *key, int count) {
            bool ok = false;
            const int v =
                Read_ini(iniPath, QStringLiteral("COM_MB"), QLatin1String(key), QStringLiteral("0"))
                    .toInt(&ok);
            return ok && v >= 0 && v < count ? v : 0;
        };
        setBitNumber(stored("Bit_num", PortLists::BitNumberCount));
        setStopBit(stored("Stop_bit", PortLists::StopBitCount));
    }
    setMode(PortMode::NotUse);
    // The stored parity of "COM_MB" is overridden by the fixed start choice.
    setParity(2); // "None"
}
