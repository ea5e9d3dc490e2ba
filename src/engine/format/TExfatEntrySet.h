#pragma once

#include "engine/VantrelLib.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One exFAT directory entry set read from raw folder bytes: the file entry, its stream
// extension and its name entries, live or deleted. Parsing takes only a byte buffer and
// trusts nothing in it: counts and lengths are checked against the buffer and the format.
//
// Times: exFAT keeps local calendar fields plus, when the writer knew it, the offset of
// that local clock from UTC. With a valid offset the times here are the true UTC instants
// (fields minus offset, with the 10 ms increments); without one they are the calendar
// fields as written, encoded without any zone shift, which is how FAT times are carried.
class TExfatEntrySet
{
public:
    static constexpr size_t kEntrySize = 32;
    // A file entry names 2 to 18 secondary entries (a stream extension and 1 to 17 name
    // entries for names of up to 255 characters); others may follow as vendor entries.
    static constexpr size_t kMinSecondaries = 2;

    // One stored time: the 32-bit calendar stamp, the 10 ms increment (0..199) and the
    // UTC offset byte (bit 7: valid; bits 0..6: signed quarter hours).
    struct TStamp
    {
        uint32_t fields = 0;
        uint8_t increment = 0;
        uint8_t utcOffset = 0;
    };

    bool deleted = false;    // the file entry's in-use bit is clear
    bool isFolder = false;   // attribute bit 4
    bool noFatChain = false; // the stream says the data is one contiguous run
    bool checksumOk = false; // the set checksum matches (in-use bits restored for deleted sets)
    uint16_t attributes = 0;
    uint32_t firstCluster = 0;
    uint64_t dataLength = 0;
    uint64_t validDataLength = 0;
    size_t slotCount = 0; // entries the set takes, file entry included
    std::u16string name;
    TStamp createdStamp, modifiedStamp, accessedStamp;

    TFileTime created() const { return toFileTime(createdStamp); }
    TFileTime modified() const { return toFileTime(modifiedStamp); }
    TFileTime accessed() const { return toFileTime(accessedStamp); }

    // The set that starts at the first byte of bytes; nothing when the first entry is no
    // file entry, the stream extension is missing, or a count runs past the buffer.
    static std::optional<TExfatEntrySet> parse(std::span<const uint8_t> bytes);
    // Only the file entry's times, attributes and state: enough for the first 32 bytes.
    static std::optional<TExfatEntrySet> parsePrimary(std::span<const uint8_t> bytes);
    // Every set found in a folder's raw content, live and deleted, each with its byte
    // offset in bytes. Slots that are no file entry are stepped over one at a time, so a
    // damaged set does not hide the ones after it.
    struct TFound;
    static std::vector<TFound> scan(std::span<const uint8_t> bytes);
    // A stored time as FILETIME (see the class comment); 0 for an empty or invalid stamp.
    static TFileTime toFileTime(const TStamp& stamp);
    // The set checksum over count entries, as computed with every in-use bit set.
    static uint16_t checksum(std::span<const uint8_t> set);
};

struct TExfatEntrySet::TFound
{
    size_t offset; // of the set's file entry in the scanned bytes
    TExfatEntrySet set;
};
