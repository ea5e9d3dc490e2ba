#include "engine/format/TMftRecord.h"

#include <cstring>

namespace {

// Record header.
constexpr size_t kUpdateOffset = 0x04;
constexpr size_t kUpdateCount = 0x06;
constexpr size_t kSequence = 0x10;
constexpr size_t kFirstAttribute = 0x14;
constexpr size_t kFlags = 0x16;
constexpr size_t kBase = 0x20;
constexpr size_t kHeaderEnd = 0x30;

// Attribute header, then the resident and the non-resident parts.
constexpr size_t kAttrType = 0x00;
constexpr size_t kAttrLength = 0x04;
constexpr size_t kAttrNonResident = 0x08;
constexpr size_t kAttrNameLength = 0x09;
constexpr size_t kAttrNameOffset = 0x0A;
constexpr size_t kResidentLength = 0x10;
constexpr size_t kResidentOffset = 0x14;
constexpr size_t kResidentHeader = 0x18;
constexpr size_t kStartVcn = 0x10;
constexpr size_t kLastVcn = 0x18;
constexpr size_t kRunOffset = 0x20;
constexpr size_t kCompressionUnit = 0x22;
constexpr size_t kRealSize = 0x30;
constexpr size_t kInitializedSize = 0x38;
constexpr size_t kNonResidentHeader = 0x40;
constexpr uint16_t kLargestCompressionUnit = 16; // a power of two of clusters

constexpr uint32_t kTypeStandardInformation = 0x10;
constexpr uint32_t kTypeAttributeList = 0x20;
constexpr uint32_t kTypeFileName = 0x30;
constexpr uint32_t kTypeData = 0x80;
constexpr uint32_t kTypeIndexRoot = 0x90;
constexpr uint32_t kTypeIndexAllocation = 0xA0;
constexpr uint32_t kTypeBitmap = 0xB0;
constexpr uint32_t kTypeEnd = 0xFFFFFFFF;

// $STANDARD_INFORMATION: four times; $FILE_NAME: parent, then the name.
constexpr size_t kTimesLength = 0x20;
constexpr size_t kFileNameLength = 0x40;
constexpr size_t kFileNameSpace = 0x41;
constexpr size_t kFileNameText = 0x42;
constexpr uint8_t kNamespaceDos = 2;

template<typename T> T read(const uint8_t* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Whether the attribute is named $I30, the name of a folder's index of file names.
bool namedI30(const uint8_t* attr, size_t length)
{
    static const uint8_t kName[] = {'$', 0, 'I', 0, '3', 0, '0', 0};
    const size_t offset = read<uint16_t>(attr + kAttrNameOffset);
    return attr[kAttrNameLength] == 4 && offset <= length && length - offset >= sizeof kName &&
           std::memcmp(attr + offset, kName, sizeof kName) == 0;
}

const TMftRecordFields kCleared{};

} // namespace

bool TMftRecord::applyFixups(uint8_t* record, size_t size)
{
    // One saved pair per 512-byte sector, after the check value.
    const size_t offset = read<uint16_t>(record + kUpdateOffset);
    const size_t count = read<uint16_t>(record + kUpdateCount);
    const size_t sectors = size / kSectorStride;
    if (count != sectors + 1 || offset < kHeaderEnd - 8 || offset + count * 2 > size || sectors > 32) {
        return false;
    }
    const uint16_t check = read<uint16_t>(record + offset);
    m_tornSectors = 0;
    for (size_t sector = 0; sector < sectors; ++sector) {
        uint8_t* tail = record + (sector + 1) * kSectorStride - 2;
        if (read<uint16_t>(tail) != check) {
            m_tornSectors |= uint32_t{1} << sector;
            continue;
        }
        std::memcpy(tail, record + offset + 2 + sector * 2, 2);
    }
    // The header itself must be whole.
    return !(m_tornSectors & 1);
}

bool TMftRecord::intact(size_t begin, size_t end) const
{
    if (m_tornSectors == 0 || end <= begin) {
        return true;
    }
    for (size_t sector = begin / kSectorStride; sector <= (end - 1) / kSectorStride; ++sector) {
        if (m_tornSectors & (uint32_t{1} << sector)) {
            return false;
        }
    }
    return true;
}

bool TMftRecord::readRuns(const uint8_t* list, size_t length, uint64_t blockCount, TRun* out, size_t& count,
                          size_t capacity)
{
    count = 0;
    int64_t previous = 0;
    size_t at = 0;
    while (at < length) {
        const uint8_t header = list[at];
        if (header == 0) {
            return true;
        }
        const size_t lengthBytes = header & 0x0F;
        const size_t offsetBytes = header >> 4;
        // Offsets wider than four bytes are read differently by different readers: such a
        // record is left to the library.
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 4 ||
            at + 1 + lengthBytes + offsetBytes > length || count == capacity) {
            return false;
        }
        TRun run;
        for (size_t i = 0; i < lengthBytes; ++i) {
            run.length |= uint64_t{list[at + 1 + i]} << (i * 8);
        }
        int64_t delta = 0;
        for (size_t i = 0; i < offsetBytes; ++i) {
            delta |= int64_t{list[at + 1 + lengthBytes + i]} << (i * 8);
        }
        if (offsetBytes > 0 && (list[at + lengthBytes + offsetBytes] & 0x80)) {
            delta -= int64_t{1} << (offsetBytes * 8);
        }
        if (run.length > blockCount) {
            return false;
        }
        if (delta == -1 && previous == 0) {
            run.sparse = true; // an old way of writing a hole
        } else if (delta == -1) {
            return false;
        } else if (delta == 0) {
            run.sparse = true;
        } else {
            previous += delta;
            if (previous < 0 || static_cast<uint64_t>(previous) + run.length > blockCount) {
                return false;
            }
            run.address = static_cast<uint64_t>(previous);
        }
        if (out != nullptr) {
            out[count] = run;
        }
        ++count;
        at += 1 + lengthBytes + offsetBytes;
    }
    // No end mark inside the attribute.
    return false;
}

