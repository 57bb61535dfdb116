#pragma once

// How a user command ended, for callers that care (the command line's exit status, tests).
// Whatever the user had to be told was already shown through the prompts.
enum class Outcome {
    Done,      // ran to its end
    Cancelled, // the user said Cancel, or chose no file
    Invalid,   // a check refused the input (a validation message was shown)
    PlcFailed, // the PLC refused or did not answer ("Wrong answer from PLC", "Answer timeout ...")
};
