#include "engine/TRecoveryWorker.h"

#include "engine/TSpinWait.h"
#include "engine/TTskVolume.h"

#include <vector>

TRecoveryWorker::~TRecoveryWorker()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stopping = true;
        for (auto& entry : m_queue) {
            entry.first->cancel();
        }
        if (m_current) {
            m_current->cancel();
        }
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void TRecoveryWorker::post(std::shared_ptr<TRecoveryJob> job, TRecoveryJob::TRequest request)
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_stopping) {
            job->finish(VANTREL_RECOVERY_CANCELLED, "The engine is shutting down.");
            return;
        }
        m_queue.emplace_back(std::move(job), std::move(request));
        m_queued.store(m_queue.size(), std::memory_order_release);
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { loop(); });
        }
    }
    m_wake.notify_one();
}

void TRecoveryWorker::loop()
{
    std::vector<char> buffer;
    for (;;) {
        std::shared_ptr<TRecoveryJob> job;
        TRecoveryJob::TRequest request;
        // The caller usually posts the next file right after the last one finished.
        TSpinWait::until([this] { return m_queued.load(std::memory_order_acquire) > 0; });
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) {
                return; // stopping, and nothing left to finish
            }
            job = std::move(m_queue.front().first);
            request = std::move(m_queue.front().second);
            m_queue.pop_front();
            m_current = job;
            m_queued.store(m_queue.size(), std::memory_order_release);
        }
        job->run(std::move(request), buffer);
        std::lock_guard<std::mutex> guard(m_mutex);
        m_current.reset();
    }
}
