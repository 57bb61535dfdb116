#include "modbus/modbus_port.h"

#include "common/errors.h"
#include "link/ini_file.h"
#include "link/line_settings.h"
#include "link/plc_address.h"
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
        Addr::Uart1Port,
        Addr::Uart1Slaves,
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
        Addr::Uart2Port,
        Addr::Uart2Slaves,
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
QStringList parities()
{
    return {QStringLiteral("Odd"), QStringLiteral("Even"), QStringLiteral("None")};
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
    // The placeholder is no slave: text typed there would look like one and never be sent.
    m_slaves->setPlaceholderEditable(false);
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

void ModbusPort::setIndex(int &member, int index, qsizetype count)
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
    setIndex(m_speed, index, LineChoices::speeds().size());
}

void ModbusPort::setParity(int index)
{
    setIndex(m_parity, index, PortLists::parities().size());
}

void ModbusPort::setBitNumber(int index)
{
    setIndex(m_bitNumber, index, LineChoices::dataBits().size());
}

void ModbusPort::setStopBit(int index)
{
    setIndex(m_stopBit, index, LineChoices::stopBits().size());
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
        const QString section = QStringLiteral("COM_MB");
        setBitNumber(readIniPosition(iniPath, section, QStringLiteral("Bit_num"),
                                     LineChoices::dataBits().size()));
        setStopBit(readIniPosition(iniPath, section, QStringLiteral("Stop_bit"),
                                   LineChoices::stopBits().size()));
    }
    setMode(PortMode::NotUse);
    // The stored parity of "COM_MB" is overridden by the fixed start choice.
    setParity(2); // "None"
}
