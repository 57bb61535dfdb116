#include "app/window_commands.h"

#include "app/compare_dialog.h"
#include "app/main_window.h"
#include "app/messages_log.h"
#include "app/messages_window.h"
#include "app/project_state.h"
#include "app/start_panel.h"
#include "app/status_bar.h"
#include "app/undo_history.h"
#include "app/window_settings.h"
#include "common/command.h"
#include "common/errors.h"
#include "common/wait_for_task.h"
#include "link/config_location.h"
#include "modbus/uart_tab.h"
#include "onewire/onewire_tab.h"
#include "project/plc_verify.h"
#include "project/project_file.h"
#include "widgets/command_feedback.h"
#include "widgets/window_placement.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTabWidget>

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

WindowCommands::WindowCommands(MainWindow &window, ProjectRecord &record, CommandFeedback &feedback)
    : QObject(&window), m_window(window), m_record(record), m_feedback(feedback),
      m_status(new StatusBar(&window)), m_project(new ProjectState(this)),
      m_messages(new MessagesLog(this)), m_folder(firstFileFolder())
{
    window.setStatusBar(m_status);
    connect(m_status, &StatusBar::outcomeShown, m_messages, &MessagesLog::add);
    connect(m_project, &ProjectState::stateChanged, this,
            [this] { m_status->showProject(m_project->description()); });
    connect(&feedback, &CommandFeedback::portWritten, this, [this](const PortWriteReport &r) {
        m_status->showOutcome(StatusText::writes({r}), StatusText::failed({r}));
    });
    connect(&feedback, &CommandFeedback::portsRead, this,
            [this](const QList<PortReadReport> &reads) {
                if (!reads.isEmpty())
                    m_status->showOutcome(StatusText::reads(reads), StatusText::failed(reads));
            });
    connect(&feedback, &CommandFeedback::commandEnded, m_status, &StatusBar::showOutcome);
    feedback.setReplaceGuard([this] { return mayDiscardChanges(); });
}

QString WindowCommands::iniPath() const
{
    return m_window.iniPath();
}

