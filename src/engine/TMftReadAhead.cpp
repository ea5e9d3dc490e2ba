#include "engine/TMftReadAhead.h"

#include <algorithm>

namespace {

// Three chunks of 1 MiB: one parsed, two read ahead.
constexpr size_t kChunkBytes = size_t{1} << 20;
constexpr size_t kChunkCount = 3;

} // namespace

TMftReadAhead::TMftReadAhead(TRead read, std::vector<TExtent> extents, size_t recordSize)
    : m_read(std::move(read)), m_extents(std::move(extents)), m_recordSize(recordSize), m_chunks(kChunkCount)
{
    // A small MFT needs no more room than it takes.
    int64_t records = 0;
    for (const TExtent& extent : m_extents) {
        records += extent.records;
    }
    const size_t perChunk =
        std::clamp<size_t>(static_cast<size_t>(records), 1, std::max(kChunkBytes / recordSize, size_t{1}));
    for (TChunk& chunk : m_chunks) {
        chunk.data.resize(perChunk * recordSize);
    }
    m_thread = std::thread([this] { run(); });
}

TMftReadAhead::~TMftReadAhead()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void TMftReadAhead::run()
{
    const int64_t perChunk = static_cast<int64_t>(m_chunks.front().data.size() / m_recordSize);
    for (const TExtent& extent : m_extents) {
        for (int64_t done = 0; done < extent.records; done += perChunk) {
            TChunk* chunk = nullptr;
            {
                std::unique_lock<std::mutex> guard(m_lock);
                // The slot is free once the parser has moved past it.
                m_changed.wait(guard, [&] { return m_stop || !m_chunks[m_reading].filled; });
                if (m_stop) {
                    return;
                }
                chunk = &m_chunks[m_reading];
            }
            chunk->firstRecord = extent.firstRecord + done;
            chunk->records = std::min(perChunk, extent.records - done);
            const size_t bytes = static_cast<size_t>(chunk->records) * m_recordSize;
            const uint64_t at = extent.offset + static_cast<uint64_t>(done) * m_recordSize;
            chunk->failed = !m_read(at, chunk->data.data(), bytes);
            {
                std::lock_guard<std::mutex> guard(m_lock);
                chunk->filled = true;
                m_reading = (m_reading + 1) % m_chunks.size();
            }
            m_changed.notify_all();
        }
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_finished = true;
    m_changed.notify_all();
}

uint8_t* TMftReadAhead::record(int64_t number)
{
    for (;;) {
        if (m_haveCurrent) {
            TChunk& chunk = m_chunks[m_current];
            if (number < chunk.firstRecord) {
                return nullptr; // between two extents
            }
            if (number < chunk.firstRecord + chunk.records) {
                return chunk.failed ? nullptr
                                    : chunk.data.data() +
                                          static_cast<size_t>(number - chunk.firstRecord) * m_recordSize;
            }
            // Past this chunk: give it back, or free it once nothing is left to read.
            {
                std::lock_guard<std::mutex> guard(m_lock);
                chunk.filled = false;
                if (m_finished) {
                    std::vector<uint8_t>().swap(chunk.data);
                }
                m_haveCurrent = false;
                m_current = (m_current + 1) % m_chunks.size();
            }
            m_changed.notify_all();
        }
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [&] { return m_chunks[m_current].filled || m_finished; });
        if (!m_chunks[m_current].filled) {
            return nullptr; // every chunk is read and given back
        }
        m_haveCurrent = true;
    }
}
