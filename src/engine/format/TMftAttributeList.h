#pragma once

#include <cstddef>
#include <cstdint>

// The entries of an $ATTRIBUTE_LIST's content, read in place: which other records hold the
// file's attributes, and how many of them each holds. The bytes come from a disk that may
// be damaged or hostile: an entry that does not lie whole inside the list makes the list
// unreadable.
class TMftAttributeList
{
public:
    struct TReference
    {
        uint64_t record = 0;
        uint16_t sequence = 0;   // as the list names the record
        uint32_t attributes = 0; // entries that point into it
    };

    // More records than a file spreads its attributes over in practice.
    static constexpr size_t kMaxRecords = 64;

    // Reads the list of the file whose base record is baseRecord: the other records in
    // the order the list first names them. False when an entry is malformed or the list
    // names more than kMaxRecords other records.
    bool read(const uint8_t* list, size_t length, uint64_t baseRecord);

    size_t count() const { return m_count; }
    const TReference& operator[](size_t i) const { return m_references[i]; }

private:
    TReference m_references[kMaxRecords];
    size_t m_count = 0;
};
