#include "engine/format/TFatLayout.h"
#include "engine/format/TLittleEndian.h"

#include "engine/format/TExfatGeometry.h"

#include <optional>

namespace {

constexpr uint64_t kFirstEntryAddress = 3;
constexpr uint32_t kEntrySize = 32;

} // namespace

bool TFatLayout::read(std::span<const uint8_t> boot, bool exfat)
{
    *this = TFatLayout();
    if (boot.size() < 512) {
        return false;
    }
    if (exfat) {
        const std::optional<TExfatGeometry> geometry = TExfatGeometry::parse(boot);
        if (!geometry) {
            return false;
        }
        // Entry addresses count from the start of the cluster heap, in 512-byte units here.
        m_sectorSize = 512;
        m_clusterSectors = static_cast<uint32_t>(geometry->clusterSize / m_sectorSize);
        m_firstEntrySector = m_firstClusterSector = geometry->heapOffset / m_sectorSize;
        m_clusterEnd = uint64_t{2} + geometry->clusterCount;
        return m_clusterSectors != 0;
    }
    const uint32_t sectorSize = TLittleEndian::U16(boot.data() + 0x0B);
    const uint32_t clusterSectors = boot[0x0D];
    const uint32_t reserved = TLittleEndian::U16(boot.data() + 0x0E);
    const uint32_t fats = boot[0x10];
    const uint32_t rootEntries = TLittleEndian::U16(boot.data() + 0x11);
    const uint64_t totalSectors = TLittleEndian::U16(boot.data() + 0x13) != 0
                                      ? TLittleEndian::U16(boot.data() + 0x13)
                                      : TLittleEndian::U32(boot.data() + 0x20);
    const uint32_t fatSectors = TLittleEndian::U16(boot.data() + 0x16) != 0
                                    ? TLittleEndian::U16(boot.data() + 0x16)
                                    : TLittleEndian::U32(boot.data() + 0x24);
    if (sectorSize < 512 || sectorSize > 4096 || (sectorSize & (sectorSize - 1)) != 0 ||
        clusterSectors == 0 || fats == 0) {
        return false;
    }
    m_sectorSize = sectorSize;
    m_clusterSectors = clusterSectors;
    // Entries are counted from the first sector after the FATs: the FAT12/16 root
    // folder's fixed area, then the clusters.
    m_firstEntrySector = uint64_t{reserved} + uint64_t{fats} * fatSectors;
    m_firstClusterSector =
        m_firstEntrySector + (uint64_t{rootEntries} * kEntrySize + sectorSize - 1) / sectorSize;
    const uint64_t clusters =
        totalSectors > m_firstClusterSector ? (totalSectors - m_firstClusterSector) / clusterSectors : 0;
    m_clusterEnd = 2 + clusters;
    // The same thresholds that decide the FAT type decide the table's entry width.
    m_tableBits = clusters < 4085 ? 12 : (clusters < 65525 ? 16 : 32);
    m_tableOffset = uint64_t{reserved} * sectorSize;
    // A table too small for the clusters it must describe is not read.
    const uint64_t tableBytes = uint64_t{fatSectors} * sectorSize;
    if (m_tableBits != 0 &&
        tableEntryOffset(static_cast<uint32_t>(m_clusterEnd - 1)) + 4 > m_tableOffset + tableBytes) {
        m_tableBits = 0;
    }
    return true;
}

uint64_t TFatLayout::entryCluster(uint64_t address) const
{
    if (!valid() || address < kFirstEntryAddress) {
        return 0;
    }
    const uint64_t sector = (address - kFirstEntryAddress) / (m_sectorSize / kEntrySize) + m_firstEntrySector;
    if (sector < m_firstClusterSector) {
        return 0;
    }
    return 2 + (sector - m_firstClusterSector) / m_clusterSectors;
}

uint64_t TFatLayout::slotAddress(uint32_t cluster, uint64_t slot) const
{
    const uint64_t firstSector = m_firstClusterSector + uint64_t{cluster - 2} * m_clusterSectors;
    return kFirstEntryAddress + (firstSector - m_firstEntrySector) * (m_sectorSize / kEntrySize) + slot;
}

uint64_t TFatLayout::clusterOffset(uint32_t cluster) const
{
    return (m_firstClusterSector + uint64_t{cluster - 2} * m_clusterSectors) * m_sectorSize;
}

uint64_t TFatLayout::slotOffset(uint64_t address) const
{
    return m_firstEntrySector * m_sectorSize + (address - kFirstEntryAddress) * kEntrySize;
}

uint64_t TFatLayout::tableEntryOffset(uint32_t cluster) const
{
    return m_tableOffset +
           (m_tableBits == 12 ? uint64_t{cluster} * 3 / 2 : uint64_t{cluster} * (m_tableBits / 8));
}
