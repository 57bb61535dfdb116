#include "app/main_window.h"

#include "app/config_insight.h"
#include "app/help_menu.h"
#include "app/messages_log.h"
#include "app/messages_window.h"
#include "app/plc_commands.h"
#include "app/project_file_commands.h"
#include "app/project_state.h"
#include "app/start_panel.h"
#include "app/status_bar.h"
#include "app/undo_history.h"
#include "app/window_settings.h"
#include "common/clock.h"
#include "common/command.h"
#include "common/errors.h"
#include "link/com_setting_dialog.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/plc_link.h"
#include "link/port_line.h"
#include "link/serial_line.h"
#include "monitor/frame_monitor.h"
#include "production/production_run.h"
#include "production/production_window.h"
#include "project/project_file.h"
#include "tabs/command_feedback.h"
#include "tabs/converter_tab.h"
#include "tabs/error_buffer_tab.h"
#include "tabs/hw_config_tab.h"
#include "tabs/main_tab.h"
#include "tabs/onewire_tab.h"
#include "tabs/uart_tab.h"
#include "transfer/plc_verify.h"
#include "widgets/widget_prompts.h"
#include "widgets/window_placement.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QUndoStack>

namespace {

bool isControlEnabled(const QObject *control)
{
    if (const auto *widget = qobject_cast<const QWidget *>(control))
        return widget->isEnabled();
    if (const auto *action = qobject_cast<const QAction *>(control))
        return action->isEnabled();
    return false;
}

void setControlEnabled(QObject *control, bool enabled)
{
    if (auto *widget = qobject_cast<QWidget *>(control))
        widget->setEnabled(enabled);
    else if (auto *action = qobject_cast<QAction *>(control))
        action->setEnabled(enabled);
}

// The caption's port part; the simulated PLC is named as such, being no COM port of this computer.
QString activePortCaption(const QString &port, const QString &iniPath)
{
    bool known = false;
    const int number = port.toInt(&known);
    if (known && mapComNumber(number, iniPath).simulated)
        return QStringLiteral("  //Active port - simulated PLC");
    return QStringLiteral("  //Active port - COM ") + port;
}

} // namespace

MainWindow::MainWindow(const QString &iniPath, std::unique_ptr<SerialLine> line, Prompts *prompts,
                       Clock *clock, QWidget *parent)
    : QMainWindow(parent), m_iniPath(iniPath),
      m_ownClock(clock ? nullptr : std::make_unique<SteadyClock>()),
      m_clock(clock ? clock : m_ownClock.get()), m_tap(new FrameTap(this)), m_line(std::move(line)),
      m_link(std::make_unique<PlcLink>(*m_line, *m_clock, *m_tap)),
      m_widgetPrompts(prompts ? nullptr : std::make_unique<WidgetPrompts>(this)),
      m_prompts(prompts ? prompts : m_widgetPrompts.get()), m_feedback(new CommandFeedback(this))
{
    setObjectName(QStringLiteral("Main"));
    if (auto *port = qobject_cast<PortLine *>(m_line.get()))
        port->setHolder(tr("the main window"));
    connect(m_link.get(), &PlcLink::busyChanged, this, &MainWindow::onBusyChanged);

    buildTabs();
    buildStatus();
    buildMenus();
    // Its preferred size where the screen has room, else as much as the screen has.
    setGeometry(fittedGeometry(this, QSize(1060, 680)));
    startUp();
}

MainWindow::~MainWindow()
{
    // The tabs hold the link and the prompts; they go before those members do.
    delete m_tabs;
}

void MainWindow::buildTabs()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->setUsesScrollButtons(false);
    setCentralWidget(m_tabs);

    const TabContext context{*m_link, m_iniPath, *m_prompts, m_feedback};
    addTab(m_hwConfig = new HwConfigTab(context), QStringLiteral("HW config"));
    addTab(m_uart1 = new UartTab(context, UartTabNames::uart1()), QStringLiteral("UART 1"));
    addTab(m_uart2 = new UartTab(context, UartTabNames::uart2()), QStringLiteral("UART 2"));
    addTab(m_onewire = new OnewireTab(context), QStringLiteral("1-wire"));
    addTab(m_modbusDiag = ErrorBufferTab::modbus(context), QStringLiteral("Modbus diag"));
    addTab(m_onewireDiag = ErrorBufferTab::onewire(context), QStringLiteral("1-wire diag"));
    addTab(m_converter = new ConverterTab(context), QStringLiteral("Converter"));
}

