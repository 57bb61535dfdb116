#pragma once

#include "cli/cli_output.h"
#include "common/prompts.h"

#include <QStringList>

#include <cstdio>
#include <optional>

// The prompts of the command line: every message goes to stderr exactly as the window would
// show it, every question is answered OK (the command itself was the confirmation), no file
// is chosen interactively, and progress is shown on stderr only when it is a terminal.
class TerminalPrompts final : public Prompts
{
public:
    explicit TerminalPrompts(std::FILE *err = stderr);
    // On a command's stderr, which may be one port's of several.
    explicit TerminalPrompts(Cli::OutputStream &err);
    TerminalPrompts(const TerminalPrompts &) = delete;
    TerminalPrompts &operator=(const TerminalPrompts &) = delete;

    void message(const QString &text, const Title &title = std::nullopt) override;
    bool question(const QString &text, const Title &title = std::nullopt) override;
    void progressShow() override;
    void progressSet(int percent) override;
    void progressClose() override;

    // Every message shown so far.
    const QStringList &messages() const { return m_messages; }

private:
    std::optional<Cli::OutputStream> m_ownErr;
    Cli::OutputStream &m_err;
    bool m_tty;
    bool m_progressShown = false;
    QStringList m_messages;
};
