#include "widgets/widget_prompts.h"

#include "widgets/progress_window.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

std::optional<QString> runFileDialog(QWidget *parent, const FileChoice &choice,
                                     QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, choice.title, choice.startFolder);
    dialog.setObjectName(QStringLiteral("CmDialog"));
    dialog.setAcceptMode(mode);
    // Opening takes only a file that is there; saving asks before replacing one (Qt's default).
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    if (!choice.filters.isEmpty())
        dialog.setNameFilters(choice.filters);
    dialog.setDefaultSuffix(choice.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.first();
}

} // namespace

WidgetPrompts::WidgetPrompts(QWidget *parent) : m_parent(parent) {}

WidgetPrompts::~WidgetPrompts()
{
    progressClose();
}

QWidget *WidgetPrompts::over() const
{
    QWidget *modal = QApplication::activeModalWidget();
    return modal ? modal : m_parent;
}

QString WidgetPrompts::titleText(const Title &title)
{
    return title ? *title : QCoreApplication::applicationName();
}

// Every box shows its text as plain text: a file name or a key from a file that looks like
// markup ("<h1>") is shown as it stands, never laid out.
void WidgetPrompts::message(const QString &text, const Title &title)
{
    QMessageBox box(QMessageBox::NoIcon, titleText(title), text, QMessageBox::Ok, over());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool WidgetPrompts::question(const QString &text, const Title &title)
{
    QMessageBox box(QMessageBox::NoIcon, titleText(title), text,
                    QMessageBox::Ok | QMessageBox::Cancel, over());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

Prompts::SaveChoice WidgetPrompts::askToSave(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, titleText(std::nullopt), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, over());
    box.setObjectName(QStringLiteral("unsavedChanges"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

std::optional<QString> WidgetPrompts::chooseFileToOpen(const FileChoice &choice)
{
    return runFileDialog(over(), choice, QFileDialog::AcceptOpen);
}

std::optional<QString> WidgetPrompts::chooseFileToSave(const FileChoice &choice)
{
    return runFileDialog(over(), choice, QFileDialog::AcceptSave);
}

ProgressWindow *WidgetPrompts::progressWindow() const
{
    return m_progress;
}

void WidgetPrompts::progressShow()
{
    if (!m_progress) {
        m_progress = new ProgressWindow(m_parent);
        // Over the middle of the window whose transfer it shows, where the eye already is.
        if (m_parent) {
            m_progress->adjustSize();
            m_progress->move(m_parent->window()->geometry().center() - m_progress->rect().center());
        }
    }
    m_progress->setPercent(0);
    m_progress->show();
    m_progress->raise();
}

void WidgetPrompts::progressSet(int percent)
{
    if (m_progress)
        m_progress->setPercent(percent);
}

void WidgetPrompts::progressClose()
{
    delete m_progress.data();
}
