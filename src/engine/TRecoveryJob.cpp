#include "engine/TRecoveryJob.h"

#include "engine/TTskVolume.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>
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

std::string errnoText(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

bool writeAll(int fd, const char* data, size_t size, int& error)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
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

} // namespace

TRecoveryJob::TRecoveryJob() : m_event(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TRecoveryJob::~TRecoveryJob()
{
    m_cancel = true;
    if (m_worker.joinable()) {
        m_worker.join();
    }
    if (m_event >= 0) {
        ::close(m_event);
    }
}

void TRecoveryJob::start(TRequest request)
{
    m_worker = std::thread([this, request = std::move(request)]() mutable { run(std::move(request)); });
}

void TRecoveryJob::finish(int32_t result, const std::string& message)
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_result = result;
        m_message = message;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_event, &one, sizeof one);
}

int32_t TRecoveryJob::wait(int32_t timeoutMs) const
{
    struct pollfd entry
    {
        m_event, POLLIN, 0
    };
    for (;;) {
        const int ready = ::poll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (ready > 0) {
            return VANTREL_WAIT_DONE;
        }
        if (ready == 0) {
            return VANTREL_WAIT_TIMEOUT;
        }
        if (errno != EINTR) {
            return VANTREL_WAIT_FAILED;
        }
    }
}

int32_t TRecoveryJob::result(std::string& message) const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    message = m_message;
    return m_result;
}

void TRecoveryJob::run(TRequest request)
{
    std::string message;
    const int32_t result = copy(request, message);
    // The volume may be the last reference; release it before reporting.
    request.volume.reset();
    finish(result, message);
}

int32_t TRecoveryJob::copy(const TRequest& request, std::string& message)
{
    TSK_FS_FILE* file = nullptr;
    int64_t total = 0;
    bool deletedFat = false;
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
    }
    // Release the library's file on every path below.
    std::unique_ptr<TSK_FS_FILE, void (*)(TSK_FS_FILE*)> fileGuard(file, [](TSK_FS_FILE* f) {
        std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
        tsk_fs_file_close(f);
    });

    // A symbolic link at the target is replaced, never written through: following it could put
    // recovered data anywhere on the machine, outside the destination the user chose.
    struct stat existing
    {
    };
    if (::lstat(request.target.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode) &&
        ::unlink(request.target.c_str()) != 0) {
        message = errnoText(("Cannot replace the link " + request.target).c_str(), errno);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    const int fd =
        ::open(request.target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        message = errnoText(("Cannot create " + request.target).c_str(), errno);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    struct stat status
    {
    };
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    // A copy that fails is removed, so no half-written file passes for a recovered one.
    // Only a regular file is removed: a device or pipe given as target stays.
    auto fail = [&](int32_t result) {
        ::close(fd);
        if (regular) {
            ::unlink(request.target.c_str());
        }
        return result;
    };

    if (request.progress != nullptr) {
        request.progress(request.window, total, 0);
    }
    // Small files get a small buffer: most entries of a drive are a few KiB.
    std::vector<char> buffer(static_cast<size_t>(std::clamp<int64_t>(total, 1, kChunkSize)));
    int64_t position = 0;
    while (position < total) {
        if (m_cancel) {
            message = "The recovery was cancelled.";
            return fail(VANTREL_RECOVERY_CANCELLED);
        }
        const size_t want = static_cast<size_t>(std::min<int64_t>(total - position, kChunkSize));
        ssize_t got = 0;
        {
            std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
            got = tsk_fs_file_read(file, position, buffer.data(), want, TSK_FS_FILE_READ_FLAG_NONE);
            if (got <= 0 && deletedFat) {
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
        const bool zeros =
            regular && buffer[0] == 0 && std::memcmp(buffer.data(), buffer.data() + 1, length - 1) == 0;
        if (zeros) {
            if (::lseek(fd, got, SEEK_CUR) < 0) {
                error = errno;
                message = errnoText(("Writing " + request.target + " failed").c_str(), error);
                return fail(VANTREL_RECOVERY_WRITE_ERROR);
            }
        } else if (!writeAll(fd, buffer.data(), length, error)) {
            message = errnoText(("Writing " + request.target + " failed").c_str(), error);
            return fail(VANTREL_RECOVERY_WRITE_ERROR);
        }
        position += got;
        if (request.progress != nullptr) {
            request.progress(request.window, total, position);
        }
    }
    // A file that ends in a hole gets its full length here.
    if (regular && ::ftruncate(fd, total) != 0) {
        message = errnoText(("Writing " + request.target + " failed").c_str(), errno);
        return fail(VANTREL_RECOVERY_WRITE_ERROR);
    }
    if (regular && ::futimens(fd, times) != 0) {
        message = errnoText("Cannot set the file times", errno);
        return fail(VANTREL_RECOVERY_WRITE_ERROR);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        if (regular) {
            ::unlink(request.target.c_str());
        }
        message = errnoText(("Writing " + request.target + " failed").c_str(), error);
        return VANTREL_RECOVERY_WRITE_ERROR;
    }
    return VANTREL_RECOVERY_OK;
}
