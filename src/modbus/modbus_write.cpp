#include "modbus/modbus_write.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/config_bracket.h"
#include "link/plc_link.h"
#include "modbus/modbus_port.h"
#include "modbus/port_word.h"
#include "modbus/slave_table.h"

namespace {

const QString ConfigErrorTitle = QStringLiteral("Error in configurations");
constexpr int DataTimeoutMs = 650;
constexpr int PieceChars = 128; // 64 bytes
constexpr quint16 ControlWordAddress = 0x2002;

// The run-time control word after a port write; the PLC's answer to it is not examined.
void writeControlWord(PlcLink &link, const QString &data)
{
    link.Write_plc_block(DataTimeoutMs, QStringLiteral("E10"), wordHex(ControlWordAddress),
                         QStringLiteral("02"), data);
}

bool writePortWord(PlcLink &link, Prompts &prompts, const ModbusPortInfo &info, quint16 word)
{
    return configWrite(link, prompts, DataTimeoutMs, QStringLiteral("E11"),
                       wordHex(info.portWordAddress), QStringLiteral("02"), wordLineHex(word));
}

// The slave records: one request when they fit in 64 bytes, else 64-byte pieces with the
// progress bar and a pause after each, so the PLC can store one before the next comes.
bool writeRecords(PlcLink &link, Prompts &prompts, const ModbusPortInfo &info,
                  const QString &records, ProgressScope &progress)
{
    if (records.size() < PieceChars) {
        return configWrite(link, prompts, DataTimeoutMs, QStringLiteral("E11"),
                           wordHex(info.recordsAddress),
                           byteHex(static_cast<quint8>(records.size() / 2)), records);
    }
    for (qsizetype sent = 0, k = 0; sent < records.size(); ++k) {
        const QString piece = records.mid(sent, PieceChars);
        const auto address = static_cast<quint16>(info.recordsAddress + 64 * k);
        if (!configWrite(link, prompts, DataTimeoutMs, QStringLiteral("E11"), wordHex(address),
                         byteHex(static_cast<quint8>(piece.size() / 2)), piece))
            return false;
        sent += piece.size();
        progress.set(static_cast<int>(qMin<qsizetype>(100, sent * 100 / records.size())));
        link.pause(100);
    }
    return true;
}

} // namespace

Outcome writeModbusPort(PlcLink &link, const QString &iniPath, Prompts &prompts,
                        const ModbusPort &port)
{
    const ModbusPortInfo &info = port.info();
    LinkTransfer transfer(link, iniPath);
    if (!prompts.question(QStringLiteral("You are shure for download configuration to the PLC ? "),
                          QString()))
        return Outcome::Cancelled;

    // The table is checked whatever the mode: it is what master mode would poll.
    const TextTable &table = port.slaves();
    if (const auto error = Check_grid(table)) {
        prompts.message(gridErrorMessage(*error), ConfigErrorTitle);
        return Outcome::Invalid;
    }
    if (port.mode() != PortMode::NotUse && (port.speed() < 0 || port.parity() < 0))
        throw InputError(QStringLiteral("%1: no speed or parity chosen").arg(info.name));

    switch (port.mode()) {
    case PortMode::Master: {
        const QString records = Encode_slave_table(table);
        transfer.open();
        if (!openConfigBracket(link, prompts))
            return Outcome::PlcFailed;
        const quint16 word =
            Encode_port_word(PortMode::Master, port.speed(), port.parity(), table.itemCount());
        if (!writePortWord(link, prompts, info, word))
            return Outcome::PlcFailed;
        ProgressScope progress(prompts);
        if (!writeRecords(link, prompts, info, records, progress))
            return Outcome::PlcFailed;
        if (!closeConfigBracket(link, prompts))
            return Outcome::PlcFailed;
        writeControlWord(link, QStringLiteral("0080"));
        link.pause(100);
        return Outcome::Done;
    }
    case PortMode::Slave: {
        const auto value = parseDecimal(port.slaveAddress());
        if (!value) {
            prompts.message(QStringLiteral("Please, use only digit n the address field "),
                            ConfigErrorTitle);
            return Outcome::Invalid;
        }
        if (*value < 1 || *value > 247) {
            prompts.message(
                QStringLiteral("Please, use valid range - address range from 1 to 247 "),
                ConfigErrorTitle);
            return Outcome::Invalid;
        }
        const int address = static_cast<int>(*roundHalfEven(port.slaveAddress()));
        transfer.open();
        if (!openConfigBracket(link, prompts) ||
            !writePortWord(
                link, prompts, info,
                Encode_port_word(PortMode::Slave, port.speed(), port.parity(), address)) ||
            !closeConfigBracket(link, prompts))
            return Outcome::PlcFailed;
        writeControlWord(link, QStringLiteral("0080"));
        return Outcome::Done;
    }
    case PortMode::NotUse:
        transfer.open();
        if (!openConfigBracket(link, prompts) || !writePortWord(link, prompts, info, 0) ||
            !closeConfigBracket(link, prompts))
            return Outcome::PlcFailed;
        writeControlWord(link, QStringLiteral("8000"));
        return Outcome::Done;
    }
    return Outcome::Done;
}
