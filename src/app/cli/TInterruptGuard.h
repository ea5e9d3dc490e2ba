#pragma once

#include <csignal>

// Catches Ctrl+C (SIGINT), SIGTERM and SIGHUP while it lives, so long work can stop
// cleanly instead of dying mid-way; the previous handlers come back when it goes.
class TInterruptGuard
{
public:
    TInterruptGuard();
    ~TInterruptGuard();
    TInterruptGuard(const TInterruptGuard&) = delete;
    TInterruptGuard& operator=(const TInterruptGuard&) = delete;

    // True once one of the signals came while a guard was in place.
    static bool Interrupted() { return s_interrupted != 0; }

private:
    static void onInterrupt(int);

    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    static volatile std::sig_atomic_t s_interrupted;
    void (*m_previous[3])(int);
};
