#include "common/clock.h"

#include <QEventLoop>
#include <QTimer>

void EventLoopClock::pause(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

namespace {
EventLoopClock g_realClock;
Clock *g_clock = &g_realClock;
} // namespace

Clock &appClock()
{
    return *g_clock;
}

void setAppClock(Clock *clock)
{
    g_clock = clock ? clock : &g_realClock;
}
