#pragma once

#include "util/TThrottle.h"

#include <cstdint>

// Clocks for throttled work, each set for the life of the object: with the first every
// turn is due (the window is served after each step), with the second none ever is.
class TEveryTurnClock
{
    TThrottle::TClock::Scope m_clock{[] {
        static int64_t hours = 0;
        return hours += 3'600'000;
    }};
};

class TFrozenClock
{
    TThrottle::TClock::Scope m_clock{[] { return int64_t{0}; }};
};
