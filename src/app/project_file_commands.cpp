#include "app/project_file_commands.h"

#include "app/main_window.h"
#include "app/project_state.h"
#include "app/recent_files.h"
#include "app/status_bar.h"
#include "app/undo_history.h"
#include "common/command.h"
#include "common/errors.h"
#include "link/config_location.h"
#include "link/plc_link.h"
#include "tabs/uart_tab.h"
#include "tabs/onewire_tab.h"
#include "project/project_file.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

ProjectFileCommands::ProjectFileCommands(MainWindow &window, ProjectRecord &record,
                                         StatusBar &status, const Menu &menu)
    : QObject(&window), m_window(window), m_record(record), m_status(status),
      m_project(new ProjectState(this)),
      m_recent(new RecentFiles(window, menu.file, menu.exit, this))
{
    connect(m_project, &ProjectState::stateChanged, this,
            [this] { m_status.showProject(m_project->description()); });
    connect(m_recent, &RecentFiles::chosen, this, &ProjectFileCommands::loadRecent);
    connect(menu.newConfig, &QAction::triggered, this, &ProjectFileCommands::newConfig);
    connect(menu.loadConfig, &QAction::triggered, this, &ProjectFileCommands::loadConfig);
    connect(menu.saveConfig, &QAction::triggered, this, &ProjectFileCommands::saveConfig);
    addSaveItem(menu.file, menu.saveConfig);
    addExampleMenu(menu.file, menu.loadConfig);
}

const QString &ProjectFileCommands::fileFolder() const
{
    return m_recent->folder();
}

void ProjectFileCommands::startUp(const QString &folder)
{
    m_recent->restore(folder);
    for (ModbusPort *port : {&m_window.uart1Tab()->port(), &m_window.uart2Tab()->port()})
        m_project->watch(*port);
    m_project->watch(m_window.onewireTab()->auxPort());
    m_project->setSaved(QString());
}

void ProjectFileCommands::addExampleMenu(QMenu *file, QAction *loadConfig)
{
    const QStringList examples = exampleProjects();
    if (examples.isEmpty())
        return;
    auto *menu = new QMenu(tr("Open e&xample"), file);
    menu->setObjectName(QStringLiteral("Open_example"));
    for (const QString &path : examples) {
        QAction *action = menu->addAction(fileName(path));
        action->setStatusTip(QDir::toNativeSeparators(path));
        connect(action, &QAction::triggered, this, [this, path] { openProjectFile(path, true); });
        m_window.registerPlcControl(action);
    }
    const QList<QAction *> items = file->actions();
    file->insertMenu(items.value(items.indexOf(loadConfig) + 1), menu);
}

void ProjectFileCommands::addSaveItem(QMenu *file, QAction *saveConfig)
{
    auto *save = new QAction(tr("&Save"), file);
    save->setObjectName(QStringLiteral("Save"));
    save->setShortcut(QKeySequence::Save);
    file->insertAction(saveConfig, save);
    connect(save, &QAction::triggered, this, &ProjectFileCommands::save);
}

void ProjectFileCommands::openProjectFile(const QString &path, bool example)
{
    // Never between the port writes of a transfer (the start panel's list is not greyed).
    if (m_window.link().busy())
        return;
    if (!example) {
        loadRecent(path);
        return;
    }
    if (!mayDiscardChanges())
        return;
    const CommandEnd end = runCommandEnd(
        m_window.prompts(), [&] { loadProjectFile(path, m_record, m_window.projectPorts()); });
    m_window.uart1Tab()->showTable();
    if (!end.completed()) {
        m_status.showOutcome(tr("Not loaded: %1").arg(end.failure), true);
        return;
    }
    m_project->setSaved(QString());
    m_status.showOutcome(tr("Opened the example %1").arg(fileName(path)));
}

bool ProjectFileCommands::mayDiscardChanges()
{
    if (!m_project->isChanged())
        return true;
    switch (m_window.prompts().askToSave(
        QStringLiteral("The project has changes that are not saved. Save them first?"))) {
    case Prompts::SaveChoice::Save:
        return save();
    case Prompts::SaveChoice::Discard:
        return true;
    case Prompts::SaveChoice::Cancel:
        break;
    }
    return false;
}

void ProjectFileCommands::newConfig()
{
    if (!mayDiscardChanges())
        return;
    const CommandEnd end = runCommandEnd(m_window.prompts(), [this] {
        resetProjectPorts(m_window.projectPorts(), m_window.iniPath());
        m_record = ProjectRecord();
    });
    if (!end.completed()) {
        m_status.showOutcome(QStringLiteral("New project not made: %1").arg(end.failure), true);
        return;
    }
    m_project->setSaved(QString());
    m_status.showOutcome(QStringLiteral("New project"));
}

void ProjectFileCommands::loadConfig()
{
    if (!mayDiscardChanges())
        return;
    Result<QString> file(Outcome::Cancelled);
    const CommandEnd end = runCommandEnd(m_window.prompts(), [&] {
        file = Load_project(m_window.prompts(), m_record, m_window.projectPorts(), fileFolder());
    });
    loaded(file, end);
}

void ProjectFileCommands::loadRecent(const QString &path)
{
    if (!mayDiscardChanges())
        return;
    if (!QFileInfo::exists(path)) {
        m_recent->remove(path);
        m_window.prompts().message(
            QStringLiteral("%1 no longer exists; it was taken off the list of recent files.")
                .arg(QDir::toNativeSeparators(path)));
        return;
    }
    Result<QString> file(Outcome::Cancelled);
    const CommandEnd end = runCommandEnd(m_window.prompts(), [&] {
        loadProjectFile(path, m_record, m_window.projectPorts());
        file = Result(path);
    });
    loaded(file, end);
}

void ProjectFileCommands::loaded(const Result<QString> &file, const CommandEnd &end)
{
    // Whatever the load did, the UART 1 table is in view afterwards.
    m_window.uart1Tab()->showTable();
    fileCommandEnded(file, end, QStringLiteral("Loaded %1"), QStringLiteral("Not loaded: %1"));
}

void ProjectFileCommands::fileCommandEnded(const Result<QString> &file, const CommandEnd &end,
                                           const QString &done, const QString &failed)
{
    if (file) {
        m_project->setSaved(*file);
        m_recent->add(*file);
        m_status.showOutcome(done.arg(fileName(*file)));
    } else if (!end.failure.isEmpty()) {
        m_status.showOutcome(failed.arg(end.failure), true);
    }
}

bool ProjectFileCommands::saveConfig()
{
    Result<QString> file(Outcome::Cancelled);
    const CommandEnd end = runCommandEnd(m_window.prompts(), [&] {
        file = Save_project(m_window.prompts(), m_record, m_window.projectPorts(), fileFolder());
    });
    fileCommandEnded(file, end, QStringLiteral("Saved %1"), QStringLiteral("Not saved: %1"));
    return file.done();
}

bool ProjectFileCommands::save()
{
    // A project that has its file goes back into it without a question; a new one asks where,
    // as "Save config" always does, and so does one that undo took back past its load.
    const QString path = m_project->file();
    if (path.isEmpty() || !m_window.undo().followsSavedState())
        return saveConfig();
    const CommandEnd end = runCommandEnd(m_window.prompts(), [&] {
        Fill_project_record(m_record, m_window.projectPorts());
        writeProjectFile(path, m_record);
    });
    const Result<QString> file =
        end.completed() ? Result<QString>(path) : Result<QString>(Outcome::Cancelled);
    fileCommandEnded(file, end, tr("Saved %1"), tr("Not saved: %1"));
    return file.done();
}
