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

// Blocks double from the first size up to the largest, then stay at that size, so a
// chunk's place alone gives its size and first index, and an index its chunk: the
// doubling blocks hold the first kDoublingPrefix elements, kDoublingChunks of them.
constexpr size_t doublingChunks()
{
    size_t chunks = 0;
    for (size_t capacity = kFirstChunk; capacity < kLargestChunk; capacity *= 2)
        ++chunks;
    return chunks;
}
constexpr size_t kDoublingChunks = doublingChunks();
constexpr size_t kDoublingPrefix = kFirstChunk * ((size_t{1} << kDoublingChunks) - 1);

constexpr size_t capacityOf(size_t chunk)
{
    return chunk < kDoublingChunks ? kFirstChunk << chunk : kLargestChunk;
}

constexpr size_t firstOf(size_t chunk)
{
    return chunk < kDoublingChunks ? kFirstChunk * ((size_t{1} << chunk) - 1)
                                   : kDoublingPrefix + (chunk - kDoublingChunks) * kLargestChunk;
}

void* allocateHuge()
{
    void* memory = std::aligned_alloc(kHugePage, kHugePage);
    if (memory == nullptr)
        throw std::bad_alloc();
    madvise(memory, kHugePage, MADV_HUGEPAGE); // a hint: without it, ordinary pages
    return memory;
}

} // namespace

size_t TElementPool::usedIn(size_t chunk) const
{
    return std::min(capacityOf(chunk), m_count - firstOf(chunk));
}

TElementPool::~TElementPool()
{
    for (size_t chunk = 0; chunk < m_chunks.size(); ++chunk) {
        TBaseElement* items = m_chunks[chunk];
        for (size_t i = 0, used = usedIn(chunk); i < used; ++i)
            items[i].~TBaseElement();
        if (capacityOf(chunk) == kLargestChunk)
            std::free(items);
        else
            ::operator delete(static_cast<void*>(items));
    }
}

TBaseElement* TElementPool::Create()
{
    // The current chunk is full once the count reaches the next one's first index.
    const size_t chunk = m_chunks.size();
    if (m_count == firstOf(chunk)) {
        // Blocks double up to a ceiling, so a small drive stays small and a large one
        // wastes at most part of one block.
        const size_t capacity = capacityOf(chunk);
        m_chunks.reserve(chunk + 1);
        m_byAddress.reserve(chunk + 1);
        void* memory =
            capacity == kLargestChunk ? allocateHuge() : ::operator new(sizeof(TBaseElement) * capacity);
        auto* items = static_cast<TBaseElement*>(memory);
        m_byAddress.insert(
            std::upper_bound(m_byAddress.begin(), m_byAddress.end(), items,
                             [this](const TBaseElement* at, size_t k) { return at < m_chunks[k]; }),
            chunk);
        m_chunks.push_back(items);
    }
    TBaseElement* element = new (m_chunks.back() + (m_count - firstOf(m_chunks.size() - 1))) TBaseElement();
    ++m_count;
    return element;
}

TBaseElement* TElementPool::At(size_t index) const
{
    const size_t chunk = index < kDoublingPrefix
                             ? size_t(std::bit_width(index / kFirstChunk + 1)) - 1
                             : kDoublingChunks + (index - kDoublingPrefix) / kLargestChunk;
    return m_chunks[chunk] + (index - firstOf(chunk));
}

size_t TElementPool::IndexOf(const TBaseElement* element) const
{
    // Most often the element was just made: it lies in the last block. Otherwise the
    // last block beginning at or before it.
    size_t chunk = m_chunks.size() - 1;
    if (m_chunks.empty() || element < m_chunks.back() || element >= m_chunks.back() + usedIn(chunk)) {
        const auto after =
            std::upper_bound(m_byAddress.begin(), m_byAddress.end(), element,
                             [this](const TBaseElement* at, size_t k) { return at < m_chunks[k]; });
        if (after == m_byAddress.begin())
            return m_count;
        chunk = *(after - 1);
        if (element >= m_chunks[chunk] + usedIn(chunk))
            return m_count;
    }
    return firstOf(chunk) + size_t(element - m_chunks[chunk]);
}
