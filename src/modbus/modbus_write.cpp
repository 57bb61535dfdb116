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

void writeModbusPort(PlcLink &link, const QString &iniPath, Prompts &prompts,
                     const ModbusPort &port, WriteReport &report, Confirmation confirmation)
{
    const ModbusPortInfo &info = port.info();
    LinkTransfer transfer(link, iniPath, QStringLiteral("Write to PLC, ") + info.name);
    if (!writeMayStart(
            prompts, confirmation, [&] { return checkModbusPort(port, prompts); }, report))
        return;

    ConfigWriter writer(link, prompts, report);
    // The port settings word alone inside the bracket, then the control word.
    auto writeBracketedWord = [&](quint16 word, quint16 control) {
        report.framesPlanned = 4;
        transfer.open();
        if (writer.openBracket() &&
            writer.write(Timeout::Data, info.portWordAddress, wordBytes(word)) &&
            writer.closeBracket())
            writer.writeUntested(Addr::ControlWord, control);
    };
    const TextTable &table = port.slaves();
    switch (port.mode()) {
    case PortMode::Master: {
        const QByteArray records = Encode_slave_table(table);
        report.framesPlanned = 4 + pieceCount(records.size());
        transfer.open();
        const quint16 word =
            Encode_port_word(PortMode::Master, port.speed(), port.parity(), table.itemCount());
        if (!writer.openBracket() ||
            !writer.write(Timeout::Data, info.portWordAddress, wordBytes(word)))
            return;
        ProgressScope progress(prompts);
        if (!writer.writePieces(info.recordsAddress, records, Timeout::Data, progress.callback()) ||
            !writer.closeBracket())
            return;
        writer.writeUntested(Addr::ControlWord, PlcWord::RestartPolling);
        link.pause(SettlePause);
        break;
    }
    case PortMode::Slave:
        writeBracketedWord(Encode_port_word(PortMode::Slave, port.speed(), port.parity(),
                                            *slaveAddress(port, prompts)),
                           PlcWord::RestartPolling);
        break;
    case PortMode::NotUse:
        writeBracketedWord(0, PlcWord::StopPort);
        break;
    }
}
