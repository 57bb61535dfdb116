#include "project/port_texts.h"

#include "link/line_settings.h"
#include "modbus/modbus_port.h"
#include "onewire/aux_port.h"

QString listItem(const QStringList &list, int index)
{
    return index >= 0 && index < list.size() ? list[index] : QString();
}

QString portModeText(const ModbusPort &port)
{
    return listItem(PortLists::modes(), int(port.mode()));
}

QString auxModeText(AuxMode mode)
{
    return listItem(auxModeNames(), int(mode));
}

QString functionText(int function)
{
    return listItem(PortLists::functions(), function);
}

QString romText(const SensorRow &row)
{
    QString rom;
    for (const QString &b : row.rom)
        rom += b.toUpper();
    return rom;
}

QString lineSettingsText(const ModbusPort &port)
{
    QString t = QStringLiteral("%1 bit/s, parity %2")
                    .arg(listItem(LineChoices::speeds(), port.speed()),
                         listItem(PortLists::parities(), port.parity()));
    if (port.bitNumber() >= 0)
        t += QStringLiteral(", %1 data bits")
                 .arg(listItem(LineChoices::dataBits(), port.bitNumber()));
    if (port.stopBit() >= 0)
        t +=
            QStringLiteral(", stop bits %1").arg(listItem(LineChoices::stopBits(), port.stopBit()));
    return t;
}
