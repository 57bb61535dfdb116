#include "link/transfer_steps.h"

#include "common/hex_text.h"
#include "common/prompts.h"
#include "link/frame_tap.h"
#include "link/plc_address.h"

#include <algorithm>
#include <optional>

using std::chrono::milliseconds;

PlcFailure plcFailed(PlcLink &link, Prompts &prompts, AnswerKind kind)
{
    PlcFailure failure = plcFailed(link, prompts, answerMessage(kind));
    failure.answerFault = true;
    return failure;
}

PlcFailure plcFailed(PlcLink &link, Prompts &prompts, const QString &message)
{
    link.closeLine();
    prompts.message(message);
    return {message, false};
}

namespace {

int percentOf(qsizetype done, qsizetype total)
{
    return static_cast<int>(std::min<qsizetype>(100, done * 100 / total));
}

// One tested write: nothing when accepted, otherwise how it failed (the line closed, the message
// shown).
std::optional<PlcFailure> testedWrite(PlcLink &link, Prompts &prompts, milliseconds timeout,
                                      quint16 address, const QByteArray &data, WriteCommand command)
{
    const WriteAnswer answer = link.Write_plc_block(timeout, command, address, data);
    if (answer.accepted())
        return std::nullopt;
    return plcFailed(link, prompts, answer.kind);
}

} // namespace

bool configWrite(PlcLink &link, Prompts &prompts, milliseconds timeout, quint16 address,
                 const QByteArray &data, WriteCommand command)
{
    return !testedWrite(link, prompts, timeout, address, data, command);
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
    m_counting = QObject::connect(
        &FrameTap::instance(), &FrameTap::happened, &link, [this](const LinkEvent &event) {
            if (event.link == &m_link && event.kind == LinkEvent::Kind::Sent)
                ++m_report.framesSent;
        });
}

ConfigWriter::~ConfigWriter()
{
    QObject::disconnect(m_counting);
}

bool ConfigWriter::write(milliseconds timeout, quint16 address, const QByteArray &data)
{
    const auto failure =
        testedWrite(m_link, m_prompts, timeout, address, data, WriteCommand::Configuration);
    if (!failure)
        return true;
    m_report.failure = *failure;
    m_report.outcome = Outcome::PlcFailed;
    return false;
}

bool ConfigWriter::openBracket()
{
    if (!write(Timeout::Bracket, Addr::Bracket, wordBytes(PlcWord::BracketOpen)))
        return false;
    m_report.bracketOpen = true;
    return true;
}

bool ConfigWriter::closeBracket()
{
    if (!write(Timeout::Bracket, Addr::Bracket, wordBytes(PlcWord::BracketClose)))
        return false;
    m_report.bracketOpen = false;
    return true;
}

bool ConfigWriter::writePieces(quint16 address, const QByteArray &data, milliseconds timeout,
                               const PieceProgress &progress)
{
    if (data.size() < PieceBytes)
        return write(timeout, address, data);
    for (qsizetype done = 0; done < data.size();) {
        const QByteArray piece = data.mid(done, PieceBytes);
        if (!write(timeout, static_cast<quint16>(address + done), piece))
            return false;
        done += piece.size();
        if (progress)
            progress(percentOf(done, data.size()));
        m_link.pause(PiecePause);
    }
    return true;
}

void ConfigWriter::writeUntested(quint16 address, quint16 word)
{
    m_link.Write_plc_block(Timeout::Data, WriteCommand::RunTime, address, wordBytes(word));
}
