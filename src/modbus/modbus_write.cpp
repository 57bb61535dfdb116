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

QCoro::Task<> writeModbusPort(PlcLink &link, QString iniPath, Prompts &prompts,
                              const ModbusPort &port, WriteReport &report,
                              Confirmation confirmation)
{
    const ModbusPortInfo &info = port.info();
    LinkTransfer transfer(link, iniPath, QStringLiteral("Write to PLC, ") + info.name);
    if (!writeMayStart(
            prompts, confirmation, [&] { return checkModbusPort(port, prompts); }, report))
        co_return;

    ConfigWriter writer(link, prompts, report);
    // The port settings word alone inside the bracket, then the control word.
    auto writeBracketedWord = [&](quint16 word, quint16 control) -> QCoro::Task<> {
        report.framesPlanned = 4;
        co_await transfer.open();
        // Each answer is taken into a variable before it is tested: GCC 12 miscompiles a co_await
        // inside a condition.
        bool written = co_await writer.openBracket();
        if (written)
            written = co_await writer.write(Timeout::Data, info.portWordAddress, wordBytes(word));
        if (written)
            written = co_await writer.closeBracket();
        if (written)
            co_await writer.writeUntested(Addr::ControlWord, control);
    };
    const TextTable &table = port.slaves();
    switch (port.mode()) {
    case PortMode::Master: {
        const QByteArray records = Encode_slave_table(table);
        report.framesPlanned = 4 + pieceCount(records.size());
        co_await transfer.open();
        const quint16 word =
            Encode_port_word(PortMode::Master, port.speed(), port.parity(), table.itemCount());
        bool written = co_await writer.openBracket();
        if (written)
            written = co_await writer.write(Timeout::Data, info.portWordAddress, wordBytes(word));
        if (!written)
            co_return;
        ProgressScope progress(prompts);
        written = co_await writer.writePieces(info.recordsAddress, records, Timeout::Data,
                                              progress.callback());
        if (written)
            written = co_await writer.closeBracket();
        if (!written)
            co_return;
        co_await writer.writeUntested(Addr::ControlWord, PlcWord::RestartPolling);
        co_await link.pause(SettlePause);
        break;
    }
    case PortMode::Slave:
        co_await writeBracketedWord(Encode_port_word(PortMode::Slave, port.speed(), port.parity(),
                                                     *slaveAddress(port, prompts)),
                                    PlcWord::RestartPolling);
        break;
    case PortMode::NotUse:
        co_await writeBracketedWord(0, PlcWord::StopPort);
        break;
    }
    // A control word the PLC left unanswered is drained from the line before the caller goes on.
    co_await transfer.close();
}
