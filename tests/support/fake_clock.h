#pragma once

#include "common/clock.h"

#include <QList>
#include <QObject>

#include <functional>
#include <map>
#include <memory>

// A clock of its own for the command under test: time jumps to the next deadline (an answer
// timeout, a pause's end, a simulated PLC's delayed answer) whenever the event loop has nothing
// else to do, and pauses are recorded. Timeouts and delays then take no wall-clock time, and
// their order is exactly that of their deadlines. Handed to the links and lines under test.
class FakeClock final : public QObject, public Clock
{
    Q_OBJECT
public:
    FakeClock();
    ~FakeClock() override;
    FakeClock(const FakeClock &) = delete;
    FakeClock &operator=(const FakeClock &) = delete;

    std::unique_ptr<ClockTimer> callAfter(int ms, std::function<void()> fire) override;
    std::unique_ptr<ClockTimer> pauseEnds(int ms, std::function<void()> fire) override;
    qint64 nowMs() const override { return m_now; }

    // Lets ms milliseconds pass for a test that waits itself: what falls due meanwhile happens,
    // in order, and the events it posts are delivered.
    void advance(int ms);

    // Every pause asked for, in order; onPause runs at the start of each.
    QList<int> pauses;
    std::function<void()> onPause;

private:
    // Deadline and order of creation: calls due at the same moment fire in the order set. Shared
    // with the timers, which may outlive the clock.
    using Calls = std::map<std::pair<qint64, quint64>, std::function<void()>>;
    class Timer;
    void advanceToNext();
    void scheduleAdvance();

    bool eventFilter(QObject *watched, QEvent *event) override;

    qint64 m_now = 0;
    quint64 m_events = 0; // every event delivered in the application
    quint64 m_sequence = 0;
    std::shared_ptr<Calls> m_calls = std::make_shared<Calls>();
    bool m_advancePosted = false;
};
