#include "engine/format/TMftAttributeList.h"

#include "engine/format/TLittleEndian.h"
#include "engine/format/TMftReference.h"

namespace {

// One entry: type, entry length, name length and offset, first cluster of the part,
// the record holding it, the attribute's id, then the name.
constexpr size_t kEntryLength = 0x04;
constexpr size_t kEntryNameLength = 0x06;
constexpr size_t kEntryNameOffset = 0x07;
constexpr size_t kEntryReference = 0x10;
constexpr size_t kEntryHeader = 0x1A;

} // namespace

bool TMftAttributeList::read(const uint8_t* list, size_t length, uint64_t baseRecord)
{
    m_count = 0;
    size_t at = 0;
    while (at < length) {
        if (length - at < kEntryHeader) {
            return false;
        }
        const uint8_t* entry = list + at;
        const size_t entryLength = TLittleEndian::U16(entry + kEntryLength);
        if (entryLength < kEntryHeader || entryLength > length - at ||
            entry[kEntryNameOffset] + size_t{entry[kEntryNameLength]} * 2 > entryLength) {
            return false;
        }
        const uint64_t reference = TLittleEndian::U64(entry + kEntryReference);
        const uint64_t record = TMftReference::Record(reference);
        const uint16_t sequence = TMftReference::Sequence(reference);
        if (record != baseRecord) {
            size_t i = 0;
            while (i < m_count && m_references[i].record != record) {
                ++i;
            }
            if (i == m_count) {
                if (m_count == kMaxRecords) {
                    return false;
                }
                m_references[m_count++] = {record, sequence, 0};
            } else if (m_references[i].sequence != sequence) {
                return false; // one record named with two sequence numbers
            }
            ++m_references[i].attributes;
        }
        at += entryLength;
    }
    return true;
}