void WindowCommands::connectMenus(QMenu *file, QMenu *plc, QAction *about)
{
    m_file = file;
    auto item = [](QMenu *menu, const char *name) {
        return menu->findChild<QAction *>(QLatin1String(name));
    };
    auto on = [this](QAction *action, const QKeySequence &keys, auto command) {
        action->setEnabled(true);
        if (!keys.isEmpty())
            action->setShortcut(keys);
        connect(action, &QAction::triggered, this, command);
    };
    on(item(file, "New_config"), {}, [this] { newConfig(); });
    on(item(file, "Load_config"), QKeySequence::Open, [this] { loadConfig(); });
    on(item(file, "Save_config"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
       [this] { saveConfig(); });
    addSaveItem(file, item(file, "Save_config"));
    on(item(file, "Save_app"), {}, [this] { saveAppSettings(); });
    addExampleMenu();
    m_exit = item(file, "Exit");
    m_exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    item(plc, "upload_from_plc")->setShortcut(QKeySequence(Qt::Key_F5));
    QAction *loadToPlc = item(plc, "load_to_plc");
    on(loadToPlc, {}, [this] { this->loadToPlc(); });
    on(about, {}, [this] { this->about(); });

    plc->addSeparator();
    m_verify = plc->addAction(QStringLiteral("&Verify after write"));
    m_verify->setObjectName(QStringLiteral("verify_after_write"));
    m_verify->setCheckable(true);
    connect(m_verify, &QAction::toggled, this, &WindowCommands::setVerify);
    QAction *compare = plc->addAction(QStringLiteral("Co&mpare with PLC..."));
    compare->setObjectName(QStringLiteral("compare_with_plc"));
    connect(compare, &QAction::triggered, this, &WindowCommands::compareWithPlc);
    m_window.registerPlcControl(loadToPlc);
    m_window.registerPlcControl(compare);
    QAction *messages = plc->addAction(tr("Messages"));
    messages->setObjectName(QStringLiteral("Messages"));
    messages->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(messages, &QAction::triggered, this, &WindowCommands::showMessages);
}

void WindowCommands::showEnd(const CommandEnd &end, const QString &done, const QString &failed)
{
    if (!end.failure.isEmpty())
        m_status->showOutcome(failed.arg(end.failure), true);
    else if (end.completed() && !done.isEmpty())
        m_status->showOutcome(done);
}

void WindowCommands::showMessages()
{
    if (!m_messagesWindow)
        m_messagesWindow = new MessagesWindow(*m_messages, &m_window);
    showBeside(m_messagesWindow, &m_window);
}

void WindowCommands::startUp()
{
    const WindowSettings settings = WindowSettings::read(iniPath());
    {
        const QSignalBlocker quiet(m_verify);
        m_verify->setChecked(settings.verify);
    }
    m_feedback.setVerifyAfterWrite(settings.verify);
    // A place that no screen shows any more (a monitor gone) is not taken; one larger than the
    // screen now has (a smaller resolution) is brought within it.
    if (settings.geometry.isValid() && QGuiApplication::screenAt(settings.geometry.center()))
        m_window.setGeometry(keptOnScreen(&m_window, settings.geometry));
    if (!settings.folder.isEmpty() && QFileInfo(settings.folder).isDir())
        m_folder = settings.folder;
    m_recent = readRecentFiles(iniPath());
    showRecentFiles();

    for (ModbusPort *port : {&m_window.uart1Tab()->port(), &m_window.uart2Tab()->port()})
        m_project->watch(*port);
    m_project->watch(m_window.onewireTab()->auxPort());
    m_project->setSaved(QString());
    StartPanel::showOnFirstStart(m_window, *this);
}

void WindowCommands::addExampleMenu()
{
    const QStringList examples = exampleProjects();
    if (examples.isEmpty())
        return;
    auto *menu = new QMenu(tr("Open e&xample"), m_file);
    menu->setObjectName(QStringLiteral("Open_example"));
    for (const QString &path : examples) {
        QAction *action = menu->addAction(fileName(path));
        action->setStatusTip(QDir::toNativeSeparators(path));
        connect(action, &QAction::triggered, this, [this, path] { openProjectFile(path, true); });
        m_window.registerPlcControl(action);
    }
    const QList<QAction *> items = m_file->actions();
    const int load = items.indexOf(m_file->findChild<QAction *>(QStringLiteral("Load_config")));
    m_file->insertMenu(items.value(load + 1), menu);
}

void WindowCommands::openProjectFile(const QString &path, bool example)
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
        m_status->showOutcome(tr("Not loaded: %1").arg(end.failure), true);
        return;
    }
    m_project->setSaved(QString());
    m_status->showOutcome(tr("Opened the example %1").arg(fileName(path)));
}

void WindowCommands::captionChanged(const QString &port)
{
    m_status->showPort(port, iniPath());
}

bool WindowCommands::mayDiscardChanges()
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

void WindowCommands::newConfig()
{
    if (!mayDiscardChanges())
        return;
    const CommandEnd end = runCommandEnd(m_window.prompts(), [this] {
        resetProjectPorts(m_window.projectPorts(), iniPath());
        m_record = ProjectRecord();
    });
    if (!end.completed()) {
        m_status->showOutcome(QStringLiteral("New project not made: %1").arg(end.failure), true);
        return;
    }
    m_project->setSaved(QString());
    m_status->showOutcome(QStringLiteral("New project"));
}

void WindowCommands::loadConfig()
{
    if (!mayDiscardChanges())
        return;
    Result<QString> file = Outcome::Cancelled;
    const CommandEnd end = runCommandEnd(m_window.prompts(), [&] {
        file = Load_project(m_window.prompts(), m_record, m_window.projectPorts(), m_folder);
    });
    loaded(file, end);
}

void WindowCommands::loadRecent(const QString &path)
{
    if (!mayDiscardChanges())
        return;
    if (!QFileInfo::exists(path)) {
        m_recent.removeAll(path);
        storeRecentFiles();
        m_window.prompts().message(
            QStringLiteral("%1 no longer exists; it was taken off the list of recent files.")
                .arg(QDir::toNativeSeparators(path)));
        return;
    }
    Result<QString> file = Outcome::Cancelled;
    const CommandEnd end = runCommandEnd(m_window.prompts(), [&] {
        loadProjectFile(path, m_record, m_window.projectPorts());
        file = path;
    });
    loaded(file, end);
}

