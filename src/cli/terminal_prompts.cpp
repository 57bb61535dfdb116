#include "cli/terminal_prompts.h"

#include "common/untrusted_text.h"

#include <QString>

TerminalPrompts::TerminalPrompts(std::FILE *err) : m_ownErr(std::in_place, err), m_err(*m_ownErr)
{
    m_tty = m_err.isTerminal();
}

TerminalPrompts::TerminalPrompts(Cli::OutputStream &err) : m_err(err)
{
    m_tty = m_err.isTerminal();
}

void TerminalPrompts::message(const QString &text, const Title &)
{
    if (m_progressShown && m_tty)
        m_err.write(QByteArray("\n"));
    // Exactly the window's text, CR LF line breaks included, so scripts can match it; whatever
    // else could steer the terminal is shown as an escape.
    m_err.write(escapedText(text, true).toLocal8Bit() + '\n');
    m_err.flush();
    m_messages << text;
}

bool TerminalPrompts::question(const QString &, const Title &)
{
    return true;
}

void TerminalPrompts::progressShow()
{
    m_progressShown = true;
}

void TerminalPrompts::progressSet(int percent)
{
    if (!m_tty)
        return;
    m_err.write(QString::asprintf("\r%3d %%", percent).toLatin1());
    m_err.flush();
}

void TerminalPrompts::progressClose()
{
    if (m_progressShown && m_tty) {
        m_err.write(QByteArray("\r      \r"));
        m_err.flush();
    }
    m_progressShown = false;
}
