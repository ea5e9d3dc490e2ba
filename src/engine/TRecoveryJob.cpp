#include "engine/TRecoveryJob.h"

#include "engine/TExfatVolume.h"
#include "engine/TSpinWait.h"
#include "engine/TTskVolume.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct timespec toTimespec(time_t seconds, uint32_t nanoseconds)
{
    struct timespec value
    {
    };
    if (seconds == 0 && nanoseconds == 0) {
        value.tv_nsec = UTIME_OMIT;
    } else {
        value.tv_sec = seconds;
        value.tv_nsec = nanoseconds < 1000000000u ? nanoseconds : 0;
    }
    return value;
}

// A FILETIME as a file time; UTIME_OMIT for "not recorded".
struct timespec fileTimeToTimespec(TFileTime time)
{
    constexpr int64_t kTicksPerSecond = 10000000LL;
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
    const int64_t ticks = static_cast<int64_t>(std::min<TFileTime>(time, INT64_MAX));
    return toTimespec(static_cast<time_t>(ticks / kTicksPerSecond - kSecondsFrom1601To1970),
                      time == 0 ? 0u : static_cast<uint32_t>(ticks % kTicksPerSecond * 100));
}

// An exFAT file whose stream entry says its data is one contiguous run (no FAT chain):
// the run is read straight from the volume, exactly its length, live or deleted, and
// whatever the library maps for a deleted entry. Bytes past the valid data length read
// as zeros, as the file system returns them.
struct TExfatRun
{
    bool used = false;
    uint64_t offset = 0;    // the run's first byte in the volume
    uint64_t validData = 0; // bytes of the file that hold written data
};

// Fills run for an exFAT file stored without a FAT chain; false with message set when
// such a run does not fit the volume. Sets total and, where the entry knows its UTC
// offset, the true instants in times. Holds the library lock.
bool planExfatRun(TSK_FS_INFO* fs, uint64_t address, const std::string& shown, TExfatRun& run, int64_t& total,
                  struct timespec times[2], std::string& message)
{
    if (fs->ftype != TSK_FS_TYPE_EXFAT) {
        return true;
    }
    const TExfatVolume volume(fs);
    const std::optional<TExfatEntrySet> set = volume.readSet(address);
    if (!set || set->isFolder) {
        return true;
    }
    if (set->accessedStamp.utcOffset & 0x80) {
        times[0] = fileTimeToTimespec(set->accessed());
    }
    if (set->modifiedStamp.utcOffset & 0x80) {
        times[1] = fileTimeToTimespec(set->modified());
    }
    if (!set->noFatChain) {
        return true;
    }
    std::string error;
    const std::optional<TExfatGeometry::TRun> clusters =
        volume.geometry().contiguousRun(set->firstCluster, set->dataLength, error);
    if (!clusters || set->dataLength > static_cast<uint64_t>(INT64_MAX)) {
        message = shown +
                  " cannot be recovered: " + (error.empty() ? std::string("its size is invalid") : error) +
                  "; nothing was copied.";
        return false;
    }
    run.used = true;
    run.offset = clusters->offset;
    run.validData = std::min(set->validDataLength, set->dataLength);
    total = static_cast<int64_t>(set->dataLength);
    return true;
}

ssize_t readExfatRun(TSK_FS_INFO* fs, const TExfatRun& run, int64_t position, char* buffer, size_t size)
{
    const uint64_t from = static_cast<uint64_t>(position);
    if (from >= run.validData) {
        std::memset(buffer, 0, size);
        return static_cast<ssize_t>(size);
    }
    const size_t stored = static_cast<size_t>(std::min<uint64_t>(size, run.validData - from));
    const ssize_t got = tsk_fs_read(fs, static_cast<TSK_OFF_T>(run.offset + from), buffer, stored);
    if (got != static_cast<ssize_t>(stored)) {
        return -1;
    }
    std::memset(buffer + stored, 0, size - stored);
    return static_cast<ssize_t>(size);
}

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

