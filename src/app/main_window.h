#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "project/project_record.h"
#include "tabs/main_tab.h"

#include <QCoroTask>

#include <functional>
#include <memory>

class Clock;
class CommandFeedback;
class FrameTap;
class ConfigInsight;
class ConverterTab;
class HwConfigTab;
class QMenu;
enum class ProjectTable;
class ErrorBufferTab;
class MessagesLog;
class MessagesWindow;
class OnewireTab;
class PlcCommands;
class PlcLink;
struct PortReadReport;
struct ProjectPorts;
class ProjectFileCommands;
class ProductionWindow;
class Prompts;
class QAction;
class QCloseEvent;
class QTabWidget;
class QTableView;
class SerialLine;
class StartPanel;
class StatusBar;
class UartTab;
class UndoHistory;
class WidgetPrompts;

// The main window "Main": the seven tabs, the File and PLC menus, the caption with the active
// COM port, and the main PLC link used by every transfer started from it.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
public:
    // prompts: nullptr shows message boxes and dialogs over this window. clock: what the window's
    // links time their waits and pauses by; nullptr for real time.
    MainWindow(const QString &iniPath, std::unique_ptr<SerialLine> line, Prompts *prompts = nullptr,
               Clock *clock = nullptr, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Caption with the COM port of section "COM" of set.ini.
    void Change_main_caption();

    PlcLink &link() { return *m_link; }
    SerialLine &line() { return *m_line; }
    const QString &iniPath() const { return m_iniPath; }
    Prompts &prompts() { return *m_prompts; }

    HwConfigTab *hwConfigTab() const { return m_hwConfig; }
    UartTab *uart1Tab() const { return m_uart1; }
    UartTab *uart2Tab() const { return m_uart2; }
    OnewireTab *onewireTab() const { return m_onewire; }
    ErrorBufferTab *modbusDiagTab() const { return m_modbusDiag; }
    ErrorBufferTab *onewireDiagTab() const { return m_onewireDiag; }
    ConverterTab *converterTab() const { return m_converter; }
    // Brings the tab to the front.
    void showTab(MainTab *tab);

    // Menu items that other parts of the window run (the start panel's buttons) or give their
    // commands (connected to triggered()).
    QAction *loadConfigAction() const { return m_loadConfig; }
    QAction *saveConfigAction() const { return m_saveConfig; }
    QAction *commSettingAction() const { return m_commSetting; }
    QAction *search1wireAction() const { return m_search1wire; }
    QAction *uploadAction() const { return m_upload; }
    QAction *loadToPlcAction() const { return m_loadToPlc; }

    // Greys the control while a transfer runs on the main link. The tabs' own PLC controls are
    // registered by the window itself.
    void registerPlcControl(QWidget *control);
    void registerPlcControl(QAction *action);
    // Adds an upload to "Upload from PLC"; the tabs' menu uploads come first, in tab order.
    void registerUpload(MainTab::Upload upload);

    // "Upload from PLC": every registered upload, one after the other.
    QCoro::Task<> uploadFromPlc();

    // The ports the project file holds, as the tabs show them.
    ProjectPorts projectPorts();
    // The port, how the last command ended and the project's file and changes.
    StatusBar &status() const { return *m_status; }
    // The project's file and its changes, and the commands around them.
    ProjectFileCommands &projectFiles() const { return *m_files; }
    // "Load to PLC", "Verify after write" and "Compare with PLC...".
    PlcCommands &plcCommands() const { return *m_plc; }
    // The configuration check behind "Check config" and the status bar's warnings.
    ConfigInsight &insight() const { return *m_insight; }
    // Undo and Redo of the ports' edits, loads, uploads and imports.
    UndoHistory &undo() const { return *m_undo; }

    // "Messages": the outcomes since the window opened.
    void showMessages();
    // The start panel, also after it was closed (Help > Getting started).
    void openStartPanel();
    // "Production...": the production window, made when first asked for.
    ProductionWindow *openProduction();

protected:
    void closeEvent(QCloseEvent *event) final;

private:
    void buildTabs();
    void buildStatus();
    void buildMenus();
    void buildEditAndHelp();
    void startUp();
    void addTab(MainTab *tab, const QString &caption);
    void onBusyChanged(bool busy);
    // Closes the window once the transfer that an abort cut short has let go of the link.
    QCoro::Task<> closeAfterTransfer();
    // "Save app setting": "Verify after write", the window's place and the file folder.
    void saveAppSettings();

    // The project as text and on paper (main_window_exchange.cpp): "Export..." and "Import..."
    // inserted before `print` in the File menu, "Print" itself, the grids' CSV menus. Returns
    // "Import...".
    QAction *buildExchangeMenus(QMenu *file, QAction *print);
    void addTableMenu(QTableView *grid, ProjectTable table);
    void exportProject();
    void importProject();
    void exportTable(ProjectTable table);
    void importTable(ProjectTable table);
    void printConfigSheet();

    QString m_iniPath;
    // The project file as last loaded or saved; a save overwrites only the fields it uses.
    ProjectRecord m_project;
    // The clock, tap and line before the link: the link refers to them and must go first.
    std::unique_ptr<Clock> m_ownClock;
    Clock *m_clock;
    FrameTap *m_tap;
    std::unique_ptr<SerialLine> m_line;
    std::unique_ptr<PlcLink> m_link;
    std::unique_ptr<WidgetPrompts> m_widgetPrompts;
    Prompts *m_prompts;
    CommandFeedback *m_feedback;
    StatusBar *m_status = nullptr;
    MessagesLog *m_messages = nullptr;
    MessagesWindow *m_messagesWindow = nullptr;
    ProjectFileCommands *m_files = nullptr;
    PlcCommands *m_plc = nullptr;
    QPointer<StartPanel> m_startPanel;
    ProductionWindow *m_production = nullptr;
    ConfigInsight *m_insight = nullptr;
    UndoHistory *m_undo = nullptr;

    QTabWidget *m_tabs = nullptr;
    QList<MainTab *> m_tabOrder;
    HwConfigTab *m_hwConfig = nullptr;
    UartTab *m_uart1 = nullptr;
    UartTab *m_uart2 = nullptr;
    OnewireTab *m_onewire = nullptr;
    ErrorBufferTab *m_modbusDiag = nullptr;
    ErrorBufferTab *m_onewireDiag = nullptr;
    ConverterTab *m_converter = nullptr;

    QAction *m_loadConfig = nullptr;
    QAction *m_saveConfig = nullptr;
    QAction *m_commSetting = nullptr;
    QAction *m_search1wire = nullptr;
    QAction *m_upload = nullptr;
    QAction *m_loadToPlc = nullptr;

    // A PLC control and whether it was enabled when the transfer started.
    struct PlcControl
    {
        QPointer<QObject> control;
        bool enabledBefore = true;
    };
    QList<PlcControl> m_plcControls;
    QList<MainTab::Upload> m_uploads;
    // A close asked during a transfer waits for it once, however often it is asked.
    bool m_closeAfterTransfer = false;
};
