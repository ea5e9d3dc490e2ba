#pragma once

#include "engine/VantrelLib.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TTskVolume;

// One entry's copy into a target file. The copy runs on the engine's recovery worker;
// callers wait on the job and read its result.
class TRecoveryJob
{
public:
    // An open folder handle owned by one request; closed when the request goes.
    class TFolder
    {
    public:
        TFolder() = default;
        explicit TFolder(int fd) : m_fd(fd) {}
        ~TFolder();
        TFolder(TFolder&& other) noexcept;
        TFolder& operator=(TFolder&& other) noexcept;
        TFolder(const TFolder&) = delete;
        TFolder& operator=(const TFolder&) = delete;
        int get() const { return m_fd; }

    private:
        int m_fd = -1;
    };

    struct TRequest
    {
        std::shared_ptr<TTskVolume> volume;
        uint64_t address = 0;
        TFolder folder;     // the folder that receives the file
        std::string target; // the file's name inside folder: one path level
        std::string shown;  // how messages name the target
        void* window = nullptr;
        TVantrelProgressCallback progress = nullptr;
    };

    TRecoveryJob() = default;
    TRecoveryJob(const TRecoveryJob&) = delete;
    TRecoveryJob& operator=(const TRecoveryJob&) = delete;

    // Copies the request's entry unless the job was cancelled first, then finishes.
    // The buffer is the worker's, reused from file to file.
    void run(TRequest request, std::vector<char>& buffer);
    // Finishes with a result; a job finishes once, later calls are ignored.
    void finish(int32_t result, const std::string& message);
    // Stops a copy at its next chunk; a job not started yet finishes at once as cancelled.
    void cancel();

    int32_t wait(int32_t timeoutMs) const;
    int32_t result(std::string& message) const;

    // Size of one read from the source: large reads keep images and devices streaming.
    static constexpr size_t kChunkSize = 1 << 20;

private:
    int32_t copy(const TRequest& request, std::vector<char>& buffer, std::string& message);

    std::atomic<bool> m_cancel{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_done;
    std::atomic<bool> m_finished{false}; // set with m_result, read without the lock
    bool m_started = false;
    int32_t m_result = VANTREL_RECOVERY_RUNNING;
    std::string m_message;
};
