#include "disk/TNameArena.h"

#include <algorithm>
#include <cstring>

const TElementName::Text* TNameArena::Store(const void* units, size_t length)
{
    if (length == 0)
        return nullptr;
    // Entries start on 4-byte boundaries for their length field; the name's tag bit
    // stays free.
    const size_t bytes = (sizeof(TElementName::Text) + sizeof(char16_t) * length + 3) & ~size_t(3);
    if (bytes > m_left) {
        // Blocks double up to a ceiling, so a small drive stays small.
        const size_t next = m_blocks.empty() ? FirstBlock : std::min(m_capacity, LargestBlock);
        const size_t size = std::max(next, bytes);
        m_blocks.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
        m_free = m_blocks.back().get();
        m_left = size;
        m_capacity += size;
    }
    auto* text = reinterpret_cast<TElementName::Text*>(m_free);
    text->length = uint32_t(length);
    std::memcpy(text->units(), units, sizeof(char16_t) * length);
    m_free += bytes;
    m_left -= bytes;
    return text;
}
