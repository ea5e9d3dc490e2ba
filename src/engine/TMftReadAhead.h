#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Reads the MFT of a volume on a raw image or device ahead of its parser, on a thread of
// its own: while the records of one chunk are parsed, the next chunks are read. It reads
// with pread on a descriptor of its own, so it needs none of the file system library's
// state (or its lock); a few chunk buffers bound its memory.
//
// A chunk that cannot be read (a bad sector, a short read) is handed over as failed, and
// its records are read another way, one by one.
class TMftReadAhead
{
public:
    // A stretch of whole records that lies in one piece on the image.
    struct TExtent
    {
        uint64_t offset = 0; // byte offset of the first record on the image
        int64_t firstRecord = 0;
        int64_t records = 0;
    };

    // Starts reading; takes ownership of the descriptor. Extents in ascending record order.
    TMftReadAhead(int fd, std::vector<TExtent> extents, size_t recordSize);
    ~TMftReadAhead();
    TMftReadAhead(const TMftReadAhead&) = delete;
    TMftReadAhead& operator=(const TMftReadAhead&) = delete;

    // The bytes of the record, which may be changed; nullptr when no extent holds the
    // record whole or its chunk could not be read. Records are asked for in ascending order:
    // the chunks before the record are given back for reading.
    uint8_t* record(int64_t number);

private:
    struct TChunk
    {
        std::vector<uint8_t> data;
        int64_t firstRecord = 0;
        int64_t records = 0;
        bool failed = false;
        bool filled = false;
    };

    void run();

    int m_fd = -1;
    std::vector<TExtent> m_extents;
    size_t m_recordSize = 0;
    std::vector<TChunk> m_chunks; // a ring, filled in order
    size_t m_reading = 0;         // the next chunk the thread fills
    size_t m_current = 0;         // the chunk the parser reads
    bool m_haveCurrent = false;
    bool m_finished = false; // the thread read every extent
    bool m_stop = false;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::thread m_thread;
};
