#include "engine/TEntryReader.h"

#include "engine/TReadFaults.h"

#include "engine/TExfatVolume.h"
#include "engine/TTskVolume.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <utility>

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
struct timespec fileTimeToTimespec(uint64_t time)
{
    constexpr int64_t kTicksPerSecond = 10000000LL;
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
    const int64_t ticks = static_cast<int64_t>(std::min<uint64_t>(time, INT64_MAX));
    return toTimespec(static_cast<time_t>(ticks / kTicksPerSecond - kSecondsFrom1601To1970),
                      time == 0 ? 0u : static_cast<uint32_t>(ticks % kTicksPerSecond * 100));
}

} // namespace

TEntryReader::TEntryReader(std::shared_ptr<TTskVolume> volume, uint64_t address)
    : m_volume(std::move(volume)), m_address(address)
{
}

TEntryReader::~TEntryReader()
{
    if (m_file != nullptr) {
        std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
        tsk_fs_file_close(m_file);
    }
}

TEntryReader::TOpened TEntryReader::open(std::string& reason)
{
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    if (m_file != nullptr) {
        tsk_fs_file_close(m_file);
    }
    m_file = tsk_fs_file_open_meta(m_volume->fs(), nullptr, m_address);
    if (m_file == nullptr || m_file->meta == nullptr) {
        reason = "The entry cannot be read: " + TTskVolume::takeLibraryError("no such entry");
        if (m_file != nullptr) {
            tsk_fs_file_close(m_file);
            m_file = nullptr;
        }
        return TOpened::Missing;
    }
    if (TSK_FS_IS_DIR_META(m_file->meta->type)) {
        reason = "The entry is a folder, not a file.";
        return TOpened::Folder;
    }
    m_size = std::max<int64_t>(0, m_file->meta->size);
    m_deletedFat = m_volume->isFatFamily() && (m_file->meta->flags & TSK_FS_META_FLAG_UNALLOC);
    m_times[0] = toTimespec(m_file->meta->atime, m_file->meta->atime_nano);
    m_times[1] = toTimespec(m_file->meta->mtime, m_file->meta->mtime_nano);
    if (!planExfatRun(reason)) {
        return TOpened::Invalid;
    }
    planDirect();
    return TOpened::Ok;
}

void TEntryReader::planDirect()
{
    m_direct.clear();
    if (!m_volume->isNtfs() || m_size == 0) {
        return;
    }
    const TSK_FS_ATTR* attr = tsk_fs_file_attr_get(m_file);
    if (attr == nullptr) {
        tsk_error_reset();
        return;
    }
    if (!(attr->flags & TSK_FS_ATTR_NONRES) || (attr->flags & (TSK_FS_ATTR_COMP | TSK_FS_ATTR_ENC)) ||
        attr->size != m_size || attr->nrd.initsize < 0) {
        return;
    }
    if (m_volume->rawDescriptor() < 0) {
        return;
    }
    const uint64_t blockSize = m_volume->fs()->block_size;
    const uint64_t imageSize = static_cast<uint64_t>(std::max<TSK_OFF_T>(0, m_volume->image()->size));
    const uint64_t volumeOffset = static_cast<uint64_t>(m_volume->offset());
    std::vector<TDirectRun> runs;
    uint64_t covered = 0;
    for (const TSK_FS_ATTR_RUN* run = attr->nrd.run; run != nullptr; run = run->next) {
        // Runs kept in a record that could not be read, or runs out of order, are the
        // library's to handle.
        if ((run->flags & TSK_FS_ATTR_RUN_FLAG_FILLER) || run->offset * blockSize != covered ||
            run->len > imageSize / blockSize) {
            return;
        }
        TDirectRun direct;
        direct.from = covered;
        direct.length = run->len * blockSize;
        direct.sparse = (run->flags & TSK_FS_ATTR_RUN_FLAG_SPARSE) != 0;
        direct.disk = volumeOffset + run->addr * blockSize;
        if (!direct.sparse && (run->addr > imageSize / blockSize || direct.disk > imageSize ||
                               direct.length > imageSize - direct.disk)) {
            return;
        }
        covered += direct.length;
        runs.push_back(direct);
        if (covered >= static_cast<uint64_t>(m_size)) {
            break;
        }
    }
    if (covered < static_cast<uint64_t>(m_size)) {
        return;
    }
    m_direct = std::move(runs);
    m_initialized = static_cast<uint64_t>(attr->nrd.initsize);
}

ssize_t TEntryReader::readDirect(int64_t position, char* buffer, size_t length) const
{
    uint64_t at = static_cast<uint64_t>(position);
    size_t done = 0;
    auto run = std::upper_bound(m_direct.begin(), m_direct.end(), at,
                                [](uint64_t offset, const TDirectRun& r) { return offset < r.from; });
    if (run == m_direct.begin()) {
        return -1;
    }
    --run;
    while (done < length && run != m_direct.end()) {
        if (at < run->from || at >= run->from + run->length) {
            return -1;
        }
        const uint64_t inRun = at - run->from;
        size_t part = static_cast<size_t>(std::min<uint64_t>(length - done, run->length - inRun));
        if (run->sparse || at >= m_initialized) {
            std::memset(buffer + done, 0, part); // holes and bytes past the written part
        } else {
            part = static_cast<size_t>(std::min<uint64_t>(part, m_initialized - at));
            if (!m_volume->readRaw(run->disk + inRun, buffer + done, part)) {
                return -1;
            }
        }
        done += part;
        at += part;
        if (at >= run->from + run->length) {
            ++run;
        }
    }
    return done == length ? static_cast<ssize_t>(done) : -1;
}

