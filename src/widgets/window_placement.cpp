#include "widgets/window_placement.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

// What the window manager puts around the window: known once the window exists and is framed,
// guessed from the style before that.
QMargins frameMargins(QWidget *window)
{
    window->winId(); // the native window, which knows its frame where the platform can tell
    if (const QWindow *handle = window->windowHandle(); handle && !handle->frameMargins().isNull())
        return handle->frameMargins();
    const int border = window->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    return {border, window->style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border,
            border};
}

} // namespace

QRect besideRect(const QRect &main, const QSize &wanted, const QRect &available)
{
    const QSize size = wanted.boundedTo(available.size());
    const int top = std::clamp(main.top(), available.top(), available.bottom() + 1 - size.height());
    int left = available.right() + 1 - size.width();
    if (main.right() + size.width() <= available.right())
        left = main.right() + 1;
    else if (main.left() - size.width() >= available.left())
        left = main.left() - size.width();
    return {QPoint(left, top), size};
}

QRect fittedGeometry(QWidget *window, const QSize &preferred)
{
    const QRect room = window->screen()->availableGeometry().marginsRemoved(frameMargins(window));
    return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, preferred.boundedTo(room.size()),
                               room);
}

QRect keptOnScreen(QWidget *window, const QRect &stored)
{
    const QRect room = window->screen()->availableGeometry().marginsRemoved(frameMargins(window));
    QRect place(stored.topLeft(), stored.size().boundedTo(room.size()));
    place.moveLeft(std::clamp(place.left(), room.left(), room.right() + 1 - place.width()));
    place.moveTop(std::clamp(place.top(), room.top(), room.bottom() + 1 - place.height()));
    return place;
}

void showBeside(QWidget *window, QWidget *main)
{
    if (main && !window->isVisible()) {
        const QMargins margins = frameMargins(window);
        const QRect place = besideRect(main->frameGeometry(), window->size().grownBy(margins),
                                       main->screen()->availableGeometry());
        window->setGeometry(place.marginsRemoved(margins));
    }
    window->show();
    window->raise();
    window->activateWindow();
}
