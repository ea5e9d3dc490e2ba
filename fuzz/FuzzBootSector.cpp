// A volume's boot sector as the FAT and exFAT layout readers take it, then the address
// arithmetic on the layout it gives at addresses the input picks.
#include "engine/format/TExfatGeometry.h"
#include "engine/format/TFatLayout.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> boot(data, size);
    // Addresses to try: the bytes after the first 512 read as 64-bit values.
    std::vector<uint64_t> probes{0, 1, 2, 3, 4, 31, 32, 1000, UINT32_MAX, UINT64_MAX};
    for (size_t at = 512; at + 8 <= size && probes.size() < 32; at += 8) {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            value |= uint64_t{data[at + i]} << (8 * i);
        }
        probes.push_back(value);
    }

    for (const bool exfat : {false, true}) {
        TFatLayout layout;
        if (!layout.read(boot, exfat)) {
            continue;
        }
        (void)layout.clusterBytes();
        for (const uint64_t value : probes) {
            (void)layout.hasCluster(layout.entryCluster(value));
            const uint32_t c = static_cast<uint32_t>(value);
            (void)layout.slotAddress(c, value >> 32);
            (void)layout.clusterOffset(c);
            (void)layout.slotOffset(value);
            (void)layout.tableEntryOffset(c);
        }
    }
    if (const std::optional<TExfatGeometry> geometry = TExfatGeometry::parse(boot)) {
        (void)geometry->heapEnd();
        for (const uint64_t value : probes) {
            if (const std::optional<uint64_t> offset = geometry->entryOffset(value)) {
                if (*offset < geometry->heapOffset || *offset >= geometry->heapEnd()) {
                    std::abort(); // an entry outside the cluster heap
                }
                (void)geometry->addressAt(*offset);
            }
            std::string error;
            if (const auto run = geometry->contiguousRun(static_cast<uint32_t>(value), value >> 16, error)) {
                if (run->length != 0 &&
                    (run->offset < geometry->heapOffset || run->offset + run->length > geometry->heapEnd())) {
                    std::abort(); // a run outside the cluster heap
                }
            }
        }
    }
    return 0;
}