void WindowCommands::loaded(const Result<QString> &file, const CommandEnd &end)
{
    // Whatever the load did, the UART 1 table is in view afterwards.
    m_window.uart1Tab()->showTable();
    fileCommandEnded(file, end, QStringLiteral("Loaded %1"), QStringLiteral("Not loaded: %1"));
}

void WindowCommands::fileCommandEnded(const Result<QString> &file, const CommandEnd &end,
                                      const QString &done, const QString &failed)
{
    if (file) {
        m_project->setSaved(*file);
        rememberFile(*file);
        m_status->showOutcome(done.arg(fileName(*file)));
    } else if (!end.failure.isEmpty()) {
        m_status->showOutcome(failed.arg(end.failure), true);
    }
}

bool WindowCommands::saveConfig()
{
    Result<QString> file = Outcome::Cancelled;
    const CommandEnd end = runCommandEnd(m_window.prompts(), [&] {
        file = Save_project(m_window.prompts(), m_record, m_window.projectPorts(), m_folder);
    });
    fileCommandEnded(file, end, QStringLiteral("Saved %1"), QStringLiteral("Not saved: %1"));
    return file.done();
}

void WindowCommands::addSaveItem(QMenu *file, QAction *saveConfig)
{
    auto *save = new QAction(tr("&Save"), file);
    save->setObjectName(QStringLiteral("Save"));
    save->setShortcut(QKeySequence::Save);
    file->insertAction(saveConfig, save);
    connect(save, &QAction::triggered, this, &WindowCommands::save);
}

bool WindowCommands::save()
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

void WindowCommands::rememberFile(const QString &path)
{
    m_folder = QFileInfo(path).absolutePath();
    m_recent = withRecentFile(m_recent, QFileInfo(path).absoluteFilePath());
    storeRecentFiles();
}

void WindowCommands::storeRecentFiles()
{
    // The list and the folder are a convenience: a set.ini that cannot be written costs them and
    // nothing else.
    try {
        writeRecentFiles(iniPath(), m_recent);
        writeFolderSetting(iniPath(), m_folder);
    } catch (const PlatformError &) {
    }
    showRecentFiles();
    Q_EMIT recentFilesChanged();
}

void WindowCommands::showRecentFiles()
{
    // The item chosen may be the one still emitting: the old items go once it has returned.
    for (QAction *old : std::as_const(m_recentActions)) {
        m_file->removeAction(old);
        old->setObjectName(QString()); // its name goes to the new item now
        old->deleteLater();
    }
    m_recentActions.clear();
    if (!m_file || m_recent.isEmpty())
        return;
    m_recentActions << m_file->insertSeparator(m_exit);
    for (int i = 0; i < m_recent.size(); ++i) {
        const QString path = m_recent[i];
        auto *action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(fileName(path)), m_file);
        action->setObjectName(QStringLiteral("Recent_%1").arg(i + 1));
        action->setToolTip(QDir::toNativeSeparators(path));
        action->setStatusTip(QDir::toNativeSeparators(path));
        connect(action, &QAction::triggered, this, [this, path] { loadRecent(path); });
        m_window.registerPlcControl(action);
        m_file->insertAction(m_exit, action);
        m_recentActions << action;
    }
    m_recentActions << m_file->insertSeparator(m_exit);
}

void WindowCommands::saveAppSettings()
{
    const WindowSettings settings{m_feedback.verifyAfterWrite(), m_window.geometry(), m_folder};
    if (runCommand(m_window.prompts(), [&] { settings.write(iniPath()); }))
        m_status->showOutcome(
            QStringLiteral("Settings saved in %1").arg(QDir::toNativeSeparators(iniPath())));
}

void WindowCommands::about()
{
    m_window.prompts().message(
        QStringLiteral("%1 %2\nPrepares the configuration of the PLC and moves it to and from "
                       "the PLC over a serial port.\n\nRunning on Qt %3 (built with Qt %4).\n"
                       "Settings: %5")
            .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
                 QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR),
                 QDir::toNativeSeparators(iniPath())),
        QStringLiteral("About %1").arg(QCoreApplication::applicationName()));
}

