#pragma once

#include "common/prompts.h"

#include <QPointer>

class ProgressWindow;
class QWidget;

// The window's prompts: message boxes, file dialogs and the progress window. They stand over the
// modal dialog the user is in (the COM-port dialog, the search), otherwise over parent; so one
// object serves the window and every dialog it opens.
class WidgetPrompts final : public Prompts
{
public:
    explicit WidgetPrompts(QWidget *parent);
    ~WidgetPrompts() override;
    WidgetPrompts(const WidgetPrompts &) = delete;
    WidgetPrompts &operator=(const WidgetPrompts &) = delete;

    void message(const QString &text, const Title &title = std::nullopt) final;
    bool question(const QString &text, const Title &title = std::nullopt) final;
    SaveChoice askToSave(const QString &text) final;
    std::optional<QString> chooseFileToOpen(const FileChoice &choice) final;
    std::optional<QString> chooseFileToSave(const FileChoice &choice) final;

    void progressShow() final;
    void progressSet(int percent) final;
    void progressClose() final;

    // The progress window while it is shown, else nullptr.
    ProgressWindow *progressWindow() const;

    // The text of a title: the application's own name for std::nullopt.
    static QString titleText(const Title &title);

private:
    QWidget *over() const;

    QWidget *m_parent;
    QPointer<ProgressWindow> m_progress;
};