void MainWindow::addTab(MainTab *tab, const QString &caption)
{
    m_tabs->addTab(tab, caption);
    m_tabOrder.append(tab);
    for (QWidget *control : tab->plcControls())
        registerPlcControl(control);
    for (const auto &upload : tab->menuUploads())
        registerUpload(upload);
}

void MainWindow::showTab(MainTab *tab)
{
    m_tabs->setCurrentWidget(tab);
}

void MainWindow::buildStatus()
{
    m_status = new StatusBar(this);
    setStatusBar(m_status);
    m_status->follow(*m_feedback);
    m_messages = new MessagesLog(this);
    connect(m_status, &StatusBar::outcomeShown, m_messages, &MessagesLog::add);
}

void MainWindow::buildMenus()
{
    auto addItem = [](QMenu *menu, const char *name, const QString &caption,
                      const QKeySequence &keys = {}) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        return action;
    };

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menus"));
    QAction *newConfig = addItem(file, "New_config", QStringLiteral("New config"));
    m_loadConfig = addItem(file, "Load_config", QStringLiteral("Load config"), QKeySequence::Open);
    m_saveConfig = addItem(file, "Save_config", QStringLiteral("Save config"),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    QAction *importItem = buildExchangeMenus(file, addItem(file, "Print", QStringLiteral("Print")));
    QAction *saveApp = addItem(file, "Save_app", QStringLiteral("Save app setting"));
    connect(saveApp, &QAction::triggered, this, &MainWindow::saveAppSettings);
    QAction *exit =
        addItem(file, "Exit", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *plc = menuBar()->addMenu(QStringLiteral("&PLC"));
    plc->setObjectName(QStringLiteral("plc"));
    m_commSetting = addItem(plc, "Comm_setting", QStringLiteral("Comm. setting"));
    connect(m_commSetting, &QAction::triggered, this, [this] {
        // A port chosen in the dialog takes over from --port and --line.
        ComSettingDialog::runModal(
            m_iniPath, m_link->context(), *m_prompts,
            [this] {
                m_line->unpin();
                Change_main_caption();
            },
            this);
    });
    QAction *checkConfig = addItem(plc, "check_config", QStringLiteral("Check config"));
    m_search1wire = addItem(plc, "Search_1wire", QStringLiteral("Search 1-wire"));
    connect(m_search1wire, &QAction::triggered, m_onewire, &OnewireTab::openSearchDialog);
    m_upload = addItem(plc, "upload_from_plc", QStringLiteral("Upload from PLC"),
                       QKeySequence(Qt::Key_F5));
    connect(m_upload, &QAction::triggered, this, [this] { startCommand(uploadFromPlc()); });
    m_loadToPlc = addItem(plc, "load_to_plc", QStringLiteral("Load to PLC"));
    QAction *production = plc->addAction(tr("P&roduction..."));
    production->setObjectName(QStringLiteral("production"));
    connect(production, &QAction::triggered, this, &MainWindow::openProduction);
    plc->addSeparator();
    addFrameMonitorItem(plc, this, m_link->context(), *m_prompts);

    QAction *about = menuBar()->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("about"));
    connect(about, &QAction::triggered, this, [this] { showAbout(*m_prompts, m_iniPath); });

    for (QAction *control : {m_commSetting, m_search1wire, m_upload, m_loadToPlc})
        registerPlcControl(control);
    // What replaces the project waits for the transfer: a load halfway through "Load to PLC"
    // would leave the PLC with ports of two projects.
    for (QAction *control : {newConfig, m_loadConfig, importItem})
        registerPlcControl(control);

    // Each adds the items of its own: "Save", "Open example" and the recent files to File,
    // "Verify after write" and "Compare with PLC..." to PLC.
    m_files = new ProjectFileCommands(*this, m_project, *m_status,
                                      {file, newConfig, m_loadConfig, m_saveConfig, exit});
    m_feedback->setReplaceGuard([this] { return m_files->mayDiscardChanges(); });
    m_plc = new PlcCommands(*this, *m_feedback, *m_status, plc, m_loadToPlc);
    QAction *messages = plc->addAction(tr("Messages"));
    messages->setObjectName(QStringLiteral("Messages"));
    messages->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(messages, &QAction::triggered, this, &MainWindow::showMessages);
    m_insight = new ConfigInsight(*this, checkConfig);
    buildEditAndHelp();
}

