#pragma once

#include "disk/TElementName.h"

#include <QStringView>

#include <cstddef>
#include <memory>
#include <vector>

// The drive-wide store of element names: texts are appended to large blocks and live
// until the arena ends with its drive. Nothing is freed one by one; a name replaced by
// a later record simply stays unused.
class TNameArena
{
public:
    TNameArena() = default;
    TNameArena(const TNameArena&) = delete;
    TNameArena& operator=(const TNameArena&) = delete;

    // Copies length UTF-16 units from units (any alignment) into the arena, one byte per
    // unit when narrow (every unit below 256); nil for an empty text.
    const TElementName::Text* Store(const void* units, size_t length, bool narrow);
    const TElementName::Text* Store(QStringView text);
    // Bytes held in blocks, used or not.
    size_t Capacity() const { return m_capacity; }

private:
    static constexpr size_t FirstBlock = 4096;
    static constexpr size_t LargestBlock = 256 * 1024;

    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::byte* m_free = nullptr;
    size_t m_left = 0;
    size_t m_capacity = 0;
};
