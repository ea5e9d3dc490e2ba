#include "engine/format/TNtfsIndex.h"
#include "engine/format/TLittleEndian.h"
#include "engine/format/TMftReference.h"

#include <algorithm>
#include <cstring>

namespace {

// $INDEX_ROOT: indexed attribute type, collation, index block size; the node header follows.
constexpr size_t kRootType = 0x00;
constexpr size_t kRootBlockSize = 0x08;
constexpr size_t kRootNode = 0x10;
constexpr uint32_t kIndexedFileName = 0x30;

// Node header, offsets relative to itself: first entry, end of the live entries, end of
// the space allocated for entries.
constexpr size_t kNodeHeaderSize = 0x10;
constexpr size_t kNodeFirst = 0x00;
constexpr size_t kNodeUsed = 0x04;
constexpr size_t kNodeAllocated = 0x08;

// INDX block: signature, update sequence array (offset and count), node header at 0x18.
constexpr size_t kBlockUsaOffset = 0x04;
constexpr size_t kBlockUsaCount = 0x06;
constexpr size_t kBlockNode = 0x18;
constexpr size_t kFixupStride = 512;

// Index entry: file reference, entry length, content length, flags, then $FILE_NAME.
constexpr size_t kEntryHeaderSize = 0x10;
constexpr size_t kEntryLength = 0x08;
constexpr size_t kEntryContentLength = 0x0A;
constexpr size_t kEntryFlags = 0x0C;
constexpr uint32_t kEntryHasChild = 0x01;
constexpr uint32_t kEntryLast = 0x02;
constexpr size_t kEntryAlignment = 8;

// $FILE_NAME content.
constexpr size_t kNameParent = 0x00;
constexpr size_t kNameCreated = 0x08;
constexpr size_t kNameModified = 0x10;
constexpr size_t kNameChanged = 0x18;
constexpr size_t kNameAccessed = 0x20;
constexpr size_t kNameAllocated = 0x28;
constexpr size_t kNameSize = 0x30;
constexpr size_t kNameAttributes = 0x38;
constexpr size_t kNameLength = 0x40;
constexpr size_t kNameSpace = 0x41;
constexpr size_t kNameText = 0x42;
constexpr uint8_t kNamespaceLast = 3;
// The smallest entry: header, $FILE_NAME with a one-character name, padded to 8.
constexpr size_t kSmallestEntry = (kEntryHeaderSize + kNameText + 2 + 7) / 8 * 8;

constexpr uint32_t kSmallestBlock = 512;
constexpr uint32_t kLargestBlock = 65536;

// 1980-01-01 and one day, in 100 ns ticks since 1601.
constexpr TFileTime kYear1980 = 119600064000000000ULL;
constexpr TFileTime kTimeMargin = 864000000000ULL;

bool validBlockSize(uint32_t size)
{
    return size >= kSmallestBlock && size <= kLargestBlock && (size & (size - 1)) == 0;
}

// The sequence number skips 0 when it wraps.
uint16_t raised(uint16_t sequence)
{
    return sequence == 0xFFFF ? 1 : static_cast<uint16_t>(sequence + 1);
}

bool belongsTo(uint64_t parentRecord, uint16_t parentSequence, const TNtfsIndex::TFolder& folder)
{
    if (parentRecord != folder.record) {
        return false;
    }
    return parentSequence == folder.sequence || (folder.deleted && raised(parentSequence) == folder.sequence);
}

} // namespace

