#pragma once

#include "engine/format/TFatDirectory.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

// Rebuilds the cluster chains of deleted FAT folders, whose chains the file system
// zeroed on deletion, from the content of free clusters. A cluster opening with "."
// that points at itself is a folder's first cluster. A folder goes on while its last
// cluster holds no end marker; its next cluster is, in order of proof: the one that
// finishes a long name left open at the end of the last, the one holding a sub-folder
// whose ".." names this folder, else the nearest free cluster after the last that
// holds nothing but folder entries. Folders are extended in lockstep, ordered by
// their last cluster, so two folders that grew in alternation each take their own.
class TFatChainRebuild
{
public:
    // A free cluster's content. Only what the rebuild needs is kept, not the bytes.
    void addCluster(uint32_t cluster, std::span<const uint8_t> bytes);
    bool hasCluster(uint32_t cluster) const { return m_clusters.count(cluster) != 0; }

    // The clusters of each folder found, first cluster first, keyed by the first.
    std::unordered_map<uint32_t, std::vector<uint32_t>> rebuild() const;
    // The cluster a folder's ".." names (0: the root), if `head` opens a folder.
    std::optional<uint32_t> parentOf(uint32_t head) const;

private:
    struct TCluster
    {
        bool head = false;
        uint32_t parent = 0;
        bool onlyEntries = false;
        bool ended = false;
        std::optional<TFatDirectory::TOpenLongName> open;
        std::vector<uint8_t> lead;        // the slots up to the first 8.3 entry
        std::vector<uint32_t> subfolders; // first clusters named by folder entries
    };
    // The folder heads a cluster's sub-folders name as their parent.
    std::vector<uint32_t> ownersOf(const TCluster& cluster) const;

    std::map<uint32_t, TCluster> m_clusters;
};
