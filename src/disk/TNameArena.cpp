#include "disk/TNameArena.h"

#include <algorithm>

const TElementName::Text* TNameArena::Store(QStringView text)
{
    bool narrow = true;
    for (const QChar c : text)
        narrow = narrow && c.unicode() < 256;
    return Store(text.utf16(), size_t(text.size()), narrow);
}

const TElementName::Text* TNameArena::Store(const void* units, size_t length, bool narrow)
{
    if (length == 0)
        return nullptr;
    // Entries start on 4-byte boundaries for their header; the name's tag bit stays free.
    const size_t bytes = (TElementName::Text::Bytes(length, narrow) + 3) & ~size_t(3);
    if (bytes > m_left) {
        // Blocks double up to a ceiling, so a small drive stays small.
        const size_t next = m_blocks.empty() ? FirstBlock : std::min(m_capacity, LargestBlock);
        const size_t size = std::max(next, bytes);
        m_blocks.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
        m_free = m_blocks.back().get();
        m_left = size;
        m_capacity += size;
    }
    const TElementName::Text* text = TElementName::Text::Write(m_free, units, length, narrow);
    m_free += bytes;
    m_left -= bytes;
    return text;
}
