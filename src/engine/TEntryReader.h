#pragma once

#include <tsk/libtsk.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class TTskVolume;

// Reads one entry's data the way a recovery copies it: through the library's file for
// live files, NTFS run lists, resident, sparse and compressed data; a deleted FAT file
// from its first cluster on, contiguously past where the library's mapping ends; an
// exFAT file without a FAT chain straight from its run. The recovery copy and the read
// call both read through this class, so what a viewer shows is what a copy would write.
//
// Each call takes the library lock itself; one reader is used by one thread at a time.
class TEntryReader
{
public:
    enum class TOpened
    {
        Ok,
        Missing, // no such entry, or its record cannot be read
        Folder,  // the entry is a folder
        Invalid, // the entry's data does not fit the volume
    };

    TEntryReader(std::shared_ptr<TTskVolume> volume, uint64_t address);
    ~TEntryReader();
    TEntryReader(const TEntryReader&) = delete;
    TEntryReader& operator=(const TEntryReader&) = delete;

    // Opens the entry; anything but Ok comes with a reason.
    TOpened open(std::string& reason);

    // Bytes the entry holds (valid once open succeeded).
    int64_t size() const { return m_size; }
    // Access and modification times for futimens; UTIME_OMIT where none is recorded.
    const struct timespec* times() const { return m_times; }
    const std::shared_ptr<TTskVolume>& volume() const { return m_volume; }
    uint64_t address() const { return m_address; }

    // Reads up to length bytes at position. Result: the bytes read (fewer than asked only
    // where the source gives no more: the next read then fails), 0 at or past the end, -1
    // with reason when nothing at position can be read.
    ssize_t read(int64_t position, char* buffer, size_t length, std::string& reason);

private:
    struct TExfatRun
    {
        bool used = false;
        uint64_t offset = 0;    // the run's first byte in the volume
        uint64_t validData = 0; // bytes of the file that hold written data
    };

    // A run of a plain non-resident stream on a raw image, in bytes.
    struct TDirectRun
    {
        uint64_t from = 0; // in the file
        uint64_t length = 0;
        uint64_t disk = 0;   // in the image
        bool sparse = false; // reads as zeros
    };

    // Where a read fails, shorter reads down to this size look for the part that reads.
    static constexpr size_t kSmallestRead = 512;

    // One read at position by the entry's rules; the caller holds the library lock.
    ssize_t attempt(int64_t position, char* buffer, size_t length);
    bool planExfatRun(std::string& reason);
    ssize_t readExfatRun(int64_t position, char* buffer, size_t length);
    ssize_t readContiguous(int64_t position, char* buffer, size_t length);
    // A plain NTFS stream on a raw image is read with pread from its runs, without the
    // library (its cache reads 64 KiB windows) and without its lock. The caller holds the
    // library lock for the plan; a read that does not give everything asked for is left to
    // the library's reading, which also tells bad sectors apart.
    void planDirect();
    ssize_t readDirect(int64_t position, char* buffer, size_t length) const;

    std::shared_ptr<TTskVolume> m_volume;
    uint64_t m_address;
    TSK_FS_FILE* m_file = nullptr;
    int64_t m_size = 0;
    bool m_deletedFat = false;
    TExfatRun m_exfatRun;
    std::vector<TDirectRun> m_direct; // empty: read through the library
    uint64_t m_initialized = 0;       // bytes of the stream that hold written data
    struct timespec m_times[2] = {};
};
