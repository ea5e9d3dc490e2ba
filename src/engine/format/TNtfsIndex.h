#pragma once

#include "engine/VantrelLib.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the entries of an NTFS folder index ($I30): the $INDEX_ROOT attribute and the
// INDX blocks of $INDEX_ALLOCATION. Besides the live entries it recovers the stale ones
// that deletions leave behind: the slack after a node's last live entry, and every entry
// of a block the index $BITMAP marks unused.
//
// The buffers come from a disk that may be damaged or hostile. Every parser takes bytes
// and plain values only, checks each offset and length against the buffer, and bounds
// every loop by the buffer's size; nothing read from the disk is trusted as a count.
class TNtfsIndex
{
public:
    // The folder whose index is read: an entry belongs to it only when its parent
    // reference names this record with this sequence number (or, for a deleted folder,
    // the number before it: the sequence number is raised when a record is freed).
    struct TFolder
    {
        uint64_t record = 0;
        uint16_t sequence = 0;
        bool deleted = false;
    };

    struct TEntry
    {
        uint64_t record = 0; // the entry's own file record; 0: unknown (its header was overwritten)
        uint16_t sequence = 0;
        uint64_t parent = 0; // parent record number
        uint16_t parentSequence = 0;
        TFileTime created = 0;
        TFileTime modified = 0;
        TFileTime changed = 0; // the record's last change
        TFileTime accessed = 0;
        uint64_t allocated = 0;
        uint64_t size = 0;
        uint32_t attributes = 0; // Windows file attributes; 0x10000000 marks a folder
        uint8_t nameSpace = 0;   // 0 POSIX, 1 Win32, 2 DOS 8.3, 3 Win32 and DOS
        bool stale = false;      // from slack or an unused block: removed from the index
        std::u16string name;

        bool isDirectory() const { return (attributes & kAttributeDirectory) != 0; }
        bool isDosOnly() const { return nameSpace == kNamespaceDos; }
    };

    struct TCounts
    {
        int blocks = 0;   // INDX blocks that passed their checks
        int rejected = 0; // blocks with a bad signature, fixups or header
    };

    static constexpr uint32_t kAttributeDirectory = 0x10000000;
    static constexpr uint8_t kNamespaceDos = 2;

    // The $INDEX_ROOT content. Its index block size (needed for the allocation) is
    // returned in blockSize, 0 when the root does not validate.
    static bool parseRoot(const uint8_t* data, size_t size, const TFolder& folder, std::vector<TEntry>& out,
                          uint32_t& blockSize);
    // The $INDEX_ALLOCATION content as a sequence of blocks of blockSize bytes; bitmap
    // is the index $BITMAP content (bit n set: block n in use). A missing bitmap
    // (bitmapSize 0) counts every block as in use. Fixups are applied in place.
    static TCounts parseAllocation(uint8_t* data, size_t size, uint32_t blockSize, const uint8_t* bitmap,
                                   size_t bitmapSize, const TFolder& folder, std::vector<TEntry>& out);
    // One INDX block, fixups applied to a copy and checked. inUse false: every entry in
    // it is stale. False when the block does not validate.
    static bool parseBlock(const uint8_t* data, size_t size, bool inUse, const TFolder& folder,
                           std::vector<TEntry>& out);
    // Whether the entry's times are possible on a volume whose newest recorded time is
    // newest: none after it (plus a margin for clocks that disagree) and none before 1980.
    // Zero times (not recorded) are allowed.
    static bool timesPlausible(const TEntry& entry, TFileTime newest);

private:
    static bool parseBlockInPlace(uint8_t* block, size_t size, bool inUse, const TFolder& folder,
                                  std::vector<TEntry>& out);
    // The entries of one index node: node points at its header, size bytes are readable
    // from there. Live entries run from the first entry to the one marked last; the rest
    // up to the allocated size is scanned for stale ones.
    static bool parseNode(const uint8_t* node, size_t size, bool inUse, const TFolder& folder,
                          std::vector<TEntry>& out);
    // A $FILE_NAME of at most size bytes, without file reference; its length, or 0.
    static size_t parseFileName(const uint8_t* name, size_t size, const TFolder& folder, TEntry& entry);
    // An entry at data of at most size bytes; its length, or 0 when it does not validate.
    static size_t parseEntry(const uint8_t* data, size_t size, const TFolder& folder, TEntry& entry);
};
