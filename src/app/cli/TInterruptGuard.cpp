#include "TInterruptGuard.h"

volatile std::sig_atomic_t TInterruptGuard::s_interrupted = 0;

TInterruptGuard::TInterruptGuard()
{
    s_interrupted = 0;
    m_previous = std::signal(SIGINT, &TInterruptGuard::onInterrupt);
}

TInterruptGuard::~TInterruptGuard()
{
    std::signal(SIGINT, m_previous == SIG_ERR ? SIG_DFL : m_previous);
}

void TInterruptGuard::onInterrupt(int)
{
    s_interrupted = 1;
}