void WindowCommands::loadToPlc()
{
    Prompts &prompts = m_window.prompts();
    ProjectWriteReport report;
    const CommandEnd end = runCommandEnd(prompts, [&] {
        waitForTask(writeProject(m_window.link(), iniPath(), prompts, m_window.projectPorts(),
                                 {ProjectPort::Uart1, ProjectPort::Uart2, ProjectPort::Aux},
                                 m_feedback.verifyAfterWrite(), report));
    });
    if (end.kind == CommandEnd::Kind::Aborted)
        return;
    if (!end.failure.isEmpty() && !report.ports.isEmpty())
        report.ports.last().error = end.failure;
    if (const auto differences = report.differences(); !differences.isEmpty())
        prompts.message(verifyFailedMessage(differences), QStringLiteral("Verify after write"));

    if (!report.ports.isEmpty())
        m_status->showOutcome(StatusText::writes(report.ports), StatusText::failed(report.ports));
    else if (!end.failure.isEmpty())
        m_status->showOutcome(QStringLiteral("Nothing loaded to PLC: %1").arg(end.failure), true);
    else if (report.outcome == Outcome::Invalid)
        m_status->showOutcome(
            QStringLiteral("Nothing loaded to PLC: the configuration has an error"), true);
    else
        m_status->showOutcome(QStringLiteral("Nothing loaded to PLC: cancelled"));
}

void WindowCommands::compareWithPlc()
{
    Prompts &prompts = m_window.prompts();
    Result<QList<PortDifference>> found = Outcome::Cancelled;
    const CommandEnd end = runCommandEnd(prompts, [&] {
        found = waitForTask(
            ::compareWithPlc(m_window.link(), iniPath(), prompts, m_window.projectPorts()));
    });
    if (end.kind == CommandEnd::Kind::Aborted)
        return;
    if (!found) {
        const QString why = end.failure.isEmpty() ? found.failure().message : end.failure;
        m_status->showOutcome(QStringLiteral("Compare with PLC stopped: %1").arg(why), true);
        return;
    }
    if (found->isEmpty()) {
        prompts.message(QStringLiteral("The PLC holds the same configuration as the window."));
        m_status->showOutcome(QStringLiteral("Compared with PLC: the same"));
        return;
    }
    m_status->showOutcome(QStringLiteral("Compared with PLC: %1 difference(s)").arg(found->size()),
                          true);
    // The differences stay in sight while the tabs are put right.
    if (m_compare)
        m_compare->close();
    m_compare = new CompareDialog(*found, &m_window);
    connect(m_compare, &CompareDialog::differenceChosen, this, &WindowCommands::goTo);
    showBeside(m_compare, &m_window);
}

void WindowCommands::goTo(const PortDifference &difference)
{
    auto *tabs = m_window.findChild<QTabWidget *>(QStringLiteral("tabs"));
    UartTab *uart = difference.port == ModbusPortInfo::uart1().name   ? m_window.uart1Tab()
                    : difference.port == ModbusPortInfo::uart2().name ? m_window.uart2Tab()
                                                                      : nullptr;
    MainTab *tab = uart ? static_cast<MainTab *>(uart) : m_window.onewireTab();
    tabs->setCurrentWidget(tab);
    m_window.activateWindow();
    if (difference.slot < 1)
        return;
    // The field is named as its table's column is titled ("Timeout" for "Timeout,[ms]").
    const TextTable &table = uart ? static_cast<const TextTable &>(uart->port().slaves())
                                  : m_window.onewireTab()->auxPort().sensors();
    for (int column = 1; column < table.columnCount(); ++column) {
        if (table.headerData(column, Qt::Horizontal)
                .toString()
                .trimmed()
                .startsWith(difference.field)) {
            if (uart)
                uart->selectCell(difference.slot - 1, column);
            else
                m_window.onewireTab()->selectCell(difference.slot - 1, column);
            return;
        }
    }
}

void WindowCommands::setVerify(bool on)
{
    m_feedback.setVerifyAfterWrite(on);
    try {
        writeVerifySetting(iniPath(), on);
    } catch (const PlatformError &e) {
        m_status->showOutcome(
            QStringLiteral("\"Verify after write\" not stored: %1").arg(e.description()), true);
    }
}
