#include "modbus/modbus_upload.h"

#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/plc_address.h"
#include "link/transfer_steps.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"

namespace {

// Why a decoded word cannot be taken over, or an empty text when it can.
QString wordFault(const std::optional<PortWord> &word)
{
    if (!word)
        return QStringLiteral("which is no known port setting");
    if (word->parity >= PortLists::parities().size())
        return QStringLiteral("whose parity bits name no parity");
    if (word->mode == PortMode::Master && word->countOrAddress > MaxSlaves)
        return QStringLiteral("which names more than %1 slaves").arg(MaxSlaves);
    return {};
}

} // namespace

QCoro::Task<Result<UploadedPort>> uploadModbusPort(PlcLink &link, QString iniPath, Prompts &prompts,
                                                   const ModbusPortInfo &info)
{
    LinkTransfer transfer(link, iniPath, QStringLiteral("Upload from PLC, ") + info.name);
    co_await transfer.open();
    const auto word = co_await readStatusWord(link, info.portWordAddress);
    if (!word)
        co_return ended(co_await plcFailed(link, prompts, word.kind));
    const quint16 raw = *word;
    const auto decoded = Decode_port_word(raw);
    if (const QString fault = wordFault(decoded); !fault.isEmpty()) {
        co_return ended(
            co_await plcFailed(link, prompts,
                               QStringLiteral("%1: the PLC sent the port settings word %2, "
                                              "%3. Nothing was changed.")
                                   .arg(info.name, wordHex(raw), fault)));
    }

    UploadedPort uploaded{*decoded, {}};
    const int slaves = decoded->countOrAddress;
    if (decoded->mode == PortMode::Master && slaves > 0) {
        ProgressScope progress(prompts);
        const auto records =
            co_await readPieces(link, info.recordsAddress, SlaveRecordBytes * slaves, Timeout::Data,
                                progress.callback());
        if (!records)
            co_return ended(co_await plcFailed(link, prompts, records.kind));
        uploaded.rows = Decode_slave_table(*records, slaves);
    }
    co_return Result(uploaded);
}

void applyUploadedPort(ModbusPort &port, const UploadedPort &uploaded)
{
    const PortWord &word = uploaded.word;
    port.setMode(word.mode);
    switch (word.mode) {
    case PortMode::Master:
        port.setSpeed(word.speed);
        port.setParity(word.parity);
        port.slaves().setItems(uploaded.rows);
        // The placeholder shows the next slot once there are slaves; without any it stays blank.
        if (!uploaded.rows.isEmpty())
            port.slaves().renumber(true);
        break;
    case PortMode::Slave:
        port.setSlaveAddress(QString::number(word.countOrAddress));
        port.setSpeed(word.speed);
        port.setParity(word.parity);
        break;
    case PortMode::NotUse:
        break;
    }
}
