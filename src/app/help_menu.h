#pragma once

#include <QString>
#include <QStringList>

#include <QList>

#include <functional>

class Prompts;
class QMainWindow;
class QMenu;
class QUrl;
class QWidget;

// "&Help": the keyboard shortcuts, read from the window's own menus and grids so the list is
// never out of date, and the manual, the README as a web page in the browser. And "About".

// One line a shortcut: "File → Save: Ctrl+S", "Slave table → Import CSV...: Ctrl+I" (the items
// of grids, by their accessible names), then the keys of the grids' cell editors.
QStringList keyboardShortcuts(const QMainWindow &window, const QList<QWidget *> &grids);

// The README the manual is made from: the installed one beside the program's data, else (in a
// build) the source tree's. Empty when there is none.
QString manualSource(const QString &applicationDir);
// The README as HTML in folder; the page's path. Throws PlatformError when the README cannot be
// read or the page cannot be written.
QString writeManualPage(const QString &readme, const QString &folder);

// Adds the menu after the bar's last item; the shortcuts are those of its menus and of grids,
// which live as long as window. openUrl opens the manual page (QDesktopServices by default).
QMenu *addHelpMenu(QMainWindow &window, Prompts &prompts, const QList<QWidget *> &grids,
                   std::function<bool(const QUrl &)> openUrl = {});

// "About": the program, its version, the Qt it runs on and where its settings are.
void showAbout(Prompts &prompts, const QString &iniPath);
