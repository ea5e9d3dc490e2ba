// A volume's allocation record as the allocation map takes it: a bitmap or a FAT of 12,
// 16 or 32-bit entries. The first 8 bytes give the map's size and where the record
// starts; byte 8 picks the kind. Counts over ranges the input picks are then checked
// against the bits one at a time, and fed to the recovery rating.
#include "engine/format/TAllocationMap.h"
#include "engine/format/TRecoveryRating.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t header = 9;
    if (size < header) {
        return 0;
    }
    const uint64_t base = data[0];
    const uint64_t count = (data[1] | (data[2] << 8) | (data[3] << 16)) & 0x3FFFF;
    uint64_t first = data[4] | (data[5] << 8);
    const uint64_t span = data[6] | (data[7] << 8);
    const std::span<const uint8_t> record(data + header, size - header);

    TAllocationMap map;
    map.reset(base, count);
    switch (data[8] & 3) {
    case 0:
        map.setBitmap(first, record);
        break;
    case 1:
        map.setFromFat(first & ~uint64_t{1}, record, 12);
        break;
    case 2:
        map.setFromFat(first, record, 16);
        break;
    default:
        map.setFromFat(first, record, 32);
        break;
    }
    first = base + first % (count + 1);
    const uint64_t used = map.countUsed(first, span);
    uint64_t counted = 0;
    for (uint64_t c = first; c < first + span; ++c) {
        counted += map.isUsed(c) ? 1 : 0;
    }
    if (used != counted) {
        std::abort(); // the word-wise count disagrees with the bits
    }
    const int64_t known = TRecoveryRating::knownClusters(used, span);
    const int64_t assumed = TRecoveryRating::assumedClusters(map.isUsed(first), used, span);
    for (const int64_t flags : {known, assumed}) {
        const int percent = TRecoveryRating::percentOf(flags);
        if (percent < 0 || percent > 100) {
            std::abort();
        }
        (void)TRecoveryRating::rating(flags);
    }
    (void)TRecoveryRating::percent(used, span);
    return 0;
}
