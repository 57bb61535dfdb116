#include "support/scripted_prompts.h"

void ScriptedPrompts::message(const QString &text, const Title &title)
{
    m_shown.append({Kind::Message, text, title});
}

bool ScriptedPrompts::question(const QString &text, const Title &title)
{
    m_shown.append({Kind::Question, text, title});
    if (m_answers.empty())
        return true;
    const bool ok = m_answers.front();
    m_answers.pop_front();
    return ok;
}

std::optional<QString> ScriptedPrompts::chooseFileToOpen(const FileChoice &choice)
{
    m_fileRequests.append({FileKind::Open, choice});
    if (m_files.empty())
        return std::nullopt;
    auto file = m_files.front();
    m_files.pop_front();
    return file;
}

std::optional<QString> ScriptedPrompts::chooseFileToSave(const FileChoice &choice)
{
    m_fileRequests.append({FileKind::Save, choice});
    if (m_files.empty())
        return std::nullopt;
    auto file = m_files.front();
    m_files.pop_front();
    return file;
}

void ScriptedPrompts::progressShow()
{
    ++m_progressShows;
    m_progressVisible = true;
}

void ScriptedPrompts::progressSet(int percent)
{
    m_progressValues.append(percent);
}

void ScriptedPrompts::progressClose()
{
    ++m_progressCloses;
    m_progressVisible = false;
}

void ScriptedPrompts::clearRecord()
{
    m_shown.clear();
    m_fileRequests.clear();
    m_progressValues.clear();
    m_progressShows = 0;
    m_progressCloses = 0;
}

QStringList ScriptedPrompts::textsOf(Kind kind) const
{
    QStringList texts;
    for (const Shown &s : m_shown) {
        if (s.kind == kind)
            texts.append(s.text);
    }
    return texts;
}