// A deleted FAT file has no cluster chain left. The library follows free clusters
// from the first one and stops where the next cluster now belongs to another file;
// the rest is taken from the clusters that follow on disk, the way FAT undelete has
// always worked. What comes back there may be another file's data, but the copy is
// complete and the caller decides what to make of a reused file.
ssize_t readContiguous(TSK_FS_FILE* file, int64_t position, char* buffer, size_t size)
{
    const TSK_FS_ATTR* attr = tsk_fs_file_attr_get(file);
    if (attr == nullptr || !(attr->flags & TSK_FS_ATTR_NONRES)) {
        return -1;
    }
    const TSK_FS_ATTR_RUN* last = nullptr;
    for (const TSK_FS_ATTR_RUN* run = attr->nrd.run; run != nullptr; run = run->next) {
        if (run->len > 0 && !(run->flags & (TSK_FS_ATTR_RUN_FLAG_FILLER | TSK_FS_ATTR_RUN_FLAG_SPARSE))) {
            last = run;
        }
    }
    if (last == nullptr) {
        return -1;
    }
    TSK_FS_INFO* fs = file->fs_info;
    const int64_t blockSize = fs->block_size;
    const int64_t runEnd = static_cast<int64_t>(last->offset + last->len) * blockSize;
    if (position < runEnd) {
        return -1; // a read error inside what the library mapped is a real read error
    }
    const int64_t source = static_cast<int64_t>(last->addr + last->len) * blockSize + (position - runEnd);
    const int64_t volumeEnd = static_cast<int64_t>(fs->last_block_act + 1) * blockSize;
    if (source >= volumeEnd) {
        return -1;
    }
    const size_t want =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), volumeEnd - source));
    return tsk_fs_read(fs, source, buffer, want);
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
    TSK_FS_FILE* file = nullptr;
    int64_t total = 0;
    bool deletedFat = false;
    TExfatRun exfatRun;
    struct timespec times[2] = {};
    {
        std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
        file = tsk_fs_file_open_meta(request.volume->fs(), nullptr, request.address);
        if (file == nullptr || file->meta == nullptr) {
            message = "The entry cannot be read: " + TTskVolume::takeLibraryError("no such entry");
            if (file != nullptr) {
                tsk_fs_file_close(file);
            }
            return VANTREL_RECOVERY_READ_ERROR;
        }
        if (TSK_FS_IS_DIR_META(file->meta->type)) {
            tsk_fs_file_close(file);
            message = "The entry is a folder, not a file.";
            return VANTREL_RECOVERY_BAD_REQUEST;
        }
        total = std::max<int64_t>(0, file->meta->size);
        deletedFat = request.volume->isFatFamily() && (file->meta->flags & TSK_FS_META_FLAG_UNALLOC);
        times[0] = toTimespec(file->meta->atime, file->meta->atime_nano);
        times[1] = toTimespec(file->meta->mtime, file->meta->mtime_nano);
        if (!planExfatRun(request.volume->fs(), request.address, request.shown, exfatRun, total, times,
                          message)) {
            tsk_fs_file_close(file);
            return VANTREL_RECOVERY_READ_ERROR;
        }
    }
    // Release the library's file on every path below.
    std::unique_ptr<TSK_FS_FILE, void (*)(TSK_FS_FILE*)> fileGuard(file, [](TSK_FS_FILE* f) {
        std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
        tsk_fs_file_close(f);
    });

    const int folder = request.folder.get();
    const std::string& shown = request.shown;
    // Only a regular file receives data. A symbolic link at the target is replaced, never
    // written through: following it could put recovered data anywhere on the machine. A
    // regular file that shares its data with other names (hard links) is replaced by a
    // new file, so the other names keep what they had. Anything else (pipe, device,
    // socket, folder) stays as it is and the copy is refused.
    bool replace = false;
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
        } else if (existing.st_nlink > 1) {
            replace = true;
        }
    } else if (errno != ENOENT) {
        message = errnoText(("Cannot create " + shown).c_str(), errno);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    const std::string written = replace ? temporaryName() : request.target;
    // O_NOFOLLOW: a link planted since the check is not followed. O_NONBLOCK: a pipe planted
    // since the check fails the open instead of blocking the worker for good.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (replace ? O_EXCL : 0);
    const int fd = ::openat(folder, written.c_str(), flags, 0644);
    if (fd < 0) {
        message = errnoText(("Cannot create " + shown).c_str(), errno);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || (!replace && status.st_nlink > 1)) {
        ::close(fd);
        message = notRegularText(shown);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    // A copy that fails is removed, so no half-written file passes for a recovered one.
    auto fail = [&](int32_t result) {
        ::close(fd);
        ::unlinkat(folder, written.c_str(), 0);
        return result;
    };
    if (!replace && ::ftruncate(fd, 0) != 0) {
        message = errnoText(("Writing " + shown + " failed").c_str(), errno);
        return fail(VANTREL_RECOVERY_WRITE_ERROR);
    }

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
        ssize_t got = 0;
        {
            std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
            got = exfatRun.used
                      ? readExfatRun(request.volume->fs(), exfatRun, position, buffer.data(), want)
                      : tsk_fs_file_read(file, position, buffer.data(), want, TSK_FS_FILE_READ_FLAG_NONE);
            if (got <= 0 && deletedFat && !exfatRun.used) {
                tsk_error_reset();
                got = readContiguous(file, position, buffer.data(), want);
            }
            if (got <= 0) {
                message = "Reading the source failed at byte " + std::to_string(position) + ": " +
                          TTskVolume::takeLibraryError("no data");
            }
        }
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
    if (::futimens(fd, times) != 0) {
        message = errnoText("Cannot set the file times", errno);
        return fail(VANTREL_RECOVERY_WRITE_ERROR);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlinkat(folder, written.c_str(), 0);
        message = errnoText(("Writing " + shown + " failed").c_str(), error);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    if (replace && ::renameat(folder, written.c_str(), folder, request.target.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(folder, written.c_str(), 0);
        message = errnoText(("Cannot replace " + shown).c_str(), error);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    return VANTREL_RECOVERY_OK;
}
