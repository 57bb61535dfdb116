#pragma once

#include "cli/cli_output.h"
#include "cli/terminal_prompts.h"
#include "common/clock.h"
#include "common/outcome.h"
#include "link/frame_tap.h"

#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <memory>

class PlcLink;
class QCommandLineParser;
class PortLine;

namespace Cli {

constexpr int ExitDone = 0;
constexpr int ExitPlc = 1;
constexpr int ExitInput = 2;
constexpr int ExitDiffers = 3;

extern const char *const Usage;

// Bad input: the reason, then the usage line (InputError).
[[noreturn]] void usageError(const QString &why);

int exitFor(Outcome outcome);

QString setIniPath(const QCommandLineParser &parser);

// Everything a command needs: the parsed arguments, set.ini, its output, the prompts and the PLC
// link.
class Session
{
public:
    Session(const QCommandLineParser &parser, const QStringList &positional, Output &output);
    ~Session();

    const QStringList &args() const { return m_args; }
    const QCommandLineParser &parser() const { return m_parser; }
    const QString &iniPath() const { return m_iniPath; }
    TerminalPrompts &prompts() { return m_prompts; }
    Output &output() { return m_output; }
    // A line of output for a person, on the command's stdout.
    void out(const QString &text);

    // Opened on first use, on the port and line the options name.
    PlcLink &link();
    // Where the session's link reports its frames.
    FrameTap &tap() { return m_tap; }
    // The port the link is opened on, as given: --port, else set.ini's COM number ("COM3").
    QString portName() const;
    // Until the link, if one was opened, has let go of its line: the session may go then.
    QCoro::Task<> linkIdle();

private:
    const QCommandLineParser &m_parser;
    QStringList m_args;
    QString m_iniPath;
    Output &m_output;
    TerminalPrompts m_prompts;
    std::unique_ptr<PortLine> m_line;
    SteadyClock m_clock;
    FrameTap m_tap;
    std::unique_ptr<PlcLink> m_link;
};

} // namespace Cli
