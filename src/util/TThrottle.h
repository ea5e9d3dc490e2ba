#pragma once

#include "util/TOverride.h"

#include <chrono>
#include <cstdint>
#include <functional>

// Lets long work on the GUI thread give the window a turn now and then: Due() is true once
// the interval has passed since the last time it was true (or since Start). The clock is
// the steady clock; a test sets another for a scope to decide when a turn falls due.
class TThrottle
{
public:
    // How often a window repaints and serves Cancel during long work.
    static constexpr std::chrono::milliseconds RepaintInterval{30};
    // Milliseconds on some steady scale.
    using TClock = TOverride<TThrottle, std::function<int64_t()>>;

    explicit TThrottle(std::chrono::milliseconds interval = RepaintInterval) : m_interval(interval) {}

    void SetInterval(std::chrono::milliseconds interval) { m_interval = interval; }
    // Counts the interval from now; before the first Start, the first Due() is true.
    void Start();
    bool Due();
    // True when a test clock is set: callers that look at the clock only now and then
    // look every time, so the test clock alone decides.
    static bool ClockSet() { return static_cast<bool>(TClock::Get()); }

private:
    static int64_t now();

    std::chrono::milliseconds m_interval;
    int64_t m_last = 0;
    bool m_started = false;
};
