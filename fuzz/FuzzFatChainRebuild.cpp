// Free clusters of a FAT volume as the folder-chain rebuild reads them. The first byte
// picks the cluster size (512 to 4096 bytes), the second the number of the first
// cluster; the rest is cut into consecutive clusters.
#include "engine/format/TFatChainRebuild.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    const size_t clusterSize = size_t{512} << (data[0] & 3);
    const uint32_t first = 2 + data[1];
    std::span<const uint8_t> rest(data + 2, size - 2);
    TFatChainRebuild rebuild;
    uint32_t cluster = first;
    while (!rest.empty()) {
        const size_t take = std::min(clusterSize, rest.size());
        rebuild.addCluster(cluster++, rest.first(take));
        rest = rest.subspan(take);
    }
    std::set<uint32_t> taken;
    for (const auto& [head, chain] : rebuild.rebuild()) {
        // A chain opens with its folder's head, and no cluster belongs to two chains.
        if (chain.empty() || chain.front() != head || !rebuild.parentOf(head)) {
            std::abort();
        }
        for (uint32_t c : chain) {
            if (!rebuild.hasCluster(c) || !taken.insert(c).second) {
                std::abort();
            }
        }
    }
    for (uint32_t c = first; c < cluster; ++c) {
        (void)rebuild.parentOf(c);
    }
    return 0;
}
