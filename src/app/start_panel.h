#pragma once

#include <QDockWidget>
#include <QString>

class MainWindow;
class QBoxLayout;
class ProjectFileCommands;
class QListWidget;

// The way in on a first start: a panel beside the tabs (below them on a narrow screen) with the
// three steps from a new installation to a written PLC (choose the port, open or upload a project,
// write it with "Verify after write"). Its buttons run the window's own menu items. It is shown
// while set.ini does not exist yet, and can be closed for good ([Options] StartPanel=0).
class StartPanel final : public QDockWidget
{
    Q_OBJECT
public:
    StartPanel(MainWindow &window, ProjectFileCommands &files);

    // Whether a window with this set.ini starts with the panel: no set.ini yet, or
    // [Options] StartPanel=1.
    static bool wanted(const QString &iniPath);
    // A new panel docked in the window: beside the tabs where the screen has room for both,
    // else below them.
    static StartPanel *addTo(MainWindow &window, ProjectFileCommands &files);

    // The recent files, then the examples, as the project list offers them.
    void listProjects();

private:
    void closeForGood();
    // Steps one below the other beside the tabs, side by side above or below them.
    void arrangeFor(Qt::DockWidgetArea area);

    MainWindow &m_window;
    ProjectFileCommands &m_files;
    QListWidget *m_projects;
    QBoxLayout *m_steps = nullptr;
    QBoxLayout *m_openButtons = nullptr;
};
