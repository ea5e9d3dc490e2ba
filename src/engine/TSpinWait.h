#pragma once

#include <chrono>
#include <thread>

// A short busy wait for a condition another thread is about to make true. Handing a
// small file's copy to the worker and back costs two sleeps and two wake-ups, more than
// the copy itself; when the other side answers within the budget, neither thread sleeps.
class TSpinWait
{
public:
    static constexpr std::chrono::microseconds kBudget{200};

    // True as soon as done() holds, false when the budget ran out first.
    template<typename Predicate> static bool until(Predicate done, std::chrono::microseconds budget = kBudget)
    {
        const auto deadline = std::chrono::steady_clock::now() + budget;
        for (;;) {
            for (int i = 0; i < 64; ++i) {
                if (done()) {
                    return true;
                }
                relax();
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return done();
            }
            // Lets the other thread run when both share one core.
            std::this_thread::yield();
        }
    }

private:
    static void relax()
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__)
        asm volatile("yield");
#endif
    }
};