void MainWindow::buildEditAndHelp()
{
    m_undo = new UndoHistory(projectPorts(), this);
    addEditMenu(menuBar(), *m_undo);
    connect(m_link.get(), &PlcLink::busyChanged, m_undo, &UndoHistory::setBlocked);
    // Undoing back to what was saved leaves nothing unsaved.
    ProjectState &project = m_files->project();
    connect(&project, &ProjectState::stateChanged, m_undo, [this, &project] {
        if (!project.isChanged())
            m_undo->markClean();
    });
    connect(&m_undo->stack(), &QUndoStack::cleanChanged, &project, [&project](bool clean) {
        if (clean)
            project.setUnchanged();
    });
    QMenu *help =
        addHelpMenu(*this, *m_prompts, {m_uart1->grid(), m_uart2->grid(), m_onewire->grid()});
    QAction *start = help->addAction(tr("&Getting started"));
    start->setObjectName(QStringLiteral("help_getting_started"));
    connect(start, &QAction::triggered, this, &MainWindow::openStartPanel);
}

void MainWindow::startUp()
{
    // List defaults, grid headers, the three port modes and the IO table, each tab its own.
    for (MainTab *tab : std::as_const(m_tabOrder))
        tab->startUp();

    // The line gets the stored settings but stays closed: nothing is sent at start-up. Start-up
    // reports nothing either; a bad set.ini is reported by the first transfer, which reads it
    // again anyway.
    try {
        Open_com_port(*m_line, m_iniPath);
    } catch (const CommandError &) {
    }

    const WindowSettings settings = WindowSettings::read(m_iniPath);
    m_plc->startUp(settings.verify);
    // A place that no screen shows any more (a monitor gone) is not taken; one larger than the
    // screen now has (a smaller resolution) is brought within it.
    if (settings.geometry.isValid() && QGuiApplication::screenAt(settings.geometry.center()))
        setGeometry(keptOnScreen(this, settings.geometry));
    m_files->startUp(settings.folder);
    if (StartPanel::wanted(m_iniPath))
        openStartPanel();
    m_undo->restart();
    Change_main_caption();
}

void MainWindow::openStartPanel()
{
    if (m_startPanel) {
        m_startPanel->show();
        m_startPanel->raise();
        return;
    }
    m_startPanel = StartPanel::addTo(*this, *m_files);
}

void MainWindow::showMessages()
{
    if (!m_messagesWindow)
        m_messagesWindow = new MessagesWindow(*m_messages, this);
    showBeside(m_messagesWindow, this);
}

void MainWindow::saveAppSettings()
{
    const WindowSettings settings{m_feedback->verifyAfterWrite(), geometry(),
                                  m_files->fileFolder()};
    if (runCommand(*m_prompts, [&] { settings.write(m_iniPath); }))
        m_status->showOutcome(
            QStringLiteral("Settings saved in %1").arg(QDir::toNativeSeparators(m_iniPath)));
}

void MainWindow::Change_main_caption()
{
    // A value that is no whole number names no port (and a set.ini that cannot be read names
    // none either): every transfer stops on it with a message naming it, so the caption must not
    // claim COM 1.
    QString port = QStringLiteral("?");
    try {
        bool ok = false;
        const qint64 value = Read_ini(m_iniPath, QStringLiteral("COM"), QStringLiteral("Port_num"),
                                      QStringLiteral("0"))
                                 .toLongLong(&ok);
        if (ok)
            port = QString::number(value + 1);
    } catch (const CommandError &) {
    }
    // --port for this run names the port the transfers use.
    if (m_line->portPinned())
        port = QString::number(m_line->portNumber());
    setWindowTitle(QStringLiteral("PLC Cordavo v 466 for  STM32F103C8T6 from firmware G025 ") +
                   activePortCaption(port, m_iniPath));
    m_status->showPort(port, m_iniPath);
}

