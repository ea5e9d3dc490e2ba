#pragma once

#include <cstdint>

// An NTFS file reference: a record number in the low 48 bits, the record's sequence number
// in the top 16, so a reference to a record that was freed and reused no longer matches.
class TMftReference
{
public:
    static constexpr uint64_t kRecordMask = 0x0000FFFFFFFFFFFFULL;
    static constexpr int kSequenceShift = 48;

    static constexpr uint64_t Record(uint64_t reference) { return reference & kRecordMask; }
    static constexpr uint16_t Sequence(uint64_t reference)
    {
        return static_cast<uint16_t>(reference >> kSequenceShift);
    }
    static constexpr uint64_t Of(uint64_t record, uint16_t sequence)
    {
        return static_cast<uint64_t>(sequence) << kSequenceShift | (record & kRecordMask);
    }
};
