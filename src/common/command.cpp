#include "common/command.h"

#include "common/errors.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(plcCommandLog, "plc.command", QtInfoMsg)

CommandEnd runCommandEnd(Prompts &prompts, const std::function<void()> &command,
                         const Prompts::Title &failureTitle)
{
    try {
        command();
        return {};
    } catch (const TransferAborted &) {
        return {CommandEnd::Kind::Aborted, {}};
    } catch (const CommandError &e) {
        prompts.message(e.description(), failureTitle);
        return {CommandEnd::Kind::Failed, e.description()};
    }
}

bool runCommand(Prompts &prompts, const std::function<void()> &command,
                const Prompts::Title &failureTitle)
{
    return runCommandEnd(prompts, command, failureTitle).completed();
}

QCoro::Task<CommandEnd> runCommandEndAsync(Prompts &prompts, std::function<QCoro::Task<>()> body,
                                           Prompts::Title failureTitle)
{
    try {
        co_await body();
        co_return CommandEnd{};
    } catch (const TransferAborted &) {
        co_return CommandEnd{CommandEnd::Kind::Aborted, {}};
    } catch (const CommandError &e) {
        prompts.message(e.description(), failureTitle);
        co_return CommandEnd{CommandEnd::Kind::Failed, e.description()};
    }
}

QCoro::Task<bool> runCommandAsync(Prompts &prompts, std::function<QCoro::Task<>()> body,
                                  Prompts::Title failureTitle)
{
    const CommandEnd end =
        co_await runCommandEndAsync(prompts, std::move(body), std::move(failureTitle));
    co_return end.completed();
}

namespace {

QCoro::Task<> runDetached(QCoro::Task<> command)
{
    try {
        co_await std::move(command);
    } catch (const std::exception &e) {
        qCCritical(plcCommandLog) << "A command ended on an unexpected failure:" << e.what();
    } catch (...) {
        qCCritical(plcCommandLog) << "A command ended on an unexpected failure";
    }
}

} // namespace

void startCommand(QCoro::Task<> command)
{
    runDetached(std::move(command));
}
