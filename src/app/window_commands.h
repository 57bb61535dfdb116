#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class CommandFeedback;
class CompareDialog;
class MainWindow;
class MessagesLog;
class MessagesWindow;
class ProjectRecord;
class ProjectState;
class QAction;
class QMenu;
class StatusBar;
struct CommandEnd;
struct PortDifference;
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

    // Opens a project file as the project; an example opens as a new project not saved yet, so
    // that saving it asks where (the examples' folder is the program's).
    void openProjectFile(const QString &path, bool example);
    // How a command of the window ended: `done` when it ran to its end (empty when it was
    // cancelled and there is nothing to tell), else `failed` with the failure's text for %1.
    void showEnd(const CommandEnd &end, const QString &done, const QString &failed);
    // "Messages": the outcomes since the window opened.
    void showMessages();

    StatusBar &statusBar() const { return *m_status; }
    MessagesLog &messages() const { return *m_messages; }
    ProjectState &project() const { return *m_project; }
    const QStringList &recentFiles() const { return m_recent; }
    // Where the file choosers start: the folder used last, else a folder the user can write to.
    const QString &fileFolder() const { return m_folder; }

Q_SIGNALS:
    void recentFilesChanged();

private:
    // File > Open example, after "Load config".
    void addExampleMenu();
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
    // Shows the difference's cell (its port's tab when it is a setting of the port).
    void goTo(const PortDifference &difference);
    void setVerify(bool on);
    QString iniPath() const;

    MainWindow &m_window;
    ProjectRecord &m_record;
    CommandFeedback &m_feedback;
    StatusBar *m_status;
    ProjectState *m_project;
    MessagesLog *m_messages;
    MessagesWindow *m_messagesWindow = nullptr;
    QPointer<CompareDialog> m_compare; // the last compare's differences, while open
    QMenu *m_file = nullptr;
    QAction *m_exit = nullptr;
    QAction *m_verify = nullptr;
    QList<QAction *> m_recentActions;
    QStringList m_recent;
    // Where the project file choosers start: the folder last used, else firstFileFolder().
    QString m_folder;
};