// An exFAT file whose stream entry says its data is one contiguous run (no FAT chain):
// the run is read straight from the volume, exactly its length, live or deleted, and
// whatever the library maps for a deleted entry. Bytes past the valid data length read
// as zeros, as the file system returns them. Where the entry knows its UTC offset, its
// times are the true instants. Holds the library lock.
bool TEntryReader::planExfatRun(std::string& reason)
{
    TSK_FS_INFO* fs = m_volume->fs();
    if (fs->ftype != TSK_FS_TYPE_EXFAT) {
        return true;
    }
    const TExfatVolume volume(fs);
    const std::optional<TExfatEntrySet> set = volume.readSet(m_address);
    if (!set || set->isFolder) {
        return true;
    }
    if (set->accessedStamp.utcOffset & 0x80) {
        m_times[0] = fileTimeToTimespec(set->accessed());
    }
    if (set->modifiedStamp.utcOffset & 0x80) {
        m_times[1] = fileTimeToTimespec(set->modified());
    }
    if (!set->noFatChain) {
        return true;
    }
    std::string error;
    const std::optional<TExfatGeometry::TRun> clusters =
        volume.geometry().contiguousRun(set->firstCluster, set->dataLength, error);
    if (!clusters || set->dataLength > static_cast<uint64_t>(INT64_MAX)) {
        reason = error.empty() ? std::string("its size is invalid") : error;
        return false;
    }
    m_exfatRun.used = true;
    m_exfatRun.offset = clusters->offset;
    m_exfatRun.validData = std::min(set->validDataLength, set->dataLength);
    m_size = static_cast<int64_t>(set->dataLength);
    return true;
}

ssize_t TEntryReader::readExfatRun(int64_t position, char* buffer, size_t length)
{
    const uint64_t from = static_cast<uint64_t>(position);
    if (from >= m_exfatRun.validData) {
        std::memset(buffer, 0, length);
        return static_cast<ssize_t>(length);
    }
    const size_t stored = static_cast<size_t>(std::min<uint64_t>(length, m_exfatRun.validData - from));
    const ssize_t got =
        tsk_fs_read(m_volume->fs(), static_cast<TSK_OFF_T>(m_exfatRun.offset + from), buffer, stored);
    if (got != static_cast<ssize_t>(stored)) {
        return -1;
    }
    std::memset(buffer + stored, 0, length - stored);
    return static_cast<ssize_t>(length);
}

// A deleted FAT file has no cluster chain left. The library follows free clusters
// from the first one and stops where the next cluster now belongs to another file;
// the rest is taken from the clusters that follow on disk, the way FAT undelete has
// always worked. What comes back there may be another file's data, but the copy is
// complete and the caller decides what to make of a reused file. Where the volume
// ends, so does what can be read.
ssize_t TEntryReader::readContiguous(int64_t position, char* buffer, size_t length)
{
    const TSK_FS_ATTR* attr = tsk_fs_file_attr_get(m_file);
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
    TSK_FS_INFO* fs = m_file->fs_info;
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
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), volumeEnd - source));
    return tsk_fs_read(fs, source, buffer, want);
}

ssize_t TEntryReader::attempt(int64_t position, char* buffer, size_t length)
{
    tsk_error_reset();
    TReadFaults::clearUnreadable();
    ssize_t got = m_exfatRun.used
                      ? readExfatRun(position, buffer, length)
                      : tsk_fs_file_read(m_file, position, buffer, length, TSK_FS_FILE_READ_FLAG_NONE);
    if (got <= 0 && m_deletedFat && !m_exfatRun.used) {
        tsk_error_reset();
        TReadFaults::clearUnreadable();
        got = readContiguous(position, buffer, length);
    }
    // The library gives zeros for what it could not read and may still count it as read:
    // the data is not the file's, and the read fails.
    if (TReadFaults::unreadableSeen()) {
        tsk_error_reset();
        tsk_error_set_errno(TSK_ERR_IMG_READ);
        tsk_error_set_errstr("the disk has an unreadable sector there");
        return -1;
    }
    return got;
}

ssize_t TEntryReader::read(int64_t position, char* buffer, size_t length, std::string& reason)
{
    if (m_file == nullptr || position < 0) {
        reason = "The entry is not open for reading.";
        return -1;
    }
    if (position >= m_size || length == 0) {
        return 0;
    }
    size_t want = static_cast<size_t>(std::min<int64_t>(m_size - position, static_cast<int64_t>(length)));
    if (!m_direct.empty() && readDirect(position, buffer, want) == static_cast<ssize_t>(want)) {
        return static_cast<ssize_t>(want);
    }
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    ssize_t got = attempt(position, buffer, want);
    // A read across an unreadable part fails as a whole: shorter reads from the same
    // position find the part before it that does read.
    while (got <= 0 && want > kSmallestRead) {
        want = std::max(kSmallestRead, want / 2);
        got = attempt(position, buffer, want);
    }
    if (got <= 0) {
        reason = "Reading the source failed at byte " + std::to_string(position) + ": " +
                 TTskVolume::takeLibraryError("no data");
        return -1;
    }
    tsk_error_reset();
    return std::min<ssize_t>(got, static_cast<ssize_t>(want));
}
