#include "engine/format/TFatChainRebuild.h"

#include <algorithm>
#include <set>

namespace {

// How far past a folder's last cluster a long name's continuation is looked for.
constexpr size_t kLongNameReach = 256;

} // namespace

void TFatChainRebuild::addCluster(uint32_t cluster, std::span<const uint8_t> bytes)
{
    TCluster summary;
    summary.head = TFatDirectory::isFolderHead(bytes, cluster, &summary.parent);
    summary.onlyEntries = TFatDirectory::holdsOnlyEntries(bytes);
    summary.ended = TFatDirectory::hasEndMarker(bytes);
    summary.open = TFatDirectory::openLongName(bytes);
    size_t lead = 0;
    while (lead + TFatDirectory::kSlotSize <= bytes.size()) {
        const uint8_t* slot = bytes.data() + lead;
        lead += TFatDirectory::kSlotSize;
        if ((slot[11] & 0x3F) != 0x0F) {
            break;
        }
    }
    summary.lead.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(lead));
    for (const TFatDirectory::TEntry& entry : TFatDirectory::parse(bytes)) {
        if (entry.isFolder() && !entry.isDotEntry() && entry.firstCluster >= 2) {
            summary.subfolders.push_back(entry.firstCluster);
        }
    }
    m_clusters[cluster] = std::move(summary);
}

std::optional<uint32_t> TFatChainRebuild::parentOf(uint32_t head) const
{
    const auto found = m_clusters.find(head);
    if (found == m_clusters.end() || !found->second.head) {
        return std::nullopt;
    }
    return found->second.parent;
}

std::vector<uint32_t> TFatChainRebuild::ownersOf(const TCluster& cluster) const
{
    std::vector<uint32_t> owners;
    for (uint32_t sub : cluster.subfolders) {
        if (const std::optional<uint32_t> parent = parentOf(sub)) {
            owners.push_back(*parent);
        }
    }
    return owners;
}

std::unordered_map<uint32_t, std::vector<uint32_t>> TFatChainRebuild::rebuild() const
{
    std::unordered_map<uint32_t, std::vector<uint32_t>> chains;
    std::set<uint32_t> pool; // free continuation candidates not yet taken
    std::map<uint32_t, std::vector<uint32_t>> owners;
    std::map<uint32_t, std::set<uint32_t>> byOwner;
    std::vector<uint32_t> active;
    for (const auto& [number, cluster] : m_clusters) {
        if (cluster.head) {
            chains[number] = {number};
            if (!cluster.ended) {
                active.push_back(number);
            }
        } else if (cluster.onlyEntries) {
            pool.insert(number);
            owners[number] = ownersOf(cluster);
            for (uint32_t owner : owners[number]) {
                byOwner[owner].insert(number);
            }
        }
    }
    const auto ownedByOther = [&](uint32_t candidate, uint32_t folder) {
        const std::vector<uint32_t>& list = owners[candidate];
        return !list.empty() && std::find(list.begin(), list.end(), folder) == list.end();
    };
    // The candidate a folder's last cluster proves to come next, if any.
    const auto provenNext = [&](uint32_t folder, uint32_t last) -> std::optional<uint32_t> {
        const TCluster& tail = m_clusters.at(last);
        if (tail.open) {
            size_t looked = 0;
            for (auto it = pool.upper_bound(last); it != pool.end() && looked < kLongNameReach;
                 ++it, ++looked) {
                if (TFatDirectory::continuesLongName(m_clusters.at(*it).lead, *tail.open)) {
                    return *it;
                }
            }
        }
        // A cluster holding a sub-folder of this folder; after the last one first.
        const auto owned = byOwner.find(folder);
        if (owned == byOwner.end()) {
            return std::nullopt;
        }
        std::optional<uint32_t> before;
        for (uint32_t candidate : owned->second) {
            if (pool.count(candidate) != 0) {
                if (candidate > last) {
                    return candidate;
                }
                before = before.value_or(candidate);
            }
        }
        return before;
    };
    // Every round takes at least one cluster from the pool or ends a folder.
    while (!active.empty()) {
        std::sort(active.begin(), active.end(),
                  [&](uint32_t a, uint32_t b) { return chains[a].back() < chains[b].back(); });
        std::vector<uint32_t> still;
        std::vector<uint32_t> unproven;
        for (uint32_t folder : active) {
            if (const std::optional<uint32_t> next = provenNext(folder, chains[folder].back())) {
                pool.erase(*next);
                chains[folder].push_back(*next);
                if (!m_clusters.at(*next).ended) {
                    still.push_back(folder);
                }
            } else {
                unproven.push_back(folder);
            }
        }
        for (uint32_t folder : unproven) {
            const uint32_t last = chains[folder].back();
            auto it = pool.upper_bound(last);
            while (it != pool.end() && ownedByOther(*it, folder)) {
                ++it;
            }
            if (it == pool.end()) {
                continue; // nothing left that could continue it: the folder ends here
            }
            const uint32_t next = *it;
            pool.erase(it);
            chains[folder].push_back(next);
            if (!m_clusters.at(next).ended) {
                still.push_back(folder);
            }
        }
        active = std::move(still);
    }
    return chains;
}
