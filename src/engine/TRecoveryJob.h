#pragma once

#include "engine/VantrelLib.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class TTskVolume;

// Copies one entry's data into a target file on a worker thread. Completion is
// signalled through an eventfd, whose descriptor is the handle the caller waits on.
class TRecoveryJob
{
public:
    struct TRequest
    {
        std::shared_ptr<TTskVolume> volume;
        uint64_t address = 0;
        std::string target;
        void* window = nullptr;
        TVantrelProgressCallback progress = nullptr;
    };

    TRecoveryJob();
    ~TRecoveryJob(); // cancels a running copy and waits for the worker
    TRecoveryJob(const TRecoveryJob&) = delete;
    TRecoveryJob& operator=(const TRecoveryJob&) = delete;

    // False when no event descriptor could be made.
    bool isValid() const { return m_event >= 0; }
    int handle() const { return m_event; }

    void start(TRequest request);
    // Finishes at once with a result, without a worker (for refused requests).
    void finish(int32_t result, const std::string& message);

    int32_t wait(int32_t timeoutMs) const;
    int32_t result(std::string& message) const;

    // Size of one read from the source: large reads keep images and devices streaming.
    static constexpr size_t kChunkSize = 1 << 20;

private:
    void run(TRequest request);
    int32_t copy(const TRequest& request, std::string& message);

    int m_event = -1;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    mutable std::mutex m_mutex;
    int32_t m_result = VANTREL_RECOVERY_RUNNING;
    std::string m_message;
};
