#include "cli/terminal_prompts.h"

#include "common/untrusted_text.h"

#include <QString>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

TerminalPrompts::TerminalPrompts(std::FILE *err) : m_err(err)
{
#ifdef Q_OS_UNIX
    m_tty = isatty(fileno(err));
#else
    m_tty = false;
#endif
}

void TerminalPrompts::message(const QString &text, const Title &)
{
    if (m_progressShown && m_tty)
        std::fputs("\n", m_err);
    // Exactly the window's text, CR LF line breaks included, so scripts can match it; whatever
    // else could steer the terminal is shown as an escape.
    std::fprintf(m_err, "%s\n", escapedText(text, true).toLocal8Bit().constData());
    std::fflush(m_err);
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
    std::fprintf(m_err, "\r%3d %%", percent);
    std::fflush(m_err);
}

void TerminalPrompts::progressClose()
{
    if (m_progressShown && m_tty) {
        std::fputs("\r      \r", m_err);
        std::fflush(m_err);
    }
    m_progressShown = false;
}
