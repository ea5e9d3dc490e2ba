// exFAT folder content as the entry-set parser reads it: the whole buffer scanned for
// sets, and one set parsed from the first byte.
#include "engine/format/TExfatEntrySet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    for (const TExfatEntrySet::TFound& found : TExfatEntrySet::scan(bytes)) {
        const TExfatEntrySet& set = found.set;
        // A set found lies inside the scanned bytes.
        if (set.slotCount == 0 || found.offset + set.slotCount * TExfatEntrySet::kEntrySize > size) {
            std::abort();
        }
        (void)set.created();
        (void)set.modified();
        (void)set.accessed();
    }
    if (const std::optional<TExfatEntrySet> set = TExfatEntrySet::parse(bytes)) {
        (void)TExfatEntrySet::checksum(
            bytes.first(std::min(size, set->slotCount * TExfatEntrySet::kEntrySize)));
    }
    (void)TExfatEntrySet::parsePrimary(bytes);
    return 0;
}
