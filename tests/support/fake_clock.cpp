#include "support/fake_clock.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QMetaObject>

class FakeClock::Timer final : public ClockTimer
{
public:
    Timer(const std::shared_ptr<Calls> &calls, std::pair<qint64, quint64> key)
        : m_calls(calls), m_key(key)
    {}
    ~Timer() override
    {
        if (const auto calls = m_calls.lock())
            calls->erase(m_key);
    }

private:
    std::weak_ptr<Calls> m_calls;
    std::pair<qint64, quint64> m_key;
};

FakeClock::FakeClock()
{
    if (auto *dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &FakeClock::scheduleAdvance);
    }
}

FakeClock::~FakeClock() = default;

void FakeClock::advance(int ms)
{
    const qint64 end = m_now + std::max(ms, 0);
    while (!m_calls->empty() && m_calls->begin()->first.first <= end)
        advanceToNext();
    m_now = end;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

std::unique_ptr<ClockTimer> FakeClock::pauseEnds(int ms, std::function<void()> fire)
{
    pauses.append(ms);
    if (onPause)
        onPause();
    return callAfter(ms, std::move(fire));
}

std::unique_ptr<ClockTimer> FakeClock::callAfter(int ms, std::function<void()> fire)
{
    const std::pair<qint64, quint64> key{m_now + std::max(ms, 0), m_sequence++};
    m_calls->emplace(key, std::move(fire));
    return std::make_unique<Timer>(m_calls, key);
}

void FakeClock::scheduleAdvance()
{
    // Called when the event loop is about to sleep: nothing else is pending, so the next
    // deadline is what happens next.
    if (m_advancePosted || m_calls->empty())
        return;
    m_advancePosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_advancePosted = false;
            if (!m_calls->empty())
                advanceToNext();
        },
        Qt::QueuedConnection);
}

void FakeClock::advanceToNext()
{
    auto first = m_calls->begin();
    m_now = std::max(m_now, first->first.first);
    // The call goes before it runs: a timer destroyed by its own call must find nothing to erase.
    const std::function<void()> fire = std::move(first->second);
    m_calls->erase(first);
    fire();
}
