#pragma once

#include "engine/TRecoveryJob.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// Runs recovery jobs one after another on one long-lived thread. Most entries of a
// drive are a few KiB, and starting a thread for each cost more than copying it.
class TRecoveryWorker
{
public:
    TRecoveryWorker() = default;
    // Cancels the queued jobs and the running one (which stops at its next chunk and
    // removes its partial file), then joins the thread.
    ~TRecoveryWorker();
    TRecoveryWorker(const TRecoveryWorker&) = delete;
    TRecoveryWorker& operator=(const TRecoveryWorker&) = delete;

    // Queues a job; the thread starts with the first one.
    void post(std::shared_ptr<TRecoveryJob> job, TRecoveryJob::TRequest request);

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<std::shared_ptr<TRecoveryJob>, TRecoveryJob::TRequest>> m_queue;
    std::shared_ptr<TRecoveryJob> m_current; // the job being copied, if any
    std::atomic<size_t> m_queued{0};         // the queue's length, read without the lock
    bool m_stopping = false;
    std::thread m_thread;
};
