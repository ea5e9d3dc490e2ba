#pragma once

#include "engine/TEntryEnumerator.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Runs another enumerator on a thread of its own, a batch of records ahead of the caller,
// so that reading and parsing the next records overlaps the caller's work on the present
// ones. The caller sees the same stream it would see calling the other enumerator itself:
// the same records and empty slots in the same order, and count() as it stood after the
// record last handed out, so a count revised at the end of the records is seen where it
// would have been.
//
// The other enumerator's addressOf must be safe to call while its next() runs on another
// thread. Destroying this one stops the thread after the record it is reading. A batch is
// handed over when it is full, or as soon as the caller has waited a moment for it, so that
// records read slowly still reach the caller one by one.
class TPrefetchingEnumerator : public TEntryEnumerator
{
public:
    explicit TPrefetchingEnumerator(std::unique_ptr<TEntryEnumerator> inner);
    ~TPrefetchingEnumerator() override;

    int64_t count() const override { return m_count; }
    const TFileInfo* next() override;
    int64_t addressOf(int64_t id) const override { return m_inner->addressOf(id); }

private:
    static constexpr size_t kHeadBytes = offsetof(TFileInfo, WideFileName);
    struct TItem
    {
        unsigned char head[kHeadBytes];
        int64_t count = 0; // the other enumerator's count after this record
        uint32_t nameAt = 0;
        uint32_t nameLength = 0;
        bool present = false; // false: an empty slot (next() gave nullptr)
    };
    struct TBatch
    {
        std::vector<TItem> items;
        std::vector<char16_t> names;
    };

    void run();

    std::unique_ptr<TEntryEnumerator> m_inner;
    int64_t m_count = 0; // as the caller sees it
    std::unique_ptr<TBatch> m_current;
    size_t m_taken = 0; // items of m_current handed out
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<TBatch>> m_full; // filled, in order
    std::vector<std::unique_ptr<TBatch>> m_free;
    bool m_finished = false; // the thread handed over its last batch
    std::atomic<bool> m_stop{false};
    // The caller waited long for a batch (records come slowly, from a damaged disk for
    // instance): the thread hands over what it has after the present record.
    std::atomic<bool> m_flush{false};
    std::exception_ptr m_failure; // what the other enumerator threw, raised after the records before it
    std::thread m_thread;
};
