#include "common/command.h"

#include "common/errors.h"

bool runCommand(Prompts &prompts, const std::function<void()> &command,
                const Prompts::Title &failureTitle)
{
    try {
        command();
        return true;
    } catch (const TransferAborted &) {
        return false;
    } catch (const PlatformError &e) {
        prompts.message(e.description(), failureTitle);
        return false;
    }
}
