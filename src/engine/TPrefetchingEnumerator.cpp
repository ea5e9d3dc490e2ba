#include "engine/TPrefetchingEnumerator.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

namespace {

// Large enough that the two threads meet a few hundred times a second at most, small enough
// that the first records reach the caller at once.
constexpr size_t kBatchItems = 2048;
constexpr size_t kBatches = 4;
// How long the caller waits for a full batch before it asks for what there is.
constexpr std::chrono::milliseconds kPatience{30};

} // namespace

TPrefetchingEnumerator::TPrefetchingEnumerator(std::unique_ptr<TEntryEnumerator> inner)
    : TEntryEnumerator(inner->volume()), m_inner(std::move(inner)), m_count(m_inner->count())
{
    for (size_t i = 0; i < kBatches; ++i) {
        auto batch = std::make_unique<TBatch>();
        batch->items.reserve(kBatchItems);
        batch->names.reserve(kBatchItems * 32);
        m_free.push_back(std::move(batch));
    }
    m_thread = std::thread([this] { run(); });
}

TPrefetchingEnumerator::~TPrefetchingEnumerator()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop.store(true);
    }
    m_changed.notify_all();
    m_thread.join();
}

void TPrefetchingEnumerator::run()
{
    int64_t produced = 0;
    bool last = false;
    while (!last) {
        std::unique_ptr<TBatch> batch;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_changed.wait(guard, [&] { return m_stop.load() || !m_free.empty(); });
            if (m_stop.load()) {
                return;
            }
            batch = std::move(m_free.back());
            m_free.pop_back();
        }
        batch->items.clear();
        batch->names.clear();
        std::exception_ptr failure;
        try {
            while (batch->items.size() < kBatchItems && !last) {
                if (m_stop.load(std::memory_order_relaxed)) {
                    return;
                }
                const TFileInfo* record = m_inner->next();
                TItem& item = batch->items.emplace_back();
                item.count = m_inner->count();
                if (record != nullptr) {
                    item.present = true;
                    std::memcpy(item.head, record, kHeadBytes);
                    const char16_t* name = record->WideFileName;
                    const size_t length = std::char_traits<char16_t>::length(name);
                    item.nameAt = static_cast<uint32_t>(batch->names.size());
                    item.nameLength = static_cast<uint32_t>(length);
                    batch->names.insert(batch->names.end(), name, name + length);
                }
                // The caller stops once it has asked for more records than the count
                // says there are; so does this thread.
                last = ++produced > item.count;
                if (m_flush.load(std::memory_order_relaxed) && m_flush.exchange(false)) {
                    break;
                }
            }
        } catch (...) {
            failure = std::current_exception();
            last = true;
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_full.push_back(std::move(batch));
            if (last) {
                m_failure = failure;
                m_finished = true;
            }
        }
        m_changed.notify_all();
    }
}

const TFileInfo* TPrefetchingEnumerator::next()
{
    while (!m_current || m_taken == m_current->items.size()) {
        std::unique_lock<std::mutex> guard(m_lock);
        if (m_current) {
            m_free.push_back(std::move(m_current));
            m_changed.notify_all();
        }
        const auto ready = [&] { return !m_full.empty() || m_finished; };
        while (!m_changed.wait_for(guard, kPatience, ready)) {
            m_flush.store(true);
        }
        if (m_full.empty()) {
            if (m_failure) {
                std::rethrow_exception(std::exchange(m_failure, nullptr));
            }
            return nullptr; // past the end, as the other enumerator would answer
        }
        m_current = std::move(m_full.front());
        m_full.pop_front();
        m_taken = 0;
    }
    const TItem& item = m_current->items[m_taken++];
    m_count = item.count;
    if (!item.present) {
        return nullptr;
    }
    std::memcpy(&m_record, item.head, kHeadBytes);
    const size_t length = std::min<size_t>(item.nameLength, VANTREL_MAX_NAME - 1);
    std::memcpy(m_record.WideFileName, m_current->names.data() + item.nameAt, length * sizeof(char16_t));
    m_record.WideFileName[length] = u'\0';
    return &m_record;
}
