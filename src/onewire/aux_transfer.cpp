#include "onewire/aux_transfer.h"

#include "common/errors.h"
#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/config_bracket.h"
#include "link/plc_link.h"
#include "onewire/aux_encoding.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr quint16 ModeWordAddress = 0x200A;
constexpr quint16 SensorAreaAddress = 0x200C;
constexpr int PieceBytes = 64;
constexpr int BytesPerSensor = 10;

const QString E11 = QStringLiteral("E11");
const QString Two = QStringLiteral("02");

int percentOf(qint64 done, qint64 total)
{
    return std::min(100, static_cast<int>(std::nearbyint(100.0 * double(done) / double(total))));
}

bool writeModeWord(PlcLink &link, Prompts &prompts, int timeoutMs, quint16 word)
{
    return configWrite(link, prompts, timeoutMs, E11, wordHex(ModeWordAddress), Two,
                       wordLineHex(word));
}

// The sensor area: one request when it is shorter than a piece, else pieces of 64 bytes with
// the progress bar and a pause after each.
bool writeSensorArea(PlcLink &link, Prompts &prompts, ProgressScope &progress, const QString &block)
{
    const int bytes = static_cast<int>(block.size() / 2);
    if (bytes < PieceBytes) {
        return configWrite(link, prompts, 650, E11, wordHex(SensorAreaAddress),
                           byteHex(static_cast<quint8>(bytes)), block);
    }
    for (int offset = 0; offset < bytes; offset += PieceBytes) {
        const int size = std::min(PieceBytes, bytes - offset);
        if (!configWrite(link, prompts, 650, E11,
                         wordHex(static_cast<quint16>(SensorAreaAddress + offset)),
                         byteHex(static_cast<quint8>(size)), block.mid(2 * offset, 2 * size)))
            return false;
        progress.set(percentOf(offset + size, bytes));
        link.pause(100);
    }
    return true;
}

} // namespace

Outcome writeAuxPort(PlcLink &link, const QString &iniPath, Prompts &prompts,
                     const AuxPortConfig &config)
{
    LinkTransfer transfer(link, iniPath);
    if (!prompts.question(QStringLiteral("You are shure for download configuration to the PLC ? "),
                          QString()))
        return Outcome::Cancelled;

    if (const auto fault = Check_grid_1w(config.sensors)) {
        prompts.message(sensorFaultMessage(*fault), QStringLiteral("Error in configuration"));
        return Outcome::Invalid;
    }
    if (config.mode == AuxMode::FieldNet && !config.fieldNet.isValid())
        throw InputError(QStringLiteral("The Field Net line settings are not in their lists"));

    transfer.open();
    const int n = static_cast<int>(config.sensors.size());
    switch (config.mode) {
    case AuxMode::OnewireMaster: {
        if (!openConfigBracket(link, prompts) ||
            !writeModeWord(link, prompts, 450,
                           Encode_aux_word(AuxMode::OnewireMaster, n, config.fieldNet)))
            return Outcome::PlcFailed;
        // Shown while the table goes out, closed after the bracket is.
        std::optional<ProgressScope> progress;
        if (n >= 1) {
            progress.emplace(prompts);
            if (!writeSensorArea(link, prompts, *progress, Encode_sensor_table(config.sensors)))
                return Outcome::PlcFailed;
        }
        if (!closeConfigBracket(link, prompts))
            return Outcome::PlcFailed;
        break;
    }
    case AuxMode::FieldNet:
        // The one write that goes out without the bracket.
        if (!writeModeWord(link, prompts, 350,
                           Encode_aux_word(AuxMode::FieldNet, 0, config.fieldNet)))
            return Outcome::PlcFailed;
        break;
    case AuxMode::NotUse:
        if (!openConfigBracket(link, prompts) || !writeModeWord(link, prompts, 350, 0) ||
            !closeConfigBracket(link, prompts))
            return Outcome::PlcFailed;
        break;
    }
    return Outcome::Done;
}

Outcome uploadAuxPort(PlcLink &link, const QString &iniPath, Prompts &prompts,
                      AuxPortConfig &config)
{
    LinkTransfer transfer(link, iniPath);
    transfer.open();

    auto timedOut = [&] {
        transfer.close();
        prompts.message(QStringLiteral("Answer timeout from PLC"));
        return Outcome::PlcFailed;
    };

    const auto wordAnswer = link.Read_plc_block(350, wordHex(ModeWordAddress), Two);
    if (!wordAnswer)
        return timedOut();
    const AuxWord word = Decode_aux_word(answerWord(*wordAnswer, 0));

    QList<SensorRow> sensors;
    if (word.mode == AuxMode::OnewireMaster) {
        // The area holds 128 sensors; a larger count cannot be the PLC's table.
        const int count = std::min(word.sensorCount, SensorTable::MaxSensors);
        const int total = count * BytesPerSensor * 2; // characters
        QString area;
        if (count > 0) {
            ProgressScope progress(prompts);
            for (int k = 0; k < total; k += 2 * PieceBytes) {
                const int chars = std::min(2 * PieceBytes, total - k);
                const auto answer = link.Read_plc_block(
                    350, wordHex(static_cast<quint16>(SensorAreaAddress + k / 2)),
                    byteHex(static_cast<quint8>(chars / 2)));
                if (!answer)
                    return timedOut();
                area += QString::fromLatin1(answer->mid(1, chars));
                progress.set(percentOf(k + 2 * PieceBytes, total));
            }
        }
        sensors = Decode_sensor_table(area, count);
    }

    config.mode = word.mode;
    if (word.mode == AuxMode::FieldNet)
        config.fieldNet = word.fieldNet;
    config.sensors = sensors;
    return Outcome::Done;
}
