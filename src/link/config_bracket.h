#pragma once

#include "common/prompts.h"
#include "link/plc_link.h"

// Writes of a configuration download. Each write's answer is tested: a refusal shows
// "Wrong answer from PLC", silence "Answer timeout from PLC", and the caller stops at once
// (its LinkTransfer closes the line, its ProgressScope the progress window).

// One write; false after a refusal or silence, once the message was shown.
bool configWrite(PlcLink &link, Prompts &prompts, int timeoutMs, const QString &command,
                 const QString &address, const QString &count, const QString &data);

// The writes of 0FFF and 0000 to 3000 that frame every configuration download.
bool openConfigBracket(PlcLink &link, Prompts &prompts);
bool closeConfigBracket(PlcLink &link, Prompts &prompts);

// The message for a write that was not accepted, or an empty text for an accepted one.
QString answerMessage(const WriteAnswer &answer);
