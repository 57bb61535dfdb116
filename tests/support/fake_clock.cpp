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
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
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

bool FakeClock::eventFilter(QObject *, QEvent *)
{
    ++m_events;
    return false;
}

void FakeClock::scheduleAdvance()
{
    // Called when the event loop is about to wait. Events may still be queued (a coroutine's
    // resumption, posted when its wait ended): time moves on only when the advance is the one
    // event delivered since, so whatever was queued happens first, and a loop told to quit by it
    // quits before time moves on.
    if (m_advancePosted || m_calls->empty())
        return;
    m_advancePosted = true;
    const quint64 eventsBefore = m_events;
    QMetaObject::invokeMethod(
        this,
        [this, eventsBefore] {
            m_advancePosted = false;
            if (m_events == eventsBefore + 1 && !m_calls->empty())
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
