#include "modbus/modbus_write.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/plc_address.h"
#include "link/transfer_steps.h"
#include "modbus/modbus_port.h"
#include "modbus/port_word.h"
#include "modbus/slave_table.h"

namespace {

const QString ConfigErrorTitle = QStringLiteral("Error in configurations");

// The run-time control word after a port write; the PLC's answer to it is not examined.
void writeControlWord(PlcLink &link, quint16 word)
{
    link.Write_plc_block(Timeout::Data, WriteCommand::RunTime, Addr::ControlWord, wordBytes(word));
}

// The port settings word alone inside the bracket.
bool writeBracketedWord(PlcLink &link, Prompts &prompts, const ModbusPortInfo &info, quint16 word)
{
    return openConfigBracket(link, prompts) &&
           configWrite(link, prompts, Timeout::Data, info.portWordAddress, wordBytes(word)) &&
           closeConfigBracket(link, prompts);
}

// The slave-mode address box as the PLC's own address, or the message that refuses it.
std::optional<int> slaveAddress(const ModbusPort &port, Prompts &prompts)
{
    const auto value = parseDecimal(port.slaveAddress());
    if (!value) {
        prompts.message(QStringLiteral("Please, use only digit n the address field "),
                        ConfigErrorTitle);
        return std::nullopt;
    }
    if (*value < 1 || *value > 247) {
        prompts.message(QStringLiteral("Please, use valid range - address range from 1 to 247 "),
                        ConfigErrorTitle);
        return std::nullopt;
    }
    return static_cast<int>(*roundHalfEven(port.slaveAddress()));
}

} // namespace

Outcome checkModbusPort(const ModbusPort &port, Prompts &prompts)
{
    // The table is checked whatever the mode: it is what master mode would poll.
    if (const auto error = Check_grid(port.slaves())) {
        prompts.message(gridErrorMessage(*error), ConfigErrorTitle);
        return Outcome::Invalid;
    }
    if (port.mode() != PortMode::NotUse && (port.speed() < 0 || port.parity() < 0))
        throw InputError(QStringLiteral("%1: no speed or parity chosen").arg(port.info().name));
    if (port.mode() == PortMode::Slave && !slaveAddress(port, prompts))
        return Outcome::Invalid;
    return Outcome::Done;
}

Outcome writeModbusPort(PlcLink &link, const QString &iniPath, Prompts &prompts,
                        const ModbusPort &port)
{
    const ModbusPortInfo &info = port.info();
    LinkTransfer transfer(link, iniPath, QStringLiteral("Write to PLC, ") + info.name);
    if (!prompts.question(QStringLiteral("You are shure for download configuration to the PLC ? "),
                          QString()))
        return Outcome::Cancelled;

    if (const Outcome checked = checkModbusPort(port, prompts); checked != Outcome::Done)
        return checked;

    const TextTable &table = port.slaves();
    switch (port.mode()) {
    case PortMode::Master: {
        const QByteArray records = Encode_slave_table(table);
        transfer.open();
        const quint16 word =
            Encode_port_word(PortMode::Master, port.speed(), port.parity(), table.itemCount());
        if (!openConfigBracket(link, prompts) ||
            !configWrite(link, prompts, Timeout::Data, info.portWordAddress, wordBytes(word)))
            return Outcome::PlcFailed;
        ProgressScope progress(prompts);
        if (!writePieces(link, prompts, info.recordsAddress, records, Timeout::Data,
                         progress.callback()) ||
            !closeConfigBracket(link, prompts))
            return Outcome::PlcFailed;
        writeControlWord(link, PlcWord::RestartPolling);
        link.pause(SettlePause);
        return Outcome::Done;
    }
    case PortMode::Slave: {
        const auto address = slaveAddress(port, prompts);
        transfer.open();
        if (!writeBracketedWord(
                link, prompts, info,
                Encode_port_word(PortMode::Slave, port.speed(), port.parity(), *address)))
            return Outcome::PlcFailed;
        writeControlWord(link, PlcWord::RestartPolling);
        return Outcome::Done;
    }
    case PortMode::NotUse:
        transfer.open();
        if (!writeBracketedWord(link, prompts, info, 0))
            return Outcome::PlcFailed;
        writeControlWord(link, PlcWord::StopPort);
        return Outcome::Done;
    }
    return Outcome::Done;
}
