#include "modbus/modbus_upload.h"

#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/plc_link.h"
#include "modbus/modbus_port.h"
#include "modbus/slave_table.h"

#include <optional>

namespace {

constexpr int WordTimeoutMs = 350;
constexpr int RecordTimeoutMs = 650;
constexpr int PieceBytes = 64;

// The data digits of a block-read answer (they follow its first character), or nothing when the
// answer did not come whole.
std::optional<QString> answerData(const std::optional<QByteArray> &answer, int bytes)
{
    if (!answer || answer->size() < 1 + 2 * bytes)
        return std::nullopt;
    return QString::fromLatin1(answer->mid(1, 2 * bytes));
}

// Why a decoded word cannot be taken over, or an empty text when it can.
QString wordFault(const std::optional<PortWord> &word)
{
    if (!word)
        return QStringLiteral("which is no known port setting");
    if (word->parity >= PortLists::ParityCount)
        return QStringLiteral("whose parity bits name no parity");
    if (word->mode == PortMode::Master && word->countOrAddress > MaxSlaves)
        return QStringLiteral("which names more than %1 slaves").arg(MaxSlaves);
    return {};
}

struct ReadResult
{
    std::optional<UploadedPort> port;
    QString failure; // what to tell the user when nothing is taken over
};

ReadResult readPort(PlcLink &link, Prompts &prompts, const ModbusPortInfo &info)
{
    const QString timedOut = QStringLiteral("Answer timeout from PLC");
    const auto wordData = answerData(
        link.Read_plc_block(WordTimeoutMs, wordHex(info.portWordAddress), QStringLiteral("02")), 2);
    if (!wordData)
        return {std::nullopt, timedOut};
    // Low byte first on the line.
    const auto raw =
        static_cast<quint16>(PlcLink::Hex_to_int(wordData->mid(2, 2) + wordData->left(2)));
    const auto word = Decode_port_word(raw);
    if (const QString fault = wordFault(word); !fault.isEmpty()) {
        return {std::nullopt, QStringLiteral("%1: the PLC sent the port settings word %2, %3. "
                                             "Nothing was changed.")
                                  .arg(info.name, wordHex(raw), fault)};
    }

    UploadedPort uploaded{*word, {}};
    if (word->mode == PortMode::Master && word->countOrAddress > 0) {
        const int total = 8 * word->countOrAddress;
        QString hex;
        ProgressScope progress(prompts);
        for (int done = 0, k = 0; done < total; ++k) {
            const int bytes = qMin(PieceBytes, total - done);
            const auto address = static_cast<quint16>(info.recordsAddress + PieceBytes * k);
            const auto data = answerData(link.Read_plc_block(RecordTimeoutMs, wordHex(address),
                                                             byteHex(static_cast<quint8>(bytes))),
                                         bytes);
            if (!data)
                return {std::nullopt, timedOut};
            hex += *data;
            done += bytes;
            progress.set(done * 100 / total);
        }
        uploaded.rows = Decode_slave_table(hex, word->countOrAddress);
    }
    return {uploaded, {}};
}

} // namespace

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

Outcome uploadModbusPort(PlcLink &link, const QString &iniPath, Prompts &prompts, ModbusPort &port)
{
    LinkTransfer transfer(link, iniPath);
    transfer.open();
    const ReadResult result = readPort(link, prompts, port.info());
    // The PLC is free again before anything is shown or changed.
    transfer.close();
    if (!result.port) {
        prompts.message(result.failure);
        return Outcome::PlcFailed;
    }
    applyUploadedPort(port, *result.port);
    return Outcome::Done;
}
