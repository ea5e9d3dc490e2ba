#include "TInterruptGuard.h"

volatile std::sig_atomic_t TInterruptGuard::s_interrupted = 0;

TInterruptGuard::TInterruptGuard()
{
    s_interrupted = 0;
    for (int i = 0; i < 3; ++i)
        m_previous[i] = std::signal(kSignals[i], &TInterruptGuard::onInterrupt);
}

TInterruptGuard::~TInterruptGuard()
{
    for (int i = 0; i < 3; ++i)
        std::signal(kSignals[i], m_previous[i] == SIG_ERR ? SIG_DFL : m_previous[i]);
}

void TInterruptGuard::onInterrupt(int)
{
    s_interrupted = 1;
}
