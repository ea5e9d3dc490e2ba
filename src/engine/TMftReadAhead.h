#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Reads the MFT of a volume ahead of its parser, on a thread of its own: while the records
// of one chunk are parsed, the next chunks are read. What reads them is given: pread on a
// raw image's descriptor, which needs none of the file system library's state, or the
// library's read under its lock. A few chunk buffers bound its memory.
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

    // Reads length bytes at an image offset whole; false when it cannot. Called on the
    // read-ahead thread.
    using TRead = std::function<bool(uint64_t offset, uint8_t* buffer, size_t length)>;

    // Starts reading. Extents in ascending record order.
    TMftReadAhead(TRead read, std::vector<TExtent> extents, size_t recordSize);
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

    TRead m_read;
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
