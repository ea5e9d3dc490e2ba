#include "engine/format/TExfatChainRebuild.h"

#include "engine/format/TExfatEntrySet.h"

#include <algorithm>
#include <optional>
#include <set>

namespace {

constexpr uint8_t kInUse = 0x80;
constexpr uint8_t kFileType = 0x05;
constexpr uint8_t kStreamType = 0x40;
constexpr uint8_t kNameType = 0x41;
// The longest set proven across a cluster end: a file entry, its stream extension and
// the 17 name entries of a 255-character name.
constexpr size_t kMaxProvenSlots = 19;
// How many candidates past a folder's last cluster are tried for its open set.
constexpr size_t kProofReach = 256;

bool isEntryType(uint8_t type)
{
    const uint8_t base = type & static_cast<uint8_t>(~kInUse);
    return base == kFileType || base == kStreamType || base == kNameType;
}

} // namespace

bool TExfatChainRebuild::holdsOnlyEntries(std::span<const uint8_t> bytes)
{
    const size_t slots = bytes.size() / kEntrySize;
    if (slots == 0 || bytes[0] == 0) {
        return false;
    }
    for (size_t i = 0; i < slots; ++i) {
        const uint8_t type = bytes[i * kEntrySize];
        if (type == 0) {
            // The end marker: nothing may follow it.
            return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(i * kEntrySize), bytes.end(),
                               [](uint8_t b) { return b == 0; });
        }
        if (!isEntryType(type)) {
            return false;
        }
    }
    return true;
}

bool TExfatChainRebuild::hasEndMarker(std::span<const uint8_t> bytes)
{
    const size_t slots = bytes.size() / kEntrySize;
    for (size_t i = 0; i < slots; ++i) {
        if (bytes[i * kEntrySize] == 0) {
            return true;
        }
    }
    return slots == 0;
}

void TExfatChainRebuild::addFolder(uint32_t firstCluster, uint64_t maxClusters)
{
    uint64_t& most = m_folders[firstCluster];
    most = std::max(most, maxClusters);
}

void TExfatChainRebuild::addRun(uint32_t firstCluster, uint64_t clusters)
{
    uint64_t& length = m_runs[firstCluster];
    length = std::max(length, clusters);
}

void TExfatChainRebuild::addLink(uint32_t cluster, uint32_t next)
{
    m_links[cluster] = next;
}

void TExfatChainRebuild::addCluster(uint32_t cluster, std::span<const uint8_t> bytes)
{
    TCluster summary;
    summary.onlyEntries = holdsOnlyEntries(bytes);
    summary.ended = hasEndMarker(bytes);
    const size_t slots = bytes.size() / kEntrySize;
    summary.opensWithSet = slots > 0 && (bytes[0] & static_cast<uint8_t>(~kInUse)) == kFileType;
    // Sets are stepped over whole; the last one the cluster's end cuts short stays open.
    size_t slot = 0;
    while (slot < slots) {
        const uint8_t* entry = bytes.data() + slot * kEntrySize;
        if (entry[0] == 0) {
            break;
        }
        if ((entry[0] & static_cast<uint8_t>(~kInUse)) != kFileType) {
            ++slot;
            continue;
        }
        const size_t setSlots = size_t{1} + entry[1];
        if (slot + setSlots > slots) {
            summary.cutShort = true;
            if (setSlots <= kMaxProvenSlots) {
                summary.openSet.assign(entry, bytes.data() + slots * kEntrySize);
                summary.openSlots = setSlots;
            }
            break;
        }
        slot += setSlots;
    }
    const size_t lead = std::min(slots, kMaxProvenSlots - 1) * kEntrySize;
    summary.lead.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(lead));
    for (const TExfatEntrySet::TFound& found : TExfatEntrySet::scan(bytes)) {
        if (found.set.isFolder && found.set.firstCluster >= 2) {
            summary.subfolders.push_back(found.set.firstCluster);
        }
    }
    m_clusters[cluster] = std::move(summary);
}

