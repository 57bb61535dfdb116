#include "common/command.h"

#include "common/errors.h"

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
