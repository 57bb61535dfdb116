#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class MainWindow;
class QAction;
class QMenu;

// The project files used last, newest first, and the folder the project file choosers start in:
// both kept in set.ini, the files listed in the File menu ("&1 two-masters.dpc" ...). Choosing
// one asks for it to be opened; the list greys with the other items that replace the project.
class RecentFiles final : public QObject
{
    Q_OBJECT
public:
    // The items go into file, before `before`.
    RecentFiles(MainWindow &window, QMenu *file, QAction *before, QObject *parent = nullptr);

    // The list set.ini holds. folder: the one stored, taken when it is still there; else the
    // choosers start in a folder the user can write to.
    void restore(const QString &folder);

    const QStringList &paths() const { return m_paths; }
    const QString &folder() const { return m_folder; }
    // A project file loaded or saved: first on the list, its folder where the choosers start.
    void add(const QString &path);
    // A file that is no longer there leaves the list.
    void remove(const QString &path);

Q_SIGNALS:
    void changed();
    void chosen(const QString &path);

private:
    void store();
    void showItems();

    MainWindow &m_window;
    QMenu *m_file;
    QAction *m_before;
    QList<QAction *> m_items; // with the separators around them
    QStringList m_paths;
    QString m_folder;
};
