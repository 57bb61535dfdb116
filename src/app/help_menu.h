#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Prompts;
class QMainWindow;
class QUrl;
class QWidget;

// "&Help": the keyboard shortcuts, read from the window's own menus and grids so the list is
// never out of date, and the manual, the README as a web page in the browser.

// One line a shortcut: "File → Save: Ctrl+S", "Slave table → Import CSV...: Ctrl+I", then the
// keys of the grids' cell editors.
QStringList keyboardShortcuts(const QWidget &window);

// The README the manual is made from: the installed one beside the program's data, else (in a
// build) the source tree's. Empty when there is none.
QString manualSource(const QString &applicationDir);
// The README as HTML in folder; the page's path. Throws PlatformError when the README cannot be
// read or the page cannot be written.
QString writeManualPage(const QString &readme, const QString &folder);

// Adds the menu after the bar's last item. openUrl opens the manual page (QDesktopServices by
// default).
void addHelpMenu(QMainWindow &window, Prompts &prompts,
                 std::function<bool(const QUrl &)> openUrl = {});
