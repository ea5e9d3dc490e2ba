#include "engine/format/TAllocationMap.h"

#include "engine/format/TLittleEndian.h"

#include <algorithm>
#include <bit>

void TAllocationMap::reset(uint64_t base, uint64_t count)
{
    // The words first: when they cannot be had, the map stays as it was, never with a
    // count its words do not cover.
    m_words.assign(static_cast<size_t>((count + 63) / 64), 0);
    m_base = base;
    m_count = count;
}

void TAllocationMap::setBitmap(uint64_t cluster, std::span<const uint8_t> bytes)
{
    if (cluster < m_base || cluster - m_base >= m_count) {
        return;
    }
    const uint64_t start = cluster - m_base;
    const uint64_t bits = std::min<uint64_t>(uint64_t{bytes.size()} * 8, m_count - start);
    uint64_t done = 0;
    // Whole bytes onto a byte boundary of the map go straight in; the rest bit by bit.
    if (start % 8 == 0) {
        for (; done + 8 <= bits; done += 8) {
            const uint64_t at = start + done;
            uint64_t& word = m_words[static_cast<size_t>(at / 64)];
            const unsigned shift = static_cast<unsigned>(at % 64);
            word = (word & ~(uint64_t{0xFF} << shift)) |
                   (uint64_t{bytes[static_cast<size_t>(done / 8)]} << shift);
        }
    }
    for (; done < bits; ++done) {
        const uint64_t at = start + done;
        const uint64_t mask = uint64_t{1} << (at % 64);
        if ((bytes[static_cast<size_t>(done / 8)] >> (done % 8)) & 1) {
            m_words[static_cast<size_t>(at / 64)] |= mask;
        } else {
            m_words[static_cast<size_t>(at / 64)] &= ~mask;
        }
    }
}

void TAllocationMap::setFromFat(uint64_t first, std::span<const uint8_t> table, int width)
{
    if (width == 12) {
        if (first % 2 != 0) {
            return;
        }
        for (size_t i = 0; i + 1 < table.size(); i += 3) {
            const uint64_t cluster = first + i / 3 * 2;
            const uint32_t low = static_cast<uint32_t>(table[i] | ((table[i + 1] & 0x0F) << 8));
            if (low != 0) {
                markUsed(cluster);
            }
            if (i + 2 < table.size() && ((table[i + 1] >> 4) | (table[i + 2] << 4)) != 0) {
                markUsed(cluster + 1);
            }
        }
        return;
    }
    const size_t entryBytes = width == 32 ? 4 : 2;
    if (width != 16 && width != 32) {
        return;
    }
    for (size_t i = 0; i + entryBytes <= table.size(); i += entryBytes) {
        const uint32_t value = width == 32 ? TLittleEndian::U32(table.data() + i) & 0x0FFFFFFF
                                           : TLittleEndian::U16(table.data() + i);
        if (value != 0) {
            markUsed(first + i / entryBytes);
        }
    }
}

void TAllocationMap::markUsed(uint64_t cluster)
{
    if (cluster >= m_base && cluster - m_base < m_count) {
        const uint64_t at = cluster - m_base;
        m_words[static_cast<size_t>(at / 64)] |= uint64_t{1} << (at % 64);
    }
}

bool TAllocationMap::isUsed(uint64_t cluster) const
{
    return countUsed(cluster, 1) != 0;
}

uint64_t TAllocationMap::countUsed(uint64_t first, uint64_t count) const
{
    if (count == 0) {
        return 0;
    }
    // The part outside the map, below and above it.
    uint64_t outside = 0;
    if (first < m_base) {
        const uint64_t below = std::min(count, m_base - first);
        outside += below;
        first += below;
        count -= below;
    }
    const uint64_t end = m_base + m_count;
    if (first >= end) {
        return outside + count;
    }
    if (count > end - first) {
        outside += count - (end - first);
        count = end - first;
    }
    uint64_t at = first - m_base;
    const uint64_t stop = at + count;
    uint64_t used = 0;
    while (at < stop) {
        const unsigned shift = static_cast<unsigned>(at % 64);
        const uint64_t take = std::min<uint64_t>(64 - shift, stop - at);
        uint64_t word = m_words[static_cast<size_t>(at / 64)] >> shift;
        if (take < 64) {
            word &= (uint64_t{1} << take) - 1;
        }
        used += static_cast<uint64_t>(std::popcount(word));
        at += take;
    }
    return outside + used;
}
