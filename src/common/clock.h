#pragma once

#include <QList>
#include <QtGlobal>

#include <functional>
#include <memory>

// A pending call of a Clock. Destroying it cancels the call.
class ClockTimer
{
public:
    virtual ~ClockTimer() = default;
};

// The one seam for time: the pauses of a command and the deadlines of its answer waits, so that
// tests of long sequences and of timeouts run on a clock of their own instead of waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    // Pauses the command for ms milliseconds, or until interruptPause(). The window keeps
    // painting and answering input meanwhile.
    virtual void pause(int ms) = 0;
    // Ends the innermost pause running now at once.
    virtual void interruptPause() {}
    // Calls fire once, ms milliseconds from now, from the event loop, unless the returned timer
    // is destroyed first.
    virtual std::unique_ptr<ClockTimer> callAfter(int ms, std::function<void()> fire) = 0;
    // Milliseconds on a monotonic scale.
    virtual qint64 nowMs() const = 0;
};

// Real time: pauses in a local event loop (the calling command waits, the window repaints and
// answers input) and precise single-shot timers.
class EventLoopClock final : public Clock
{
public:
    EventLoopClock();
    void pause(int ms) override;
    void interruptPause() override;
    std::unique_ptr<ClockTimer> callAfter(int ms, std::function<void()> fire) override;
    qint64 nowMs() const override;

private:
    qint64 m_startNs;
    QList<class QEventLoop *> m_pauses; // innermost last
};

// The clock used by the program; tests may set another one.
Clock &appClock();
void setAppClock(Clock *clock); // nullptr restores the real one
