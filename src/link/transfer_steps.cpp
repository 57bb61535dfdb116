#include "link/transfer_steps.h"

#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/plc_address.h"

#include <algorithm>

using std::chrono::milliseconds;

Outcome plcFailed(PlcLink &link, Prompts &prompts, AnswerKind kind)
{
    return plcFailed(link, prompts, answerMessage(kind));
}

Outcome plcFailed(PlcLink &link, Prompts &prompts, const QString &message)
{
    link.closeLine();
    prompts.message(message);
    return Outcome::PlcFailed;
}

bool configWrite(PlcLink &link, Prompts &prompts, milliseconds timeout, quint16 address,
                 const QByteArray &data, WriteCommand command)
{
    const WriteAnswer answer = link.Write_plc_block(timeout, command, address, data);
    if (answer.accepted())
        return true;
    plcFailed(link, prompts, answer.kind);
    return false;
}

bool openConfigBracket(PlcLink &link, Prompts &prompts)
{
    return configWrite(link, prompts, Timeout::Bracket, Addr::Bracket,
                       wordBytes(PlcWord::BracketOpen));
}

bool closeConfigBracket(PlcLink &link, Prompts &prompts)
{
    return configWrite(link, prompts, Timeout::Bracket, Addr::Bracket,
                       wordBytes(PlcWord::BracketClose));
}

namespace {
int percentOf(qsizetype done, qsizetype total)
{
    return static_cast<int>(std::min<qsizetype>(100, done * 100 / total));
}
} // namespace

bool writePieces(PlcLink &link, Prompts &prompts, quint16 address, const QByteArray &data,
                 milliseconds timeout, const PieceProgress &progress)
{
    if (data.size() < PieceBytes)
        return configWrite(link, prompts, timeout, address, data);
    for (qsizetype done = 0; done < data.size();) {
        const QByteArray piece = data.mid(done, PieceBytes);
        if (!configWrite(link, prompts, timeout, static_cast<quint16>(address + done), piece))
            return false;
        done += piece.size();
        if (progress)
            progress(percentOf(done, data.size()));
        link.pause(PiecePause);
    }
    return true;
}

PlcRead<QByteArray> readPieces(PlcLink &link, quint16 address, int size, milliseconds timeout,
                               const PieceProgress &progress)
{
    PlcRead<QByteArray> data{AnswerKind::Accepted, {}};
    while (data.value.size() < size) {
        const auto count =
            static_cast<quint8>(std::min<qsizetype>(PieceBytes, size - data.value.size()));
        const auto piece =
            link.Read_plc_block(timeout, static_cast<quint16>(address + data.value.size()), count);
        if (!piece)
            return {piece.kind, {}};
        data.value += *piece;
        if (progress)
            progress(percentOf(data.value.size(), size));
    }
    return data;
}

PlcRead<quint16> readStatusWord(PlcLink &link, quint16 address)
{
    const auto bytes = link.Read_plc_block(Timeout::Word, address, 2);
    return {bytes.kind, wordAt(bytes.value, 0)};
}
