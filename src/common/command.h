#pragma once

#include "common/prompts.h"

#include <QCoroTask>

#include <functional>

// How a command ended at its boundary: ran to its end, was cut off (the window closing), or
// failed, on the platform or on bad input, with the description that was shown.
struct CommandEnd
{
    enum class Kind { Completed, Aborted, Failed };
    Kind kind = Kind::Completed;
    QString failure;
    bool completed() const { return kind == Kind::Completed; }
};

// The boundary of one user command: runs it and shows a failure's description (CommandError)
// through the prompts, with the application's own title unless told otherwise. A cancelled
// transfer (the window closing) ends quietly.
CommandEnd runCommandEnd(Prompts &prompts, const std::function<void()> &command,
                         const Prompts::Title &failureTitle = std::nullopt);
// The same; true when the command ran to its end.
bool runCommand(Prompts &prompts, const std::function<void()> &command,
                const Prompts::Title &failureTitle = std::nullopt);

// The same for a command that waits for the PLC: the body runs as a coroutine, and the boundary
// is held for as long as it does (the body and what it captured live in this frame).
QCoro::Task<CommandEnd> runCommandEndAsync(Prompts &prompts, std::function<QCoro::Task<>()> body,
                                           Prompts::Title failureTitle = std::nullopt);
QCoro::Task<bool> runCommandAsync(Prompts &prompts, std::function<QCoro::Task<>()> body,
                                  Prompts::Title failureTitle = std::nullopt);

// Starts a command's coroutine from a signal and lets it run on by itself. Nobody awaits it, so
// whatever escapes its own boundary is logged here instead of being lost.
void startCommand(QCoro::Task<> command);
