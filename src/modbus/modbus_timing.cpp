#include "modbus/modbus_timing.h"

#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"

#include <iterator>

namespace {

// The data bytes of `count` coils: eight to a byte.
int coilBytes(int count)
{
    return (qMax(count, 0) + 7) / 8;
}

// Each Function column index (SlaveFunction order): its Modbus function code and the most one
// request may move by the Modbus application protocol.
struct FunctionFacts
{
    int code;
    int quantityLimit;
};
constexpr FunctionFacts Functions[] = {{1, 2000}, {3, 125}, {16, 123}, {15, 1968}, {4, 125}};
constexpr int FunctionCount = int(std::size(Functions));

} // namespace

int modbusFunctionCode(int function)
{
    return function >= 0 && function < FunctionCount ? Functions[function].code : 0;
}

int modbusQuantityLimit(int function)
{
    return function >= 0 && function < FunctionCount ? Functions[function].quantityLimit : 125;
}

QString modbusFunctionTip(int function)
{
    const int code = modbusFunctionCode(function);
    if (code == 0)
        return {};
    return QStringLiteral("%1, function %2")
        .arg(PortLists::functions().at(function))
        .arg(code, 2, 10, QLatin1Char('0'));
}

QStringList modbusFunctionChoices()
{
    QStringList choices;
    for (int f = 0; f < FunctionCount; ++f) {
        choices << QStringLiteral("%1 - %2 (FC %3)")
                       .arg(f)
                       .arg(PortLists::functions().at(f))
                       .arg(Functions[f].code);
    }
    return choices;
}

int modbusRequestBytes(int function, int count)
{
    // Address, function, first address, quantity, CRC; a write adds a byte count and its data.
    if (isReadFunction(function))
        return 8;
    const int data = isCoilFunction(function) ? coilBytes(count) : 2 * qMax(count, 0);
    return 9 + data;
}

int modbusAnswerBytes(int function, int count)
{
    // A read answers address, function, byte count, the data and CRC; a write echoes its first
    // address and quantity.
    if (!isReadFunction(function))
        return 8;
    return 5 + (isCoilFunction(function) ? coilBytes(count) : 2 * qMax(count, 0));
}

LineSettings modbusPortLine(const ModbusPort &port)
{
    LineSettings line;
    line.baudRate = LineChoices::speeds().value(port.speed(), QStringLiteral("115200")).toInt();
    static const LineSettings::Parity parities[] = {
        LineSettings::Parity::Odd, LineSettings::Parity::Even, LineSettings::Parity::None};
    line.parity = port.parity() >= 0 && port.parity() < 3 ? parities[port.parity()]
                                                          : LineSettings::Parity::None;
    if (port.bitNumber() >= 0)
        line.dataBits =
            LineChoices::dataBits().value(port.bitNumber(), QStringLiteral("8")).toInt();
    if (port.stopBit() >= 0 && port.stopBit() < 3)
        line.stopBits = static_cast<LineSettings::StopBits>(port.stopBit());
    return line;
}

double modbusFrameMs(const LineSettings &line, int bytes)
{
    return (bytes + 3.5) * line.bitsPerCharacter() * 1000.0 / line.baudRate;
}
