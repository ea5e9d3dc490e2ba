#include "disk/TElementPool.h"

#include "disk/TBaseElement.h"

#include <algorithm>
#include <new>

TElementPool::~TElementPool()
{
    for (const Chunk& chunk : m_chunks) {
        for (size_t i = 0; i < chunk.used; ++i)
            chunk.items[i].~TBaseElement();
        ::operator delete(static_cast<void*>(chunk.items));
    }
}

TBaseElement* TElementPool::Create()
{
    if (m_chunks.empty() || m_chunks.back().used == m_chunks.back().capacity) {
        // Blocks double up to a ceiling, so a small drive stays small and a large one
        // wastes at most part of one block.
        const size_t capacity =
            m_chunks.empty() ? FirstChunk : std::min(m_chunks.back().capacity * 2, LargestChunk);
        m_chunks.reserve(m_chunks.size() + 1);
        void* memory = ::operator new(sizeof(TBaseElement) * capacity);
        m_chunks.push_back({static_cast<TBaseElement*>(memory), 0, capacity});
    }
    Chunk& chunk = m_chunks.back();
    TBaseElement* element = new (chunk.items + chunk.used) TBaseElement();
    ++chunk.used;
    ++m_count;
    return element;
}
