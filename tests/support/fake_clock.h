#pragma once

#include "common/clock.h"

#include <QList>

#include <functional>

// Records the pauses of the command under test instead of waiting them out, and can act at the
// moment of a pause. It is the application's clock while it lives.
class FakeClock final : public Clock
{
public:
    FakeClock() { setAppClock(this); }
    ~FakeClock() override { setAppClock(nullptr); }
    FakeClock(const FakeClock &) = delete;
    FakeClock &operator=(const FakeClock &) = delete;

    void pause(int ms) override
    {
        pauses.append(ms);
        if (onPause)
            onPause();
    }

    QList<int> pauses;
    std::function<void()> onPause;
};
