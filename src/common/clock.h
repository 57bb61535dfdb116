#pragma once

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
// tests of long sequences and of timeouts run on a clock of their own instead of waiting. Each
// link is handed its clock; nothing in the program reads a process-wide one.
class Clock
{
public:
    virtual ~Clock() = default;
    // Calls fire once, ms milliseconds from now, from the event loop, unless the returned timer
    // is destroyed first.
    virtual std::unique_ptr<ClockTimer> callAfter(int ms, std::function<void()> fire) = 0;
    // The end of a command's pause of ms milliseconds, as callAfter; a clock of its own may
    // also note the pause.
    virtual std::unique_ptr<ClockTimer> pauseEnds(int ms, std::function<void()> fire)
    {
        return callAfter(ms, std::move(fire));
    }
    // Milliseconds on a monotonic scale.
    virtual qint64 nowMs() const = 0;
};

// Real time: precise single-shot timers on the event loop.
class SteadyClock final : public Clock
{
public:
    SteadyClock();
    std::unique_ptr<ClockTimer> callAfter(int ms, std::function<void()> fire) override;
    qint64 nowMs() const override;

private:
    qint64 m_startNs;
};
