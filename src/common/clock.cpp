#include "common/clock.h"

#include <QDeadlineTimer>
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

SteadyClock::SteadyClock() : m_startNs(monotonicNs()) {}

std::unique_ptr<ClockTimer> SteadyClock::callAfter(int ms, std::function<void()> fire)
{
    return std::make_unique<QtClockTimer>(ms, std::move(fire));
}

qint64 SteadyClock::nowMs() const
{
    return (monotonicNs() - m_startNs) / 1000000;
}
