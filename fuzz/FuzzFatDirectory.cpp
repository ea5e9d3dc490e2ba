// FAT folder content as the directory reader sees it: the first 4 bytes are the cluster
// the content claims to be (for the folder-head check), the rest is the folder's bytes.
// The buffer is also split in two at a point the input chooses, as a long name left
// open at the end of one cluster and continued at the start of the next.
#include "engine/format/TFatDirectory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5) {
        return 0;
    }
    const uint32_t cluster = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t{data[3]} << 24);
    const std::span<const uint8_t> bytes(data + 4, size - 4);

    uint32_t parent = 0;
    (void)TFatDirectory::isFolderHead(bytes, cluster, &parent);
    (void)TFatDirectory::holdsOnlyEntries(bytes);
    (void)TFatDirectory::hasEndMarker(bytes);
    for (const TFatDirectory::TEntry& entry : TFatDirectory::parse(bytes)) {
        if (entry.slot * TFatDirectory::kSlotSize + TFatDirectory::kSlotSize > bytes.size()) {
            std::abort(); // an entry outside the buffer
        }
        (void)entry.displayName();
    }

    const size_t cut = (cluster % (bytes.size() / TFatDirectory::kSlotSize + 1)) * TFatDirectory::kSlotSize;
    const std::span<const uint8_t> head = bytes.first(cut);
    const std::span<const uint8_t> tail = bytes.subspan(cut);
    if (const std::optional<TFatDirectory::TOpenLongName> open = TFatDirectory::openLongName(head)) {
        (void)TFatDirectory::continuesLongName(tail, *open);
    }
    return 0;
}
