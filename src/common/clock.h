#pragma once

// The one seam for pauses, so that tests of long sequences need not wait them out.
class Clock
{
public:
    virtual ~Clock() = default;
    // Pauses the command for ms milliseconds. The window keeps painting meanwhile.
    virtual void pause(int ms) = 0;
};

// Pauses in a local event loop: the calling command waits, the window repaints.
class EventLoopClock final : public Clock
{
public:
    void pause(int ms) override;
};

// The clock used by the program; tests may set another one.
Clock &appClock();
void setAppClock(Clock *clock); // nullptr restores the real one
