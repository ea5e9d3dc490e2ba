#include "engine/TRecoveryJob.h"

#include "engine/TEntryReader.h"
#include "engine/TSpinWait.h"
#include "engine/TTskVolume.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::string errnoText(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// Largest single write. Large writes let the kernel back the page cache with large
// folios; when memory is fragmented by earlier copies, finding those made 1 MiB writes
// up to twenty times slower than the same data written 64 KiB at a time.
constexpr size_t kWriteSize = 64 * 1024;

bool writeAll(int fd, const char* data, size_t size, int& error)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, std::min(size, kWriteSize));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        if (written == 0) {
            error = ENOSPC;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string notRegularText(const std::string& shown)
{
    return shown + " is not a regular file; it was left as it is.";
}

// A name for the new file that replaces a target with other hard links, unique in the process.
std::string temporaryName()
{
    static std::atomic<uint64_t> counter{0};
    return ".brevant-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".part";
}

} // namespace

TRecoveryJob::TFolder::~TFolder()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

TRecoveryJob::TFolder::TFolder(TFolder&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

TRecoveryJob::TFolder& TRecoveryJob::TFolder::operator=(TFolder&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void TRecoveryJob::finish(int32_t result, const std::string& message)
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_result != VANTREL_RECOVERY_RUNNING) {
            return;
        }
        m_result = result;
        m_message = message;
        m_finished.store(true, std::memory_order_release);
    }
    m_done.notify_all();
}

int32_t TRecoveryJob::wait(int32_t timeoutMs) const
{
    const auto finished = [this] { return m_finished.load(std::memory_order_acquire); };
    if (timeoutMs != 0 && TSpinWait::until(finished)) {
        return VANTREL_WAIT_DONE;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs < 0) {
        m_done.wait(lock, finished);
        return VANTREL_WAIT_DONE;
    }
    return m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), finished) ? VANTREL_WAIT_DONE
                                                                                 : VANTREL_WAIT_TIMEOUT;
}

int32_t TRecoveryJob::result(std::string& message) const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    message = m_message;
    return m_result;
}

void TRecoveryJob::cancel()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_cancel = true;
        if (m_started || m_result != VANTREL_RECOVERY_RUNNING) {
            return;
        }
        m_result = VANTREL_RECOVERY_CANCELLED;
        m_message = "The recovery was cancelled.";
        m_finished.store(true, std::memory_order_release);
    }
    m_done.notify_all();
}

void TRecoveryJob::run(TRequest request, std::vector<char>& buffer)
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_result != VANTREL_RECOVERY_RUNNING) {
            return; // cancelled while it waited in the queue
        }
        m_started = true;
    }
    std::string message;
    const int32_t result = copy(request, buffer, message);
    // The volume may be the last reference; release it before reporting.
    request.volume.reset();
    finish(result, message);
}

