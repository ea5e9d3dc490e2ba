#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <unordered_map>
#include <vector>

// Rebuilds the cluster chains of deleted exFAT folders whose later clusters were freed,
// from the content of free clusters. A folder's first cluster comes from its stream
// extension, its length from its DataLength. A folder goes on while its last cluster
// holds no end marker and its length is not reached; its next cluster is the free
// cluster that completes an entry set left open at the end of the last (its checksum
// over every entry proves it), else, when no set is left open, the one the allocation
// table still names after the last (drivers that keep the table on deletion leave it),
// else the nearest free
// cluster after the last that holds nothing but directory entries and opens with a
// file entry. Folders are extended in lockstep, ordered by their last cluster, so two
// folders that grew in alternation each take their own.
class TExfatChainRebuild
{
public:
    static constexpr size_t kEntrySize = 32;

    // True when every 32-byte entry of the buffer reads as a file, stream extension or
    // file name entry (in use or deleted) or as the end marker, everything after the end
    // marker is zero, and the buffer opens with no end marker.
    static bool holdsOnlyEntries(std::span<const uint8_t> bytes);
    // True when an entry of the buffer is the end marker (type byte 0), or the buffer
    // holds no whole entry.
    static bool hasEndMarker(std::span<const uint8_t> bytes);

    // A deleted folder to rebuild: its first cluster and the most clusters it may take.
    void addFolder(uint32_t firstCluster, uint64_t maxClusters);
    // A deleted folder stored as one contiguous run: its clusters are no other folder's.
    void addRun(uint32_t firstCluster, uint64_t clusters);
    // The allocation table still names `next` after `cluster`.
    void addLink(uint32_t cluster, uint32_t next);
    // A free cluster's content. Only what the rebuild needs is kept, not the bytes.
    void addCluster(uint32_t cluster, std::span<const uint8_t> bytes);

    // The clusters of each folder added whose first cluster was added too, first cluster
    // first, keyed by the first.
    std::unordered_map<uint32_t, std::vector<uint32_t>> rebuild() const;

private:
    struct TCluster
    {
        bool onlyEntries = false;
        bool ended = false;
        bool opensWithSet = false;        // the first entry is a file entry
        bool cutShort = false;            // the cluster's end cuts an entry set short
        std::vector<uint8_t> openSet;     // that set, when it is short enough to be proven
        size_t openSlots = 0;             // entries that set takes in all
        std::vector<uint8_t> lead;        // the first entries, to complete another's open set
        std::vector<uint32_t> subfolders; // first clusters named by folder entry sets
    };
    // Whether `next` opens with the rest of the set `tail` leaves open.
    static bool completes(const TCluster& tail, const TCluster& next);

    std::map<uint32_t, TCluster> m_clusters;
    std::map<uint32_t, uint64_t> m_folders; // first cluster -> most clusters
    std::map<uint32_t, uint64_t> m_runs;    // first cluster -> clusters
    std::map<uint32_t, uint32_t> m_links;   // cluster -> the next the table names
};
