#pragma once

#include <cstdint>
#include <span>

// Where things are on a FAT12/16/32 or exFAT volume, from its boot sector: clusters,
// the allocation table, and the directory-entry slots the file-system library numbers
// from 3 on, one per 32 bytes counted from the first sector after the FATs.
class TFatLayout
{
public:
    // False when the boot sector does not describe a usable volume.
    bool read(std::span<const uint8_t> boot, bool exfat);
    bool valid() const { return m_sectorSize != 0; }

    // The cluster holding the entry slot with this address; 0 when it lies outside the
    // clusters (the FAT12/16 root folder) or the layout is unknown.
    uint64_t entryCluster(uint64_t address) const;
    // The address of slot `slot` of a cluster (slots counted from the cluster's start).
    uint64_t slotAddress(uint32_t cluster, uint64_t slot) const;
    // Byte offsets from the volume's start.
    uint64_t clusterOffset(uint32_t cluster) const;
    uint64_t slotOffset(uint64_t address) const;
    uint32_t clusterBytes() const { return m_sectorSize * m_clusterSectors; }
    // True for clusters the volume has (2 up to its last).
    bool hasCluster(uint64_t cluster) const { return cluster >= 2 && cluster < m_clusterEnd; }
    uint64_t clusterEnd() const { return m_clusterEnd; }
    // Where the allocation-table entry of a cluster starts, and its width in bits (12,
    // 16 or 32; 0 on exFAT, whose table is not read here).
    uint64_t tableEntryOffset(uint32_t cluster) const;
    int tableBits() const { return m_tableBits; }

private:
    uint32_t m_sectorSize = 0;
    uint32_t m_clusterSectors = 0;
    uint64_t m_firstEntrySector = 0;   // where entry addresses start counting
    uint64_t m_firstClusterSector = 0; // where cluster 2 starts
    uint64_t m_clusterEnd = 0;         // one past the last cluster
    uint64_t m_tableOffset = 0;
    int m_tableBits = 0;
};
