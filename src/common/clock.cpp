#include "common/clock.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

class QtClockTimer final : public ClockTimer
{
public:
    QtClockTimer(int ms, std::function<void()> fire)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(fire));
        m_timer.start(ms);
    }

private:
    QTimer m_timer;
};

qint64 monotonicNs()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
}

} // namespace

EventLoopClock::EventLoopClock() : m_startNs(monotonicNs()) {}

void EventLoopClock::pause(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    m_pauses.append(&loop);
    loop.exec();
    m_pauses.removeOne(&loop);
}

void EventLoopClock::interruptPause()
{
    if (!m_pauses.isEmpty())
        m_pauses.constLast()->quit();
}

std::unique_ptr<ClockTimer> EventLoopClock::callAfter(int ms, std::function<void()> fire)
{
    return std::make_unique<QtClockTimer>(ms, std::move(fire));
}

qint64 EventLoopClock::nowMs() const
{
    return (monotonicNs() - m_startNs) / 1000000;
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
