#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Reads FAT12/16/32 folder content from raw bytes: 32-byte slots of 8.3 entries and the
// long-name slots before them. Everything here takes a buffer that may come from a
// damaged or hostile disk; no offset or count read from it is trusted.
class TFatDirectory
{
public:
    static constexpr size_t kSlotSize = 32;

    // One 8.3 entry and the long name proven to belong to it.
    struct TEntry
    {
        size_t slot = 0; // index of the 8.3 slot in the parsed buffer
        std::array<uint8_t, 11> shortName{};
        uint8_t attributes = 0;
        uint8_t caseFlags = 0;
        uint32_t firstCluster = 0;
        uint32_t size = 0;
        bool deleted = false;
        std::u16string longName; // empty when no long name matched the entry's checksum

        bool isFolder() const { return (attributes & 0x10) != 0; }
        bool isDotEntry() const { return shortName[0] == '.'; }
        // The long name, else the 8.3 name ("_" standing for a deleted entry's lost first
        // character), as the engine lists it.
        std::u16string displayName() const;
    };

    // The checksum an 8.3 name gives its long-name slots.
    static uint8_t checksum(const uint8_t* shortName);

    // True when the buffer opens a folder's first cluster: "." pointing at `cluster`,
    // then "..". `parent` receives the cluster ".." names (0: the root folder).
    static bool isFolderHead(std::span<const uint8_t> buffer, uint32_t cluster, uint32_t* parent);
    // True when every slot reads as a folder entry and the buffer is not all zeros.
    static bool holdsOnlyEntries(std::span<const uint8_t> buffer);
    // True when a slot marks the end of the folder (first byte 0), or the buffer holds
    // no whole slot.
    static bool hasEndMarker(std::span<const uint8_t> buffer);

    // A long name whose slots close a buffer without their 8.3 entry.
    struct TOpenLongName
    {
        uint8_t checksum = 0;
        char16_t firstCharacter = 0; // of the last slot: the name's first one if that slot is ordinal 1
    };
    // The long name left open at the end of the buffer, so the folder's next cluster can
    // be told by the entry that opens it.
    static std::optional<TOpenLongName> openLongName(std::span<const uint8_t> buffer);
    // True when the buffer opens with the rest of that long name (or with no long-name
    // slot at all) followed by an 8.3 entry whose checksum matches it.
    static bool continuesLongName(std::span<const uint8_t> buffer, const TOpenLongName& open);

    // The 8.3 entries of a folder's content (its clusters in chain order), with the long
    // names whose checksum matches. Free slots and the end marker are skipped; parsing
    // stops at the end marker.
    static std::vector<TEntry> parse(std::span<const uint8_t> buffer);

private:
    static bool isLongNameSlot(const uint8_t* slot);
    static bool isPlausibleShortEntry(const uint8_t* slot);
    // True when the long name's first character, as a short name would hold it,
    // completes a deleted 8.3 name whose checksum is `checksum`.
    static bool firstCharacterMatches(std::array<uint8_t, 11> shortName, char16_t first, uint8_t checksum);
};
