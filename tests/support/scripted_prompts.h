#pragma once

#include "common/prompts.h"

#include <QList>
#include <QStringList>

#include <deque>

// Prompts for tests: records every message, question, file request and progress value, and
// answers from queues (questions OK, file choices cancelled, when the queue is empty).
class ScriptedPrompts final : public Prompts
{
public:
    enum class Kind { Message, Question };
    struct Shown
    {
        Kind kind;
        QString text;
        Title title;
    };
    enum class FileKind { Open, Save };
    struct FileRequest
    {
        FileKind kind;
        FileChoice choice;
    };

    void message(const QString &text, const Title &title = std::nullopt) final;
    bool question(const QString &text, const Title &title = std::nullopt) final;
    // Answers of the next questions, in order (true: OK).
    void queueAnswer(bool ok) { m_answers.push_back(ok); }
    // Recorded as a question; answered from its own queue (Discard when empty).
    SaveChoice askToSave(const QString &text) final;
    void queueSaveChoice(SaveChoice choice) { m_saveChoices.push_back(choice); }

    std::optional<QString> chooseFileToOpen(const FileChoice &choice) final;
    std::optional<QString> chooseFileToSave(const FileChoice &choice) final;
    // Results of the next file choices, in order (std::nullopt: cancelled).
    void queueFile(const std::optional<QString> &path) { m_files.push_back(path); }

    void progressShow() final;
    void progressSet(int percent) final;
    void progressClose() final;

    // Messages and questions in the order shown.
    const QList<Shown> &shown() const { return m_shown; }
    // The texts of the messages only, or of the questions only.
    QStringList messages() const { return textsOf(Kind::Message); }
    QStringList questions() const { return textsOf(Kind::Question); }
    const QList<FileRequest> &fileRequests() const { return m_fileRequests; }

    // Every value the progress bar was set to, and how often the window was shown and closed.
    const QList<int> &progressValues() const { return m_progressValues; }
    int progressShows() const { return m_progressShows; }
    int progressCloses() const { return m_progressCloses; }
    bool progressVisible() const { return m_progressVisible; }

    // Forgets what was recorded; queued answers stay.
    void clearRecord();

private:
    QStringList textsOf(Kind kind) const;

    std::deque<bool> m_answers;
    std::deque<SaveChoice> m_saveChoices;
    std::deque<std::optional<QString>> m_files;
    QList<Shown> m_shown;
    QList<FileRequest> m_fileRequests;
    QList<int> m_progressValues;
    int m_progressShows = 0;
    int m_progressCloses = 0;
    bool m_progressVisible = false;
};
