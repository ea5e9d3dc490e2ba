#include "util/TThrottle.h"

void TThrottle::Start()
{
    m_last = now();
    m_started = true;
}

bool TThrottle::Due()
{
    const int64_t time = now();
    if (m_started && time - m_last < m_interval.count())
        return false;
    m_last = time;
    m_started = true;
    return true;
}

int64_t TThrottle::now()
{
    if (const auto& clock = TClock::Get())
        return clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