bool TExfatChainRebuild::completes(const TCluster& tail, const TCluster& next)
{
    if (tail.openSet.empty()) {
        return false;
    }
    const size_t wanted = tail.openSlots * kEntrySize;
    if (wanted <= tail.openSet.size() || wanted - tail.openSet.size() > next.lead.size()) {
        return false;
    }
    std::vector<uint8_t> joined = tail.openSet;
    joined.insert(joined.end(), next.lead.begin(),
                  next.lead.begin() + static_cast<std::ptrdiff_t>(wanted - tail.openSet.size()));
    const std::optional<TExfatEntrySet> set = TExfatEntrySet::parse(joined);
    return set && set->checksumOk && set->slotCount == tail.openSlots;
}

std::unordered_map<uint32_t, std::vector<uint32_t>> TExfatChainRebuild::rebuild() const
{
    // Clusters some folder entry names as its first are no folder's continuation.
    std::set<uint32_t> heads;
    for (const auto& [first, most] : m_folders) {
        heads.insert(first);
    }
    for (const auto& [number, cluster] : m_clusters) {
        heads.insert(cluster.subfolders.begin(), cluster.subfolders.end());
    }
    const auto inRun = [this](uint32_t number) {
        auto run = m_runs.upper_bound(number);
        if (run == m_runs.begin()) {
            return false;
        }
        --run;
        return number - run->first < run->second;
    };
    std::set<uint32_t> pool; // continuation candidates not yet taken
    for (const auto& [number, cluster] : m_clusters) {
        if (cluster.onlyEntries && heads.count(number) == 0 && !inRun(number)) {
            pool.insert(number);
        }
    }
    std::unordered_map<uint32_t, std::vector<uint32_t>> chains;
    std::vector<uint32_t> active;
    for (const auto& [first, most] : m_folders) {
        const auto head = m_clusters.find(first);
        if (head == m_clusters.end()) {
            continue;
        }
        chains[first] = {first};
        if (!head->second.ended && most > 1) {
            active.push_back(first);
        }
    }
    const auto extend = [&](uint32_t folder, uint32_t next, std::vector<uint32_t>& still) {
        pool.erase(next);
        std::vector<uint32_t>& chain = chains[folder];
        chain.push_back(next);
        if (!m_clusters.at(next).ended && chain.size() < m_folders.at(folder)) {
            still.push_back(folder);
        }
    };
    // Every round takes at least one cluster from the pool or ends a folder.
    while (!active.empty()) {
        std::sort(active.begin(), active.end(),
                  [&](uint32_t a, uint32_t b) { return chains[a].back() < chains[b].back(); });
        std::vector<uint32_t> still;
        std::vector<uint32_t> unproven;
        for (uint32_t folder : active) {
            const uint32_t last = chains[folder].back();
            const TCluster& tail = m_clusters.at(last);
            if (!tail.cutShort) {
                const auto link = m_links.find(last);
                if (link != m_links.end() && pool.count(link->second) != 0 &&
                    m_clusters.at(link->second).opensWithSet) {
                    extend(folder, link->second, still);
                } else {
                    unproven.push_back(folder);
                }
                continue;
            }
            // A set left open goes on only in the cluster that completes it; without one
            // the folder's next cluster is unknown and it ends here.
            size_t looked = 0;
            for (auto it = pool.upper_bound(last); it != pool.end() && looked < kProofReach; ++it, ++looked) {
                if (completes(tail, m_clusters.at(*it))) {
                    extend(folder, *it, still);
                    break;
                }
            }
        }
        for (uint32_t folder : unproven) {
            auto it = pool.upper_bound(chains[folder].back());
            while (it != pool.end() && !m_clusters.at(*it).opensWithSet) {
                ++it;
            }
            if (it != pool.end()) {
                extend(folder, *it, still);
            }
        }
        active = std::move(still);
    }
    return chains;
}
