// Records read ahead on another thread reach the caller exactly as they would without it:
// the same records, empty slots and count revisions in the same places, a failure after
// the records before it; slow records are not held back for a full batch.
#include "engine/TPrefetchingEnumerator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Records 0..records-1, every seventh an empty slot; after them the count grows by extras,
// which follow, the way the NTFS enumerator serves the entries learnt from folder indexes.
class TScriptedEnumerator : public TEntryEnumerator
{
public:
    TScriptedEnumerator(int64_t records, int64_t extras)
        : TEntryEnumerator(nullptr), m_records(records), m_extras(extras), m_count(records)
    {
    }

    int64_t count() const override { return m_count; }
    int64_t addressOf(int64_t id) const override { return id; }
    const TFileInfo* next() override
    {
        const int64_t at = m_next++;
        served.store(m_next);
        if (at == failAt) {
            throw std::runtime_error("unreadable");
        }
        if (pause.count() > 0) {
            std::this_thread::sleep_for(pause);
        }
        if (at >= m_records) {
            m_count = m_records + m_extras;
        }
        if (at >= m_count || (at < m_records && at % 7 == 3)) {
            return nullptr;
        }
        m_record.TrueId = at;
        m_record.Size = at * 3;
        const std::u16string name = u"entry" + std::u16string(static_cast<size_t>(at % 50), u'x');
        std::copy(name.begin(), name.end(), m_record.WideFileName);
        m_record.WideFileName[name.size()] = u'\0';
        return &m_record;
    }

    int64_t failAt = -1;
    std::chrono::milliseconds pause{0};
    std::atomic<int64_t> served{0};

private:
    int64_t m_records;
    int64_t m_extras;
    int64_t m_count;
    int64_t m_next = 0;
};

struct TSeen
{
    bool present = false;
    int64_t id = -1;
    int64_t size = -1;
    std::u16string name;
    int64_t count = 0;
    bool operator==(const TSeen&) const = default;
};

// Reads the way the scan loop does: until it has asked for more records than the count says.
std::vector<TSeen> drain(TEntryEnumerator& enumerator)
{
    std::vector<TSeen> seen;
    for (int64_t asked = 1;; ++asked) {
        const TFileInfo* record = enumerator.next();
        TSeen item;
        item.count = enumerator.count();
        if (record != nullptr) {
            item = {true, record->TrueId, record->Size, record->WideFileName, item.count};
        }
        seen.push_back(item);
        if (asked > item.count) {
            return seen;
        }
    }
}

} // namespace

TEST(PrefetchingEnumerator, GivesTheStreamTheEnumeratorGives)
{
    for (const int64_t extras : {0, 3}) {
        TScriptedEnumerator direct(5000, extras);
        const std::vector<TSeen> expected = drain(direct);
        TPrefetchingEnumerator ahead(std::make_unique<TScriptedEnumerator>(5000, extras));
        EXPECT_EQ(drain(ahead), expected) << extras << " extras";
        EXPECT_EQ(ahead.next(), nullptr);
        EXPECT_EQ(ahead.count(), 5000 + extras);
    }
}

TEST(PrefetchingEnumerator, AFailureComesAfterTheRecordsBeforeIt)
{
    auto inner = std::make_unique<TScriptedEnumerator>(5000, 0);
    inner->failAt = 3000;
    TPrefetchingEnumerator ahead(std::move(inner));
    int64_t records = 0;
    try {
        for (;;) {
            ahead.next();
            ++records;
        }
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(records, 3000);
    EXPECT_EQ(ahead.next(), nullptr);
}

TEST(PrefetchingEnumerator, SlowRecordsArriveBeforeABatchIsFullAndStoppingEndsTheThread)
{
    auto inner = std::make_unique<TScriptedEnumerator>(1000000, 0);
    inner->pause = std::chrono::milliseconds(1);
    const TScriptedEnumerator& script = *inner;
    TPrefetchingEnumerator ahead(std::move(inner));
    ASSERT_NE(ahead.next(), nullptr);
    EXPECT_LT(script.served.load(), 2048); // a full batch
    // Destroyed here, mid-stream: the thread stops after its present record.
}