void MainWindow::registerPlcControl(QWidget *control)
{
    m_plcControls.removeIf([](const PlcControl &entry) { return !entry.control; });
    m_plcControls.append({control, control->isEnabled()});
    if (m_link->busy())
        control->setEnabled(false);
}

void MainWindow::registerPlcControl(QAction *action)
{
    m_plcControls.removeIf([](const PlcControl &entry) { return !entry.control; });
    m_plcControls.append({action, action->isEnabled()});
    if (m_link->busy())
        action->setEnabled(false);
}

void MainWindow::registerUpload(MainTab::Upload upload)
{
    m_uploads.append(std::move(upload));
}

QCoro::Task<> MainWindow::uploadFromPlc()
{
    // What the uploads replace may hold unsaved changes: asked once for all three.
    if (!m_feedback->mayReplaceProject())
        co_return;
    const auto uploads = m_uploads;
    const UndoHistory::Step oneStep(*m_undo);
    QList<PortReadReport> reads;
    for (const auto &upload : uploads) {
        // Each upload shows its own failures; this keeps one that escapes from stopping the rest.
        const CommandEnd end = co_await runCommandEndAsync(
            *m_prompts, [&]() -> QCoro::Task<> { reads << co_await upload(); });
        // An abort (the window closing) ends the whole sequence, not just the running upload.
        if (end.kind == CommandEnd::Kind::Aborted) {
            if (!reads.isEmpty())
                Q_EMIT m_feedback->portsRead(reads);
            m_status->showOutcome(tr("Upload from PLC %1").arg(MainTab::abortedText()), true);
            co_return;
        }
    }
    Q_EMIT m_feedback->portsRead(reads);
}

void MainWindow::onBusyChanged(bool busy)
{
    // Controls are put back as they were, so one greyed for another reason stays greyed.
    for (PlcControl &entry : m_plcControls) {
        if (!entry.control)
            continue;
        if (busy) {
            entry.enabledBefore = isControlEnabled(entry.control);
            setControlEnabled(entry.control, false);
        } else {
            setControlEnabled(entry.control, entry.enabledBefore);
        }
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_production && m_production->run().running()) {
        // The production window's transfers end first, each unit recorded as stopped.
        event->ignore();
        m_production->run().stop();
        connect(&m_production->run(), &ProductionRun::finished, this, &QWidget::close,
                Qt::SingleShotConnection);
        return;
    }
    if (m_link->busy()) {
        // Cut the running transfer short: its wait ends at once and its command unwinds, saying
        // it was aborted. The window goes only once the line is drained and closed.
        m_link->abort();
        event->ignore();
        if (!m_closeAfterTransfer)
            startCommand(closeAfterTransfer());
        return;
    }
    if (!m_files->mayDiscardChanges()) {
        event->ignore();
        return;
    }
    event->accept();
}

QCoro::Task<> MainWindow::closeAfterTransfer()
{
    m_closeAfterTransfer = true;
    co_await m_link->idle();
    m_closeAfterTransfer = false;
    // Asked again from the event loop, after whatever else waited for the link has seen it idle.
    QTimer::singleShot(0, this, &QWidget::close);
}

ProductionWindow *MainWindow::openProduction()
{
    if (!m_production) {
        m_production = new ProductionWindow(m_iniPath, *m_clock, *m_prompts, this);
        auto showProject = [this] {
            m_production->setOpenProject(m_files->project().file(), m_files->project().isChanged());
        };
        connect(&m_files->project(), &ProjectState::stateChanged, m_production, showProject);
        showProject();
        m_production->setVerify(m_feedback->verifyAfterWrite());
    }
    m_production->show();
    m_production->raise();
    m_production->activateWindow();
    return m_production;
}

ProjectPorts MainWindow::projectPorts()
{
    return {m_uart1->port(), m_uart2->port(), m_onewire->auxPort()};
}
