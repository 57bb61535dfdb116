#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Where a window of its own goes beside the main window (frame geometries): on its right when the
// screen has room there, else on its left, else over the main window's right part; always inside
// the screen's available area, shrunk when it is larger than that.
QRect besideRect(const QRect &main, const QSize &wanted, const QRect &available);

// The geometry of a window of `preferred` size, smaller where its screen has not the room, in the
// middle of the screen with its frame and title bar on it.
QRect fittedGeometry(QWidget *window, const QSize &preferred);

// A stored place of the window brought within its screen: no larger than the room there, moved
// so that its frame and title bar are on the screen.
QRect keptOnScreen(QWidget *window, const QRect &stored);

// Shows `window` beside `main` (when there is one), on main's screen, raised and active. A window
// already shown stays where the user put it.
void showBeside(QWidget *window, QWidget *main);
