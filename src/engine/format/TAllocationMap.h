#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Which clusters of a volume are in use: one bit per cluster, counted over ranges a
// 64-bit word at a time. Filled from the volume's own allocation record: a bitmap
// (NTFS, exFAT: bit n of byte k is cluster 8k + n) or a FAT (an entry other than 0
// marks its cluster used). The map describes clusters base .. base + size - 1.
class TAllocationMap
{
public:
    // All count clusters from base free.
    void reset(uint64_t base, uint64_t count);
    bool empty() const { return m_count == 0; }
    uint64_t base() const { return m_base; }
    uint64_t count() const { return m_count; }

    // Copies bitmap bytes describing the clusters from cluster on (as on disk, lowest
    // cluster in the lowest bit); bits past the map are ignored.
    void setBitmap(uint64_t cluster, std::span<const uint8_t> bytes);
    // Marks the clusters whose FAT entries are not 0. The entries of `table` start at the
    // entry of cluster `first`; width is 12, 16 or 32 bits. With 12-bit entries `first`
    // must be even, since two entries share three bytes. The top 4 bits of 32-bit entries
    // are reserved and ignored.
    void setFromFat(uint64_t first, std::span<const uint8_t> table, int width);
    void markUsed(uint64_t cluster);

    bool isUsed(uint64_t cluster) const;
    // Clusters in use among count clusters from first. Clusters outside the map count as
    // in use: nothing of a file can be read back from there.
    uint64_t countUsed(uint64_t first, uint64_t count) const;

private:
    uint64_t m_base = 0;
    uint64_t m_count = 0;
    std::vector<uint64_t> m_words;
};
