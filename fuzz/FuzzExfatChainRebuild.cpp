// Deleted exFAT folders and free clusters as the folder-chain rebuild reads them. The
// first byte picks the cluster size (512 to 4096 bytes), the next 16 bytes describe up
// to four folders (first cluster as an offset from cluster 2, and a length), one of them
// stored as a run, and one link the allocation table still holds; the rest is cut into
// consecutive clusters from cluster 2.
#include "engine/format/TExfatChainRebuild.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t header = 17;
    if (size < header) {
        return 0;
    }
    const size_t clusterSize = size_t{512} << (data[0] & 3);
    TExfatChainRebuild rebuild;
    for (int i = 0; i < 4; ++i) {
        const uint8_t* folder = data + 1 + 3 * i;
        const uint32_t first = 2 + folder[0];
        const uint64_t clusters = folder[1] | (folder[2] << 8);
        if (i == 3) {
            rebuild.addRun(first, clusters);
        } else {
            rebuild.addFolder(first, clusters);
        }
    }
    rebuild.addLink(2 + data[13], 2 + data[14]);
    rebuild.addLink(2 + data[15], 2 + data[16]);

    std::span<const uint8_t> rest(data + header, size - header);
    uint32_t cluster = 2;
    while (!rest.empty()) {
        const size_t take = std::min(clusterSize, rest.size());
        const std::span<const uint8_t> bytes = rest.first(take);
        (void)TExfatChainRebuild::holdsOnlyEntries(bytes);
        (void)TExfatChainRebuild::hasEndMarker(bytes);
        rebuild.addCluster(cluster++, bytes);
        rest = rest.subspan(take);
    }
    std::set<uint32_t> taken;
    for (const auto& [head, chain] : rebuild.rebuild()) {
        // A chain opens with its folder's first cluster, and no cluster belongs to two chains.
        if (chain.empty() || chain.front() != head) {
            std::abort();
        }
        for (uint32_t c : chain) {
            if (c < 2 || c >= cluster || !taken.insert(c).second) {
                std::abort();
            }
        }
    }
    return 0;
}
