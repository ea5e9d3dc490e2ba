#include "engine/format/TExfatGeometry.h"
#include "engine/format/TLittleEndian.h"

namespace {

constexpr uint64_t kFirstEntryAddress = 3;
constexpr uint64_t kEntrySize = 32;

} // namespace

std::optional<TExfatGeometry> TExfatGeometry::parse(std::span<const uint8_t> boot)
{
    if (boot.size() < 512) {
        return std::nullopt;
    }
    const uint8_t sectorShift = boot[0x6C];
    const uint8_t clusterShift = boot[0x6D];
    // Sectors of 512 to 4096 bytes, clusters of at most 32 MiB.
    if (sectorShift < 9 || sectorShift > 12 || clusterShift > 25 - sectorShift) {
        return std::nullopt;
    }
    TExfatGeometry geometry;
    const uint64_t sectorSize = uint64_t{1} << sectorShift;
    geometry.clusterSize = sectorSize << clusterShift;
    geometry.heapOffset = uint64_t{TLittleEndian::U32(boot.data() + 0x58)} * sectorSize;
    geometry.clusterCount = TLittleEndian::U32(boot.data() + 0x5C);
    // The format caps the count below 2^32 - 11 clusters.
    if (geometry.heapOffset == 0 || geometry.clusterCount == 0 || geometry.clusterCount > 0xFFFFFFF5u) {
        return std::nullopt;
    }
    return geometry;
}

std::optional<uint64_t> TExfatGeometry::entryOffset(uint64_t address) const
{
    if (clusterSize == 0 || address < kFirstEntryAddress) {
        return std::nullopt;
    }
    const uint64_t slot = address - kFirstEntryAddress;
    if (slot >= uint64_t{clusterCount} * clusterSize / kEntrySize) {
        return std::nullopt;
    }
    return heapOffset + slot * kEntrySize;
}

uint64_t TExfatGeometry::addressAt(uint64_t offset) const
{
    return kFirstEntryAddress + (offset - heapOffset) / kEntrySize;
}

std::optional<TExfatGeometry::TRun> TExfatGeometry::contiguousRun(uint32_t firstCluster, uint64_t length,
                                                                  std::string& error) const
{
    if (clusterSize == 0) {
        error = "the volume's layout is unknown";
        return std::nullopt;
    }
    const uint64_t clusters = length / clusterSize + (length % clusterSize != 0 ? 1 : 0);
    if (clusters == 0) {
        return TRun{};
    }
    const uint64_t last = uint64_t{clusterCount} + 1; // highest cluster number
    if (firstCluster < 2 || firstCluster > last || clusters > last - firstCluster + 1) {
        error = "its clusters " + std::to_string(firstCluster) + " to " +
                std::to_string(uint64_t{firstCluster} + clusters - 1) +
                " run past the volume's last cluster " + std::to_string(last);
        return std::nullopt;
    }
    return TRun{heapOffset + (firstCluster - uint64_t{2}) * clusterSize, clusters * clusterSize};
}
