#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What a file chooser is asked for: title, filter in the "Text (*.ext)" form, suffix given to a
// name typed without one, and the folder it starts in.
struct FileChoice
{
    QString title;
    QStringList filters;
    QString defaultSuffix;
    QString startFolder;
};

// Every question, message, file choice and progress display of a command goes through here.
// The window answers with message boxes and dialogs, the command line with the terminal, tests
// with a scripted fake.
class Prompts
{
public:
    // A title of std::nullopt is the application's own title; an empty text is an empty title.
    using Title = std::optional<QString>;

    virtual ~Prompts() = default;

    // A message box with an OK button.
    virtual void message(const QString &text, const Title &title = std::nullopt) = 0;
    // A question with OK and Cancel; true on OK.
    virtual bool question(const QString &text, const Title &title = std::nullopt) = 0;
    // A question about work that is not saved, with Save, Discard and Cancel. Where nobody can
    // answer it, Cancel: nothing is lost.
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice askToSave(const QString &) { return SaveChoice::Cancel; }
    // The chosen file, or nothing when the user cancelled. Where nobody can choose (the command
    // line) nothing is chosen.
    virtual std::optional<QString> chooseFileToOpen(const FileChoice &) { return std::nullopt; }
    // The chosen file, or nothing when cancelled; an existing file is chosen only after the
    // user agreed to overwrite it.
    virtual std::optional<QString> chooseFileToSave(const FileChoice &) { return std::nullopt; }

    // The progress window of transfers in pieces: shown, set to 0..100, closed.
    virtual void progressShow() = 0;
    virtual void progressSet(int percent) = 0;
    virtual void progressClose() = 0;
};

// Shows the progress window for as long as it lives, so that every way out of a transfer
// (refusal, timeout, exception) closes it.
class ProgressScope
{
public:
    explicit ProgressScope(Prompts &prompts) : m_prompts(prompts) { m_prompts.progressShow(); }
    ~ProgressScope() { m_prompts.progressClose(); }
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;
    void set(int percent) { m_prompts.progressSet(percent); }
    // set() as a callback, for the transfers in pieces.
    std::function<void(int)> callback()
    {
        return [this](int percent) { set(percent); };
    }

private:
    Prompts &m_prompts;
};