size_t TNtfsIndex::parseFileName(const uint8_t* name, size_t size, const TFolder& folder, TEntry& entry)
{
    if (size < kNameText + 2) {
        return 0;
    }
    // The parent reference first: it rules out most offsets of a slack scan at once.
    const uint64_t parent = TLittleEndian::Read<uint64_t>(name + kNameParent);
    if (TMftReference::Record(parent) != folder.record) {
        return 0;
    }
    const size_t nameLength = name[kNameLength];
    const uint8_t nameSpace = name[kNameSpace];
    const uint16_t parentSequence = TMftReference::Sequence(parent);
    if (nameLength == 0 || nameSpace > kNamespaceLast || kNameText + nameLength * 2 > size ||
        !belongsTo(TMftReference::Record(parent), parentSequence, folder)) {
        return 0;
    }
    std::u16string text(nameLength, u'\0');
    for (size_t i = 0; i < nameLength; ++i) {
        const char16_t c = static_cast<char16_t>(TLittleEndian::Read<uint16_t>(name + kNameText + i * 2));
        // No driver writes these into a name; stale bytes that hold them are no entry.
        if (c < 0x20 || c == u'/') {
            return 0;
        }
        text[i] = c;
    }
    entry.record = 0;
    entry.sequence = 0;
    entry.parent = TMftReference::Record(parent);
    entry.parentSequence = parentSequence;
    entry.created = TLittleEndian::Read<uint64_t>(name + kNameCreated);
    entry.modified = TLittleEndian::Read<uint64_t>(name + kNameModified);
    entry.changed = TLittleEndian::Read<uint64_t>(name + kNameChanged);
    entry.accessed = TLittleEndian::Read<uint64_t>(name + kNameAccessed);
    entry.allocated = TLittleEndian::Read<uint64_t>(name + kNameAllocated);
    entry.size = TLittleEndian::Read<uint64_t>(name + kNameSize);
    entry.attributes = TLittleEndian::Read<uint32_t>(name + kNameAttributes);
    entry.nameSpace = nameSpace;
    entry.name = std::move(text);
    return kNameText + nameLength * 2;
}

size_t TNtfsIndex::parseEntry(const uint8_t* data, size_t size, const TFolder& folder, TEntry& entry)
{
    if (size < kSmallestEntry) {
        return 0;
    }
    // The parent reference first: it rules out most offsets of a slack scan at once.
    if (TMftReference::Record(TLittleEndian::Read<uint64_t>(data + kEntryHeaderSize + kNameParent)) !=
        folder.record) {
        return 0;
    }
    const size_t length = TLittleEndian::Read<uint16_t>(data + kEntryLength);
    const size_t content = TLittleEndian::Read<uint16_t>(data + kEntryContentLength);
    const uint32_t flags = TLittleEndian::Read<uint32_t>(data + kEntryFlags);
    if (length < kSmallestEntry || length > size || length % kEntryAlignment != 0 ||
        (flags & ~(kEntryHasChild | kEntryLast)) != 0 || content < kNameText ||
        kEntryHeaderSize + content + ((flags & kEntryHasChild) ? sizeof(uint64_t) : 0) > length) {
        return 0;
    }
    const uint64_t reference = TLittleEndian::Read<uint64_t>(data);
    const uint16_t sequence = TMftReference::Sequence(reference);
    if (sequence == 0 || parseFileName(data + kEntryHeaderSize, content, folder, entry) == 0) {
        return 0;
    }
    entry.record = TMftReference::Record(reference);
    entry.sequence = sequence;
    return length;
}

bool TNtfsIndex::parseNode(const uint8_t* node, size_t size, bool inUse, const TFolder& folder,
                           std::vector<TEntry>& out)
{
    if (size < kNodeHeaderSize) {
        return false;
    }
    const size_t first = TLittleEndian::Read<uint32_t>(node + kNodeFirst);
    const size_t used = TLittleEndian::Read<uint32_t>(node + kNodeUsed);
    const size_t allocated = std::min<size_t>(TLittleEndian::Read<uint32_t>(node + kNodeAllocated), size);
    if (first < kNodeHeaderSize || first % kEntryAlignment != 0 || first > used || used > allocated) {
        return false;
    }
    size_t position = first;
    if (inUse) {
        // Live entries: each header's length leads to the next, up to the one marked last.
        while (position + kEntryHeaderSize <= used) {
            const uint8_t* at = node + position;
            const size_t length = TLittleEndian::Read<uint16_t>(at + kEntryLength);
            if (length < kEntryHeaderSize || length % kEntryAlignment != 0 || length > used - position) {
                return false;
            }
            if (TLittleEndian::Read<uint32_t>(at + kEntryFlags) & kEntryLast) {
                position += length;
                break;
            }
            TEntry entry;
            if (parseEntry(at, length, folder, entry) == length) {
                out.push_back(std::move(entry));
            }
            position += length;
        }
        position = std::max(position, used);
        position = (position + kEntryAlignment - 1) / kEntryAlignment * kEntryAlignment;
    }
    // Slack, or the whole of an unused block: removed entries stay where they were,
    // each on an 8-byte boundary, partly overwritten where later entries moved.
    // An entry removed last before the end marker lost its header to that marker, which
    // moved over it; its $FILE_NAME follows intact, its file reference is gone (0).
    while (position < allocated && allocated - position >= kNameText + 2) {
        TEntry entry;
        size_t length = parseEntry(node + position, allocated - position, folder, entry);
        if (length == 0) {
            length = parseFileName(node + position, allocated - position, folder, entry);
            length = (length + kEntryAlignment - 1) / kEntryAlignment * kEntryAlignment;
        }
        if (length == 0) {
            position += kEntryAlignment;
            continue;
        }
        entry.stale = true;
        out.push_back(std::move(entry));
        position += length;
    }
    return true;
}

