#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Where an exFAT volume keeps its clusters, from the boot sector, and the arithmetic on
// it: entry addresses to byte offsets, contiguous runs to byte ranges, bounded by the
// volume's cluster count.
//
// The library numbers exFAT directory entries one per 32-byte slot of the cluster heap,
// from address 3 at the heap's first byte; lower addresses are its virtual entries.
class TExfatGeometry
{
public:
    uint64_t heapOffset = 0;   // bytes from the volume start to cluster 2
    uint64_t clusterSize = 0;  // bytes
    uint32_t clusterCount = 0; // clusters 2 .. clusterCount + 1 exist

    // The layout fields of an exFAT boot sector; nothing when they are out of range.
    static std::optional<TExfatGeometry> parse(std::span<const uint8_t> boot);

    uint64_t heapEnd() const { return heapOffset + uint64_t{clusterCount} * clusterSize; }
    // Byte offset in the volume of the entry with this library address; nothing when the
    // address lies outside the cluster heap.
    std::optional<uint64_t> entryOffset(uint64_t address) const;
    // The library address of the entry at this byte offset inside the heap.
    uint64_t addressAt(uint64_t offset) const;

    // The whole clusters of a contiguous run of length bytes from firstCluster; nothing,
    // with error saying why, when the run does not fit the volume.
    struct TRun
    {
        uint64_t offset = 0; // bytes from the volume start
        uint64_t length = 0; // whole clusters, in bytes
    };
    std::optional<TRun> contiguousRun(uint32_t firstCluster, uint64_t length, std::string& error) const;
};
