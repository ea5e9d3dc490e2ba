#include "disk/TElementPool.h"

#include "disk/TBaseElement.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>

namespace {

// A drive's elements are created by the hundred thousand during its scan. Once blocks are
// large, each is one 2 MiB page the kernel may back with a huge page: one page fault per
// block instead of 512, which is a sizeable part of the scan's time.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargestChunk = kHugePage / sizeof(TBaseElement);
constexpr size_t kFirstChunk = 64;
static_assert(kFirstChunk < kLargestChunk);

// Blocks double from the first size up to the largest, then stay at that size, so an
// index alone names its block: the doubling blocks hold the first kDoublingPrefix
// elements, kDoublingChunks of them.
constexpr size_t doublingChunks()
{
    size_t chunks = 0;
    for (size_t capacity = kFirstChunk; capacity < kLargestChunk; capacity *= 2)
        ++chunks;
    return chunks;
}
constexpr size_t kDoublingChunks = doublingChunks();
constexpr size_t kDoublingPrefix = kFirstChunk * ((size_t{1} << kDoublingChunks) - 1);

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
        if (chunk.capacity == kLargestChunk)
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
            m_chunks.empty() ? kFirstChunk : std::min(m_chunks.back().capacity * 2, kLargestChunk);
        m_chunks.reserve(m_chunks.size() + 1);
        m_byAddress.reserve(m_chunks.size() + 1);
        void* memory =
            capacity == kLargestChunk ? allocateHuge() : ::operator new(sizeof(TBaseElement) * capacity);
        auto* items = static_cast<TBaseElement*>(memory);
        m_byAddress.insert(std::upper_bound(m_byAddress.begin(), m_byAddress.end(), items,
                                            [this](const TBaseElement* at, size_t chunk) {
                                                return at < m_chunks[chunk].items;
                                            }),
                           m_chunks.size());
        m_chunks.push_back({items, 0, capacity, m_count});
    }
    Chunk& chunk = m_chunks.back();
    TBaseElement* element = new (chunk.items + chunk.used) TBaseElement();
    ++chunk.used;
    ++m_count;
    return element;
}

TBaseElement* TElementPool::At(size_t index) const
{
    size_t chunk = 0;
    size_t offset = 0;
    if (index < kDoublingPrefix) {
        chunk = size_t(std::bit_width(index / kFirstChunk + 1)) - 1;
        offset = index - kFirstChunk * ((size_t{1} << chunk) - 1);
    } else {
        chunk = kDoublingChunks + (index - kDoublingPrefix) / kLargestChunk;
        offset = (index - kDoublingPrefix) % kLargestChunk;
    }
    return m_chunks[chunk].items + offset;
}

size_t TElementPool::IndexOf(const TBaseElement* element) const
{
    // Most often the element was just made: it lies in the last block.
    if (!m_chunks.empty()) {
        const Chunk& last = m_chunks.back();
        if (element >= last.items && element < last.items + last.used)
            return last.first + size_t(element - last.items);
    }
    // The last chunk beginning at or before the element.
    const auto after =
        std::upper_bound(m_byAddress.begin(), m_byAddress.end(), element,
                         [this](const TBaseElement* at, size_t chunk) { return at < m_chunks[chunk].items; });
    if (after == m_byAddress.begin())
        return m_count;
    const Chunk& chunk = m_chunks[*(after - 1)];
    if (element >= chunk.items + chunk.used)
        return m_count;
    return chunk.first + size_t(element - chunk.items);
}