bool TNtfsIndex::parseRoot(const uint8_t* data, size_t size, const TFolder& folder, std::vector<TEntry>& out,
                           uint32_t& blockSize)
{
    blockSize = 0;
    if (data == nullptr || size < kRootNode + kNodeHeaderSize ||
        TLittleEndian::Read<uint32_t>(data + kRootType) != kIndexedFileName) {
        return false;
    }
    const uint32_t declared = TLittleEndian::Read<uint32_t>(data + kRootBlockSize);
    if (!parseNode(data + kRootNode, size - kRootNode, true, folder, out)) {
        return false;
    }
    blockSize = validBlockSize(declared) ? declared : 0;
    return true;
}

bool TNtfsIndex::parseBlock(const uint8_t* data, size_t size, bool inUse, const TFolder& folder,
                            std::vector<TEntry>& out)
{
    if (data == nullptr || size < kSmallestBlock || size > kLargestBlock) {
        return false;
    }
    std::vector<uint8_t> block(data, data + size);
    return parseBlockInPlace(block.data(), size, inUse, folder, out);
}

bool TNtfsIndex::parseBlockInPlace(uint8_t* block, size_t size, bool inUse, const TFolder& folder,
                                   std::vector<TEntry>& out)
{
    if (size < kSmallestBlock || size % kFixupStride != 0 || std::memcmp(block, "INDX", 4) != 0) {
        return false;
    }
    const size_t usaOffset = TLittleEndian::Read<uint16_t>(block + kBlockUsaOffset);
    const size_t usaCount = TLittleEndian::Read<uint16_t>(block + kBlockUsaCount);
    if (usaCount != size / kFixupStride + 1 || usaOffset < kBlockNode + kNodeHeaderSize ||
        usaOffset % 2 != 0 || usaOffset + usaCount * 2 > kFixupStride - 2) {
        return false;
    }
    // Each sector's last two bytes were replaced by the update sequence number when the
    // block was written; a sector that does not end in it was torn or overwritten. All
    // are checked before any is restored, so a rejected block is left as it was.
    const uint8_t* usa = block + usaOffset;
    for (size_t i = 1; i < usaCount; ++i) {
        const uint8_t* tail = block + i * kFixupStride - 2;
        if (tail[0] != usa[0] || tail[1] != usa[1]) {
            return false;
        }
    }
    for (size_t i = 1; i < usaCount; ++i) {
        uint8_t* tail = block + i * kFixupStride - 2;
        tail[0] = usa[i * 2];
        tail[1] = usa[i * 2 + 1];
    }
    return parseNode(block + kBlockNode, size - kBlockNode, inUse, folder, out);
}

TNtfsIndex::TCounts TNtfsIndex::parseAllocation(uint8_t* data, size_t size, uint32_t blockSize,
                                                const uint8_t* bitmap, size_t bitmapSize,
                                                const TFolder& folder, std::vector<TEntry>& out)
{
    TCounts counts;
    if (data == nullptr || !validBlockSize(blockSize)) {
        return counts;
    }
    const size_t blocks = size / blockSize;
    for (size_t i = 0; i < blocks; ++i) {
        const bool inUse =
            bitmap == nullptr || bitmapSize == 0 || (i / 8 < bitmapSize && (bitmap[i / 8] >> (i % 8)) & 1);
        uint8_t* block = data + i * blockSize;
        if (parseBlockInPlace(block, blockSize, inUse, folder, out)) {
            ++counts.blocks;
        } else if (inUse || std::memcmp(block, "INDX", 4) == 0) {
            // An unused block that never held an index (zeros, other data) is no fault.
            ++counts.rejected;
        }
    }
    return counts;
}

bool TNtfsIndex::timesPlausible(const TEntry& entry, TFileTime newest)
{
    const TFileTime latest = newest == 0 ? ~TFileTime{0} : newest + kTimeMargin;
    for (const TFileTime time : {entry.created, entry.modified, entry.changed, entry.accessed}) {
        if (time < kYear1980 || time > latest) {
            return false;
        }
    }
    return true;
}
