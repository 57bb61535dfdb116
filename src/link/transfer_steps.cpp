#include "link/transfer_steps.h"

#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/frame_tap.h"
#include "link/plc_address.h"

#include <algorithm>
#include <optional>

using std::chrono::milliseconds;

QCoro::Task<PlcFailure> plcFailed(PlcLink &link, Prompts &prompts, AnswerKind kind)
{
    PlcFailure failure = co_await plcFailed(link, prompts, answerMessage(kind));
    failure.answerFault = true;
    co_return failure;
}

QCoro::Task<PlcFailure> plcFailed(PlcLink &link, Prompts &prompts, QString message)
{
    co_await link.closeLine();
    prompts.message(message);
    co_return PlcFailure{message, false};
}

namespace {

int percentOf(qsizetype done, qsizetype total)
{
    return static_cast<int>(std::min<qsizetype>(100, done * 100 / total));
}

// One tested write: nothing when accepted, otherwise how it failed (the line closed, the message
// shown).
QCoro::Task<std::optional<PlcFailure>> testedWrite(PlcLink &link, Prompts &prompts,
                                                   milliseconds timeout, quint16 address,
                                                   QByteArray data, WriteCommand command)
{
    const WriteAnswer answer = co_await link.Write_plc_block(timeout, command, address, data);
    if (answer.accepted())
        co_return std::nullopt;
    co_return co_await plcFailed(link, prompts, answer.kind);
}

} // namespace

QCoro::Task<bool> configWrite(PlcLink &link, Prompts &prompts, milliseconds timeout,
                              quint16 address, QByteArray data, WriteCommand command)
{
    const auto failure = co_await testedWrite(link, prompts, timeout, address, data, command);
    co_return !failure;
}

QCoro::Task<PlcRead<QByteArray>> readPieces(PlcLink &link, quint16 address, int size,
                                            milliseconds timeout, PieceProgress progress)
{
    PlcRead<QByteArray> data{AnswerKind::Accepted, {}};
    while (data.value.size() < size) {
        const auto count =
            static_cast<quint8>(std::min<qsizetype>(PieceBytes, size - data.value.size()));
        const auto piece = co_await link.Read_plc_block(
            timeout, static_cast<quint16>(address + data.value.size()), count);
        if (!piece)
            co_return PlcRead<QByteArray>{piece.kind, {}};
        data.value += *piece;
        if (progress)
            progress(percentOf(data.value.size(), size));
    }
    co_return data;
}

QCoro::Task<PlcRead<quint16>> readStatusWord(PlcLink &link, quint16 address)
{
    const auto bytes = co_await link.Read_plc_block(Timeout::Word, address, 2);
    co_return PlcRead<quint16>{bytes.kind, wordAt(bytes.value, 0)};
}

QString downloadQuestion()
{
    return QStringLiteral("You are shure for download configuration to the PLC ? ");
}

bool writeMayStart(Prompts &prompts, Confirmation confirmation,
                   const std::function<Outcome()> &check, WriteReport &report)
{
    report = {};
    if (confirmation == Confirmation::Ask && !prompts.question(downloadQuestion(), QString()))
        report.outcome = Outcome::Cancelled;
    else
        report.outcome = check();
    return report.outcome == Outcome::Done;
}

int pieceCount(qsizetype bytes)
{
    return bytes < PieceBytes ? 1 : static_cast<int>((bytes + PieceBytes - 1) / PieceBytes);
}

ConfigWriter::ConfigWriter(PlcLink &link, Prompts &prompts, WriteReport &report)
    : m_link(link), m_prompts(prompts), m_report(report)
{
    // Every frame the link sends while this writer lives belongs to the write.
    m_counting =
        QObject::connect(&link.tap(), &FrameTap::happened, &link, [this](const LinkEvent &event) {
            if (event.link == &m_link && event.kind == LinkEvent::Kind::Sent)
                ++m_report.framesSent;
        });
}

ConfigWriter::~ConfigWriter()
{
    QObject::disconnect(m_counting);
}

QCoro::Task<bool> ConfigWriter::write(milliseconds timeout, quint16 address, QByteArray data)
{
    const auto failure = co_await testedWrite(m_link, m_prompts, timeout, address, data,
                                              WriteCommand::Configuration);
    if (!failure)
        co_return true;
    m_report.failure = *failure;
    m_report.outcome = Outcome::PlcFailed;
    co_return false;
}

QCoro::Task<bool> ConfigWriter::openBracket()
{
    // The answer is taken into a variable before it is tested: GCC 12 miscompiles a co_await
    // inside a condition.
    const bool written =
        co_await write(Timeout::Bracket, Addr::Bracket, wordBytes(PlcWord::BracketOpen));
    if (!written)
        co_return false;
    m_report.bracketOpen = true;
    co_return true;
}

QCoro::Task<bool> ConfigWriter::closeBracket()
{
    const bool written =
        co_await write(Timeout::Bracket, Addr::Bracket, wordBytes(PlcWord::BracketClose));
    if (!written)
        co_return false;
    m_report.bracketOpen = false;
    co_return true;
}

QCoro::Task<bool> ConfigWriter::writePieces(quint16 address, QByteArray data, milliseconds timeout,
                                            PieceProgress progress)
{
    if (data.size() < PieceBytes)
        co_return co_await write(timeout, address, data);
    for (qsizetype done = 0; done < data.size();) {
        const QByteArray piece = data.mid(done, PieceBytes);
        const bool written = co_await write(timeout, static_cast<quint16>(address + done), piece);
        if (!written)
            co_return false;
        done += piece.size();
        if (progress)
            progress(percentOf(done, data.size()));
        co_await m_link.pause(PiecePause);
    }
    co_return true;
}

QCoro::Task<> ConfigWriter::writeUntested(quint16 address, quint16 word)
{
    co_await m_link.Write_plc_block(Timeout::Data, WriteCommand::RunTime, address, wordBytes(word));
}
