#include "support/scripted_prompts.h"

void ScriptedPrompts::message(const QString &text, const Title &title)
{
    m_shown.append({Kind::Message, text, title});
}

namespace {
// The next queued answer, or the one given when the queue is empty.
template <typename T> T next(std::deque<T> &queue, T otherwise)
{
    if (queue.empty())
        return otherwise;
    T front = queue.front();
    queue.pop_front();
    return front;
}
} // namespace

bool ScriptedPrompts::question(const QString &text, const Title &title)
{
    m_shown.append({Kind::Question, text, title});
    return next(m_answers, true);
}

Prompts::SaveChoice ScriptedPrompts::askToSave(const QString &text)
{
    m_shown.append({Kind::Question, text, std::nullopt});
    return next(m_saveChoices, SaveChoice::Discard);
}

std::optional<QString> ScriptedPrompts::chooseFileToOpen(const FileChoice &choice)
{
    m_fileRequests.append({FileKind::Open, choice});
    return next(m_files, std::optional<QString>());
}

std::optional<QString> ScriptedPrompts::chooseFileToSave(const FileChoice &choice)
{
    m_fileRequests.append({FileKind::Save, choice});
    return next(m_files, std::optional<QString>());
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