int32_t TRecoveryJob::copy(const TRequest& request, std::vector<char>& buffer, std::string& message)
{
    TEntryReader reader(request.volume, request.address);
    std::string reason;
    switch (reader.open(reason)) {
    case TEntryReader::TOpened::Ok:
        break;
    case TEntryReader::TOpened::Folder:
        message = reason;
        return VANTREL_RECOVERY_BAD_REQUEST;
    case TEntryReader::TOpened::Missing:
        message = reason;
        return VANTREL_RECOVERY_READ_ERROR;
    case TEntryReader::TOpened::Invalid:
        message = request.shown + " cannot be recovered: " + reason + "; nothing was copied.";
        return VANTREL_RECOVERY_READ_ERROR;
    }
    const int64_t total = reader.size();

    const int folder = request.folder.get();
    const std::string& shown = request.shown;
    // Only a regular file receives data. A symbolic link at the target is replaced, never
    // written through: following it could put recovered data anywhere on the machine.
    // Anything else (pipe, device, socket, folder) stays as it is and the copy is refused.
    struct stat existing
    {
    };
    if (::fstatat(folder, request.target.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(existing.st_mode)) {
            if (::unlinkat(folder, request.target.c_str(), 0) != 0) {
                message = errnoText(("Cannot replace the link " + shown).c_str(), errno);
                return VANTREL_RECOVERY_WRITE_ERROR;
            }
        } else if (!S_ISREG(existing.st_mode)) {
            message = notRegularText(shown);
            return VANTREL_RECOVERY_WRITE_ERROR;
        }
    } else if (errno != ENOENT) {
        message = errnoText(("Cannot create " + shown).c_str(), errno);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    // The data goes to a new file under a name that marks it partial and takes the target's
    // name only when complete: a run killed outright leaves that partial file, never a
    // short file under the real name that a later run would take for a recovered one. A
    // file already under the name (the user agreed to replace it) stays whole until then,
    // and other names of it (hard links) keep what they have.
    const std::string written = temporaryName();
    // O_EXCL and O_NOFOLLOW: nothing planted under the name is opened. O_NONBLOCK: nor
    // could a pipe block the worker for good.
    const int fd = ::openat(folder, written.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        message = errnoText(("Cannot create " + shown).c_str(), errno);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    // A copy that fails is removed, so no half-written file passes for a recovered one.
    auto fail = [&](int32_t result) {
        ::close(fd);
        ::unlinkat(folder, written.c_str(), 0);
        return result;
    };

    if (request.progress != nullptr) {
        request.progress(request.window, total, 0);
    }
    // The worker's buffer grows to the largest chunk needed so far and is reused.
    const size_t chunk = static_cast<size_t>(std::clamp<int64_t>(total, 1, kChunkSize));
    if (buffer.size() < chunk) {
        buffer.resize(chunk);
    }
    int64_t position = 0;
    bool endsInHole = false;
    while (position < total) {
        if (m_cancel) {
            message = "The recovery was cancelled.";
            return fail(VANTREL_RECOVERY_CANCELLED);
        }
        const size_t want = static_cast<size_t>(std::min<int64_t>(total - position, kChunkSize));
        const ssize_t got = reader.read(position, buffer.data(), want, message);
        if (got <= 0) {
            return fail(VANTREL_RECOVERY_READ_ERROR);
        }
        int error = 0;
        const size_t length = static_cast<size_t>(got);
        // Runs of zeros (sparse or never-written parts) become holes in a regular target.
        const bool zeros = buffer[0] == 0 && std::memcmp(buffer.data(), buffer.data() + 1, length - 1) == 0;
        endsInHole = zeros;
        if (zeros) {
            if (::lseek(fd, got, SEEK_CUR) < 0) {
                error = errno;
                message = errnoText(("Writing " + shown + " failed").c_str(), error);
                return fail(VANTREL_RECOVERY_WRITE_ERROR);
            }
        } else if (!writeAll(fd, buffer.data(), length, error)) {
            message = errnoText(("Writing " + shown + " failed").c_str(), error);
            return fail(VANTREL_RECOVERY_WRITE_ERROR);
        }
        position += got;
        if (request.progress != nullptr) {
            request.progress(request.window, total, position);
        }
    }
    // A file that ends in a hole gets its full length here.
    if (endsInHole && ::ftruncate(fd, total) != 0) {
        message = errnoText(("Writing " + shown + " failed").c_str(), errno);
        return fail(VANTREL_RECOVERY_WRITE_ERROR);
    }
    if (::futimens(fd, reader.times()) != 0) {
        message = errnoText("Cannot set the file times", errno);
        return fail(VANTREL_RECOVERY_WRITE_ERROR);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlinkat(folder, written.c_str(), 0);
        message = errnoText(("Writing " + shown + " failed").c_str(), error);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    if (::renameat(folder, written.c_str(), folder, request.target.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(folder, written.c_str(), 0);
        message = errnoText(("Cannot replace " + shown).c_str(), error);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    return VANTREL_RECOVERY_OK;
}
