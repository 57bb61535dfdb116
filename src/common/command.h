#pragma once

#include "common/prompts.h"

#include <functional>

// The boundary of one user command: runs it and shows a platform failure's description through
// the prompts, with the application's own title unless told otherwise. A cancelled transfer
// (the window closing) ends quietly. Returns true when the command ran to its end.
bool runCommand(Prompts &prompts, const std::function<void()> &command,
                const Prompts::Title &failureTitle = std::nullopt);
