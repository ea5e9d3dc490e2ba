#pragma once

#include <tsk/libtsk.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// One opened file system: the image (or device) read-only, and the file system at
// a byte offset inside it. Shared between the enumeration and running recoveries,
// so a new enumeration never closes a volume a copy still reads from.
class TTskVolume
{
public:
    ~TTskVolume();
    TTskVolume(const TTskVolume&) = delete;
    TTskVolume& operator=(const TTskVolume&) = delete;

    // Opens path and the file system at offset; nullptr with error set on failure.
    static std::shared_ptr<TTskVolume> open(const std::string& path, int64_t offset, std::string& error);

    // Opens an image or device read-only, its format told by its first and last bytes.
    // The caller holds libraryLock(). On failure error says why.
    static TSK_IMG_INFO* openImage(const std::string& path, std::string& error, bool* raw = nullptr);

    // The library keeps per-handle caches that are not safe to share between
    // threads; every call into it holds this lock.
    static std::mutex& libraryLock();
    // The library's error text for the last failure on this thread, then cleared.
    static std::string takeLibraryError(const char* fallback);

    TSK_IMG_INFO* image() const { return m_image; }
    TSK_FS_INFO* fs() const { return m_fs; }
    const std::string& path() const { return m_path; }
    int64_t offset() const { return m_offset; }
    bool isNtfs() const;
    // Whether the image is one plain file or device, byte for byte the volume's disk.
    bool isRawFile() const { return m_rawFile; }
    // A read-only descriptor of a raw image or device, for reads with pread that need none
    // of the library's state (and so not its lock); -1 where the image is no raw file, or
    // read faults are laid over it for tests (they apply to the library's reads only).
    // Owned by the volume.
    int rawDescriptor();
    // Reads length bytes at an image offset through that descriptor, whole; false when
    // there is none or the read comes short (a bad sector, the end of the image).
    bool readRaw(uint64_t offset, void* buffer, size_t length);
    // FAT12/16/32 and exFAT: their times are local calendar fields.
    bool isFatFamily() const;

private:
    TTskVolume() = default;

    TSK_IMG_INFO* m_image = nullptr;
    TSK_FS_INFO* m_fs = nullptr;
    std::string m_path;
    int64_t m_offset = 0;
    bool m_rawFile = false;
    std::once_flag m_rawOpened;
    int m_rawFd = -1;
};
