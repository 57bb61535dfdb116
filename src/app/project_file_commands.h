#pragma once

#include <QObject>
#include <QString>

class MainWindow;
class ProjectRecord;
class ProjectState;
class QAction;
class QMenu;
class RecentFiles;
class StatusBar;
struct CommandEnd;
template <typename T> class Result;

// The project and its file: "New config", "Load config", "Save" and "Save config", the examples
// and the recent files in the File menu, the mark of unsaved changes on the status bar, and the
// question before anything replaces them.
class ProjectFileCommands final : public QObject
{
    Q_OBJECT
public:
    // The File menu's items that get their commands here; "Save" (before "Save config"), "Open
    // example" (after "Load config") and the recent files (before "Exit") are added to it.
    struct Menu
    {
        QMenu *file;
        QAction *newConfig;
        QAction *loadConfig;
        QAction *saveConfig;
        QAction *exit;
    };

    ProjectFileCommands(MainWindow &window, ProjectRecord &record, StatusBar &status,
                        const Menu &menu);

    // After the tabs' start-up: the project is new, the recent files those set.ini holds, the
    // file choosers start in folder when it is still there.
    void startUp(const QString &folder);

    // Asks "The project has changes that are not saved. Save them first?" when there are any;
    // false when the work must stop (Cancel, or a save that did not happen).
    bool mayDiscardChanges();
    // Opens a project file as the project; an example opens as a new project not saved yet, so
    // that saving it asks where (the examples' folder is the program's).
    void openProjectFile(const QString &path, bool example);

    ProjectState &project() const { return *m_project; }
    RecentFiles &recentFiles() const { return *m_recent; }
    // Where the file choosers start: the folder used last, else a folder the user can write to.
    const QString &fileFolder() const;

private:
    void addExampleMenu(QMenu *file, QAction *loadConfig);
    void addSaveItem(QMenu *file, QAction *saveConfig);
    void newConfig();
    void loadConfig();
    // "Save config": always asks where.
    bool saveConfig();
    // "Save" (Ctrl+S): into the project's file; "Save config" where it has none.
    bool save();
    void loadRecent(const QString &path);
    void loaded(const Result<QString> &file, const CommandEnd &end);
    // The project is now the file a load or save ran to its end with; otherwise its failure.
    void fileCommandEnded(const Result<QString> &file, const CommandEnd &end, const QString &done,
                          const QString &failed);

    MainWindow &m_window;
    ProjectRecord &m_record;
    StatusBar &m_status;
    ProjectState *m_project;
    RecentFiles *m_recent;
};
