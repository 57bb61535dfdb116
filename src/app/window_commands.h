#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class CommandFeedback;
class MainWindow;
class ProjectRecord;
class ProjectState;
class QAction;
class QMenu;
class StatusBar;
struct CommandEnd;
template <typename T> class Result;

// The window's commands around the project and the trust in a transfer: the status bar, the
// project's unsaved changes and its file (New, Load, Save, the recent files, the question before
// anything replaces unsaved work), the window's own settings, "Load to PLC", "Verify after write",
// "Compare with PLC..." and "About".
class WindowCommands final : public QObject
{
    Q_OBJECT
public:
    WindowCommands(MainWindow &window, ProjectRecord &record, CommandFeedback &feedback);

    // Gives the menu items their commands and shortcuts, and adds the items of its own.
    void connectMenus(QMenu *file, QMenu *plc, QAction *about);
    // After the tabs' start-up: the stored settings are taken over and the project is new.
    void startUp();
    // The caption was renewed: the status bar's port follows.
    void captionChanged(const QString &port);

    // Asks "The project has changes that are not saved. Save them first?" when there are any;
    // false when the work must stop (Cancel, or a save that did not happen).
    bool mayDiscardChanges();

    StatusBar &statusBar() const { return *m_status; }
    ProjectState &project() const { return *m_project; }
    const QStringList &recentFiles() const { return m_recent; }

private:
    void newConfig();
    void loadConfig();
    bool saveConfig();
    // "Save" (Ctrl+S): into the project's file; "Save config" where it has none.
    void addSaveItem(QMenu *file, QAction *saveConfig);
    bool save();
    void loadRecent(const QString &path);
    void loaded(const Result<QString> &file, const CommandEnd &end);
    // The project is now the file a load or save ran to its end with; otherwise its failure.
    void fileCommandEnded(const Result<QString> &file, const CommandEnd &end, const QString &done,
                          const QString &failed);
    void rememberFile(const QString &path);
    void storeRecentFiles();
    void showRecentFiles();
    void saveAppSettings();
    void about();
    void loadToPlc();
    void compareWithPlc();
    void setVerify(bool on);
    QString iniPath() const;

    MainWindow &m_window;
    ProjectRecord &m_record;
    CommandFeedback &m_feedback;
    StatusBar *m_status;
    ProjectState *m_project;
    QMenu *m_file = nullptr;
    QAction *m_exit = nullptr;
    QAction *m_verify = nullptr;
    QList<QAction *> m_recentActions;
    QStringList m_recent;
    // Where the project file choosers start: the folder last used, else the program's.
    QString m_folder;
};
