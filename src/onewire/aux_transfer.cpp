#include "onewire/aux_transfer.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/plc_address.h"
#include "link/transfer_steps.h"

#include <optional>

Outcome checkAuxPort(const AuxPortConfig &config, Prompts &prompts)
{
    if (const auto fault = Check_grid_1w(config.sensors)) {
        prompts.message(sensorFaultMessage(*fault), QStringLiteral("Error in configuration"));
        return Outcome::Invalid;
    }
    if (config.mode == AuxMode::FieldNet && !config.fieldNet.isValid())
        throw InputError(QStringLiteral("The Field Net line settings are not in their lists"));
    return Outcome::Done;
}

QCoro::Task<> writeAuxPort(PlcLink &link, QString iniPath, Prompts &prompts,
                           const AuxPortConfig &config, WriteReport &report,
                           Confirmation confirmation)
{
    LinkTransfer transfer(link, iniPath, QStringLiteral("Write to PLC, 1-wire"));
    if (!writeMayStart(
            prompts, confirmation, [&] { return checkAuxPort(config, prompts); }, report))
        co_return;

    co_await transfer.open();
    ConfigWriter writer(link, prompts, report);
    auto writeModeWord = [&](std::chrono::milliseconds timeout, quint16 word) {
        return writer.write(timeout, Addr::AuxMode, wordBytes(word));
    };
    const int n = static_cast<int>(config.sensors.size());
    switch (config.mode) {
    case AuxMode::OnewireMaster: {
        const QByteArray area = Encode_sensor_table(config.sensors);
        report.framesPlanned = 3 + (n >= 1 ? pieceCount(area.size()) : 0);
        // Each answer is taken into a variable before it is tested: GCC 12 miscompiles a co_await
        // inside a condition.
        bool written = co_await writer.openBracket();
        if (written) {
            written =
                co_await writeModeWord(Timeout::OnewireModeWord,
                                       Encode_aux_word(AuxMode::OnewireMaster, n, config.fieldNet));
        }
        if (!written)
            co_return;
        // Shown while the table goes out, closed after the bracket is.
        std::optional<ProgressScope> progress;
        if (n >= 1) {
            progress.emplace(prompts);
            written = co_await writer.writePieces(Addr::SensorArea, area, Timeout::Data,
                                                  progress->callback());
            if (!written)
                co_return;
        }
        co_await writer.closeBracket();
        break;
    }
    case AuxMode::FieldNet:
        // The one write that goes out without the bracket.
        report.framesPlanned = 1;
        co_await writeModeWord(Timeout::Word,
                               Encode_aux_word(AuxMode::FieldNet, 0, config.fieldNet));
        break;
    case AuxMode::NotUse: {
        report.framesPlanned = 3;
        bool written = co_await writer.openBracket();
        if (written)
            written = co_await writeModeWord(Timeout::Word, 0);
        if (written)
            co_await writer.closeBracket();
        break;
    }
    }
}

void applyUploadedAux(AuxPort &port, const UploadedAux &uploaded)
{
    AuxPortConfig config = port.config();
    config.mode = uploaded.word.mode;
    if (uploaded.word.mode == AuxMode::FieldNet)
        config.fieldNet = uploaded.word.fieldNet;
    config.sensors = uploaded.sensors;
    port.setConfig(config);
}

QCoro::Task<Result<UploadedAux>> uploadAuxPort(PlcLink &link, QString iniPath, Prompts &prompts)
{
    LinkTransfer transfer(link, iniPath, QStringLiteral("Upload from PLC, 1-wire"));
    co_await transfer.open();
    const auto word = co_await readStatusWord(link, Addr::AuxMode);
    if (!word)
        co_return ended(co_await plcFailed(link, prompts, word.kind));
    const quint16 raw = *word;
    UploadedAux uploaded{Decode_aux_word(raw), {}};
    if (uploaded.word.mode != AuxMode::OnewireMaster)
        co_return Result(uploaded);

    // The area holds 128 sensors; a larger count cannot be the PLC's table.
    const int count = uploaded.word.sensorCount;
    if (count > SensorTable::MaxSensors) {
        co_return ended(co_await plcFailed(
            link, prompts,
            QStringLiteral("1-wire: the PLC sent the mode word %1, which names more than %2 "
                           "sensors. Nothing was changed.")
                .arg(wordHex(raw))
                .arg(SensorTable::MaxSensors)));
    }
    if (count > 0) {
        ProgressScope progress(prompts);
        const auto area = co_await readPieces(link, Addr::SensorArea, SensorRecordBytes * count,
                                              Timeout::Word, progress.callback());
        if (!area)
            co_return ended(co_await plcFailed(link, prompts, area.kind));
        uploaded.sensors = Decode_sensor_table(*area, count);
    }
    co_return Result(uploaded);
}
