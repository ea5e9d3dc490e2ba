// A folder index as the NTFS index reader sees it. A 13-byte header says what follows:
// byte 0 the kind (0: $INDEX_ROOT content, 1: one INDX block, else $INDEX_ALLOCATION),
// bytes 1-6 the folder's record, 7-8 its sequence number, 9 whether it is deleted,
// 10-11 the block size of an allocation (0: the one the root gives, else 512), 12 the
// length of the index bitmap taken from the front of the rest.
#include "engine/format/TNtfsIndex.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(const std::vector<TNtfsIndex::TEntry>& entries, const TNtfsIndex::TFolder& folder)
{
    for (const TNtfsIndex::TEntry& entry : entries) {
        // Only entries naming the folder as their parent are taken.
        if (entry.parent != folder.record || entry.name.empty()) {
            std::abort();
        }
        (void)TNtfsIndex::timesPlausible(entry, 133000000000000000ULL);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t header = 13;
    if (size < header) {
        return 0;
    }
    TNtfsIndex::TFolder folder;
    for (int i = 0; i < 6; ++i) {
        folder.record |= uint64_t{data[1 + i]} << (8 * i);
    }
    folder.sequence = static_cast<uint16_t>(data[7] | (data[8] << 8));
    folder.deleted = (data[9] & 1) != 0;
    uint32_t blockSize = data[10] | (data[11] << 8);
    const uint8_t* body = data + header;
    const size_t bodySize = size - header;
    std::vector<TNtfsIndex::TEntry> entries;

    switch (data[0]) {
    case 0: {
        uint32_t rootBlockSize = 0;
        (void)TNtfsIndex::parseRoot(body, bodySize, folder, entries, rootBlockSize);
        break;
    }
    case 1:
        (void)TNtfsIndex::parseBlock(body, bodySize, (data[9] & 2) == 0, folder, entries);
        break;
    default: {
        const size_t bitmapSize = std::min<size_t>(data[12], bodySize);
        // The allocation is changed in place (fixups), so it is parsed from a copy.
        std::vector<uint8_t> allocation(body + bitmapSize, body + bodySize);
        if (blockSize == 0) {
            blockSize = 512;
        }
        const TNtfsIndex::TCounts counts = TNtfsIndex::parseAllocation(
            allocation.data(), allocation.size(), blockSize, body, bitmapSize, folder, entries);
        if (counts.blocks < 0 || counts.rejected < 0) {
            std::abort();
        }
        break;
    }
    }
    check(entries, folder);
    return 0;
}