TMftRecord::TResult TMftRecord::parse(uint8_t* record, size_t size, uint64_t blockCount)
{
    return parseRecord(record, size, blockCount, false);
}

TMftRecord::TResult TMftRecord::parseExtension(uint8_t* record, size_t size, uint64_t blockCount)
{
    const TResult result = parseRecord(record, size, blockCount, true);
    return result == TResult::Torn ? TResult::Refused : result;
}

TMftRecord::TResult TMftRecord::parseRecord(uint8_t* record, size_t size, uint64_t blockCount, bool extension)
{
    // Copied from a cleared instance: building a cleared temporary for each record cost more.
    static_cast<TMftRecordFields&>(*this) = kCleared;
    if (size < kSectorStride || size % kSectorStride != 0 || std::memcmp(record, "FILE", 4) != 0 ||
        !applyFixups(record, size)) {
        return TResult::Refused;
    }
    sequence = read<uint16_t>(record + kSequence);
    flags = read<uint16_t>(record + kFlags);
    base = read<uint64_t>(record + kBase);
    bool standard = false;
    size_t at = read<uint16_t>(record + kFirstAttribute);
    if (at < kHeaderEnd || (base != 0) != extension) {
        return TResult::Refused;
    }
    for (;;) {
        if (at + 8 > size || !intact(at, at + 8)) {
            return TResult::Refused;
        }
        const uint32_t type = read<uint32_t>(record + at + kAttrType);
        if (type == kTypeEnd) {
            break;
        }
        const size_t length = read<uint32_t>(record + at + kAttrLength);
        if (length < kResidentHeader || length > size - at || !intact(at, at + length)) {
            return TResult::Refused;
        }
        const uint8_t* attr = record + at;
        const bool nonResident = attr[kAttrNonResident] != 0;
        const bool named = attr[kAttrNameLength] != 0;
        ++attributeCount;
        if (type == kTypeAttributeList) {
            if (extension || hasAttributeList) {
                return TResult::Refused;
            }
            hasAttributeList = true;
        }
        // Parts of a stream that start past its first cluster belong to a file whose
        // attributes are listed.
        const bool split = extension || hasAttributeList;
        const bool index = type == kTypeIndexRoot || type == kTypeIndexAllocation || type == kTypeBitmap;
        if (index && (!isDirectory() || !namedI30(attr, length))) {
            return TResult::Refused;
        }
        if (nonResident && type == kTypeIndexAllocation) {
            const size_t list = read<uint16_t>(attr + kRunOffset);
            if (hasIndexAllocation || length < kNonResidentHeader || read<uint64_t>(attr + kStartVcn) != 0 ||
                read<uint16_t>(attr + kCompressionUnit) > kLargestCompressionUnit ||
                list < kNonResidentHeader || list >= length ||
                !readRuns(attr + list, length - list, blockCount, indexRuns, indexRunCount)) {
                return TResult::Refused;
            }
            hasIndexAllocation = true;
            indexAllocationSize = read<uint64_t>(attr + kRealSize);
            if (indexAllocationSize == 0) {
                return TResult::Refused; // its size would have to be told from its runs
            }
        } else if (nonResident && type == kTypeAttributeList) {
            // Read by the caller from its clusters: one part, whole, of a sensible size.
            const size_t list = read<uint16_t>(attr + kRunOffset);
            const uint64_t listSize = length >= kNonResidentHeader ? read<uint64_t>(attr + kRealSize) : 0;
            if (length < kNonResidentHeader || read<uint64_t>(attr + kStartVcn) != 0 ||
                read<uint16_t>(attr + kCompressionUnit) != 0 || listSize == 0 || listSize > kLargestList ||
                read<uint64_t>(attr + kInitializedSize) != listSize || list < kNonResidentHeader ||
                list >= length ||
                !readRuns(attr + list, length - list, blockCount, listRuns, listRunCount, kMaxListRuns)) {
                return TResult::Refused;
            }
            attributeListLength = static_cast<size_t>(listSize);
        } else if (nonResident) {
            // Compressed and sparse streams keep their holes as runs without clusters.
            const uint64_t firstVcn = read<uint64_t>(attr + kStartVcn);
            if (type != kTypeData || length < kNonResidentHeader ||
                read<uint16_t>(attr + kCompressionUnit) > kLargestCompressionUnit ||
                (firstVcn != 0 && !split) || (!named && hasData)) {
                return TResult::Refused;
            }
            const size_t list = read<uint16_t>(attr + kRunOffset);
            if (list < kNonResidentHeader || list >= length) {
                return TResult::Refused;
            }
            if (named) {
                size_t count = 0;
                if (!readRuns(attr + list, length - list, blockCount, nullptr, count)) {
                    return TResult::Refused;
                }
                namedData = true;
            } else {
                // Only the part that starts the stream holds its sizes.
                dataSize = firstVcn == 0 ? read<uint64_t>(attr + kRealSize) : 0;
                dataFirstVcn = firstVcn;
                dataLastVcn = read<uint64_t>(attr + kLastVcn);
                if ((firstVcn == 0 && dataSize == 0) || dataLastVcn < firstVcn ||
                    !readRuns(attr + list, length - list, blockCount, runs, runCount)) {
                    return TResult::Refused;
                }
                hasData = true;
            }
        } else {
            const size_t contentLength = read<uint32_t>(attr + kResidentLength);
            const size_t contentOffset = read<uint16_t>(attr + kResidentOffset);
            if (contentOffset < kResidentHeader || contentOffset > length ||
                contentLength > length - contentOffset) {
                return TResult::Refused;
            }
            const uint8_t* content = attr + contentOffset;
            if (type == kTypeStandardInformation) {
                if (standard || contentLength < kTimesLength) {
                    return TResult::Refused;
                }
                standard = true;
                created = read<uint64_t>(content);
                modified = read<uint64_t>(content + 0x08);
                changed = read<uint64_t>(content + 0x10);
                accessed = read<uint64_t>(content + 0x18);
            } else if (type == kTypeFileName) {
                // The Win32 or POSIX name over the DOS one; otherwise the first.
                if (contentLength >= kFileNameText) {
                    const uint8_t characters = content[kFileNameLength];
                    const bool dos = content[kFileNameSpace] == kNamespaceDos;
                    if (kFileNameText + size_t{characters} * 2 <= contentLength &&
                        (name == nullptr || (nameDos && !dos))) {
                        name = content + kFileNameText;
                        nameLength = characters;
                        parent = read<uint64_t>(content);
                        nameDos = dos;
                    }
                }
            } else if (type == kTypeIndexRoot || type == kTypeBitmap) {
                const uint8_t*& where = type == kTypeIndexRoot ? indexRoot : indexBitmap;
                if (where != nullptr) {
                    return TResult::Refused;
                }
                where = content;
                (type == kTypeIndexRoot ? indexRootLength : indexBitmapLength) = contentLength;
            } else if (type == kTypeAttributeList) {
                attributeList = content;
                attributeListLength = contentLength;
            } else if (type == kTypeIndexAllocation) {
                return TResult::Refused; // an allocation is never resident
            } else if (type == kTypeData && named) {
                namedData = true;
            } else if (type == kTypeData) {
                if (hasData) {
                    return TResult::Refused;
                }
                hasData = true;
                dataResident = true;
                dataSize = contentLength;
            }
        }
        at += length;
    }
    if (extension) {
        return m_tornSectors != 0 ? TResult::Torn : TResult::Parsed;
    }
    // Without an unnamed stream, a named one would stand for a file's data. A file whose
    // attributes are listed is judged once its other records are read.
    if (!standard || (!hasAttributeList && (name == nullptr || (namedData && !hasData && !isDirectory())))) {
        return TResult::Refused;
    }
    return m_tornSectors != 0 ? TResult::Torn : TResult::Parsed;
}
