#pragma once

#include "common/outcome.h"
#include "common/result.h"
#include "link/plc_link.h"

#include <QByteArray>

#include <chrono>
#include <functional>

class Prompts;

// The steps transfers are made of. A write's answer is tested: a refusal shows
// "Wrong answer from PLC", silence "Answer timeout from PLC", and the caller stops at once (its
// LinkTransfer closes the line, its ProgressScope the progress window).

// Percent of a transfer in pieces done, after each piece.
using PieceProgress = std::function<void(int percent)>;

// One tested write; false after a refusal or silence, once the line was closed (the PLC is free
// while the user reads the message) and the message was shown.
QCoro::Task<bool> configWrite(PlcLink &link, Prompts &prompts, std::chrono::milliseconds timeout,
                              quint16 address, QByteArray data,
                              WriteCommand command = WriteCommand::Configuration);

// Reads size bytes from address on in 64-byte pieces, reporting progress after each; stops at the
// first piece that does not come whole and sound.
QCoro::Task<PlcRead<QByteArray>> readPieces(PlcLink &link, quint16 address, int size,
                                            std::chrono::milliseconds timeout,
                                            PieceProgress progress = {});

// A status word (a port settings or mode word) read as a block of two bytes.
QCoro::Task<PlcRead<quint16>> readStatusWord(PlcLink &link, quint16 address);

// Ends a command whose request was not answered as it should be: the line is closed, the message
// for the answer shown. A Result made from it ends in PlcFailed.
QCoro::Task<PlcFailure> plcFailed(PlcLink &link, Prompts &prompts, AnswerKind kind);
// The same with a message of the caller's: an answer came but cannot be taken over.
QCoro::Task<PlcFailure> plcFailed(PlcLink &link, Prompts &prompts, QString message);

// Whether a write asks "You are shure for download configuration to the PLC ? " itself, or the
// caller already asked once for several writes.
enum class Confirmation { Ask, Given };

// What a configuration write did on the line, filled as it goes, so the window's status bar, the
// command line and the tests read one account of it. A write that a thrown failure cut short keeps
// the outcome Done with what it got through.
struct WriteReport
{
    Outcome outcome = Outcome::Done;
    PlcFailure failure;       // for PlcFailed: the answer the write stopped at
    int framesPlanned = 0;    // the frames a write that runs to its end sends
    int framesSent = 0;       // tested and untested ones
    bool bracketOpen = false; // the configuration bracket was opened and not closed again

    // The PLC may hold part of the write: it stopped after the bracket was opened.
    bool partial() const { return outcome == Outcome::PlcFailed && bracketOpen; }
};

// "You are shure for download configuration to the PLC ? "
QString downloadQuestion();

// The start every port write shares: the confirmation question (unless given already), then the
// port's checks. False, with the report's outcome saying why, when the write must not go on.
bool writeMayStart(Prompts &prompts, Confirmation confirmation,
                   const std::function<Outcome()> &check, WriteReport &report);

// The requests a table of this many bytes takes: one when shorter than a piece, else one a piece.
int pieceCount(qsizetype bytes);

// The steps of one configuration write on a link, tallied into its report: frames sent, the
// bracket's state, and the answer a failed step stopped at. Failures behave as the free steps.
class ConfigWriter
{
public:
    ConfigWriter(PlcLink &link, Prompts &prompts, WriteReport &report);
    ~ConfigWriter();
    ConfigWriter(const ConfigWriter &) = delete;
    ConfigWriter &operator=(const ConfigWriter &) = delete;

    // One tested write, as configWrite.
    QCoro::Task<bool> write(std::chrono::milliseconds timeout, quint16 address, QByteArray data);
    // The writes of 0FFF and 0000 to 3000 that frame every configuration download.
    QCoro::Task<bool> openBracket();
    QCoro::Task<bool> closeBracket();
    // Writes a table from address on: in one request when it is shorter than a piece, otherwise
    // in 64-byte pieces, reporting progress and pausing after each.
    QCoro::Task<bool> writePieces(quint16 address, QByteArray data,
                                  std::chrono::milliseconds timeout, PieceProgress progress = {});
    // A run-time control word, whose answer is not examined.
    QCoro::Task<> writeUntested(quint16 address, quint16 word);

private:
    PlcLink &m_link;
    Prompts &m_prompts;
    WriteReport &m_report;
    QMetaObject::Connection m_counting;
};
