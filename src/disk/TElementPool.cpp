#include "disk/TElementPool.h"

#include "disk/TBaseElement.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

// A drive's elements are created by the hundred thousand during its scan. Once blocks are
// large, each is one 2 MiB page the kernel may back with a huge page: one page fault per
// block instead of 512, which is a sizeable part of the scan's time.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargestChunk = kHugePage / sizeof(TBaseElement);

void* allocateHuge()
{
    void* memory = std::aligned_alloc(kHugePage, kHugePage);
    if (memory == nullptr)
        throw std::bad_alloc();
    madvise(memory, kHugePage, MADV_HUGEPAGE); // a hint: without it, ordinary pages
    return memory;
}

} // namespace

TElementPool::~TElementPool()
{
    for (const Chunk& chunk : m_chunks) {
        for (size_t i = 0; i < chunk.used; ++i)
            chunk.items[i].~TBaseElement();
        if (chunk.huge)
            std::free(chunk.items);
        else
            ::operator delete(static_cast<void*>(chunk.items));
    }
}

TBaseElement* TElementPool::Create()
{
    if (m_chunks.empty() || m_chunks.back().used == m_chunks.back().capacity) {
        // Blocks double up to a ceiling, so a small drive stays small and a large one
        // wastes at most part of one block.
        const size_t capacity =
            m_chunks.empty() ? FirstChunk : std::min(m_chunks.back().capacity * 2, kLargestChunk);
        const bool huge = capacity == kLargestChunk;
        m_chunks.reserve(m_chunks.size() + 1);
        void* memory = huge ? allocateHuge() : ::operator new(sizeof(TBaseElement) * capacity);
        m_chunks.push_back({static_cast<TBaseElement*>(memory), 0, capacity, huge});
        const TBaseElement* begin = m_chunks.back().items;
        const Span span{begin, begin + capacity, m_count};
        m_byAddress.insert(std::upper_bound(m_byAddress.begin(), m_byAddress.end(), span,
                                            [](const Span& a, const Span& b) { return a.begin < b.begin; }),
                           span);
    }
    Chunk& chunk = m_chunks.back();
    TBaseElement* element = new (chunk.items + chunk.used) TBaseElement();
    ++chunk.used;
    ++m_count;
    return element;
}

size_t TElementPool::IndexOf(const TBaseElement* element) const
{
    // The last chunk beginning at or before the element.
    auto after = std::upper_bound(m_byAddress.begin(), m_byAddress.end(), element,
                                  [](const TBaseElement* e, const Span& span) { return e < span.begin; });
    if (after == m_byAddress.begin())
        return m_count;
    const Span& span = *(after - 1);
    if (element >= span.end)
        return m_count;
    const size_t index = span.first + size_t(element - span.begin);
    return index < m_count ? index : m_count;
}
