#pragma once

#include "common/outcome.h"
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
bool configWrite(PlcLink &link, Prompts &prompts, std::chrono::milliseconds timeout,
                 quint16 address, const QByteArray &data,
                 WriteCommand command = WriteCommand::Configuration);

// The writes of 0FFF and 0000 to 3000 that frame every configuration download.
bool openConfigBracket(PlcLink &link, Prompts &prompts);
bool closeConfigBracket(PlcLink &link, Prompts &prompts);

// Writes a table from address on: in one request when it is shorter than a piece, otherwise in
// 64-byte pieces, reporting progress and pausing after each. False as configWrite.
bool writePieces(PlcLink &link, Prompts &prompts, quint16 address, const QByteArray &data,
                 std::chrono::milliseconds timeout, const PieceProgress &progress = {});

// Reads size bytes from address on in 64-byte pieces, reporting progress after each; stops at the
// first piece that does not come whole and sound.
PlcRead<QByteArray> readPieces(PlcLink &link, quint16 address, int size,
                               std::chrono::milliseconds timeout,
                               const PieceProgress &progress = {});

// A status word (a port settings or mode word) read as a block of two bytes.
PlcRead<quint16> readStatusWord(PlcLink &link, quint16 address);

// Ends a command whose request was not answered as it should be: the line is closed, the message
// for the answer shown. Always PlcFailed.
Outcome plcFailed(PlcLink &link, Prompts &prompts, AnswerKind kind);
// The same with a message of the caller's: an answer came but cannot be taken over.
Outcome plcFailed(PlcLink &link, Prompts &prompts, const QString &message);
