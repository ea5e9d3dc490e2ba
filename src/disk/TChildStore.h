#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TBaseElement;
class TBaseSortedList;

// The child lists of one drive, built in two steps. While the analysis reads records,
// every append (and the rare removal of an entry that moves) is noted in one log and
// each list counts its entries; Build then gives every list its exact room in one
// drive-wide block and fills it in log order, so each folder lists its children in the
// order they were appended, without a heap block per folder.
//
// A list that already holds items when an append arrives (one built by an earlier
// Build, or by hand) takes the append directly.
class TChildStore
{
public:
    TChildStore() = default;
    ~TChildStore();
    TChildStore(const TChildStore&) = delete;
    TChildStore& operator=(const TChildStore&) = delete;

    // Makes room in the log for count appends.
    void Reserve(size_t count) { m_log.reserve(m_log.size() + count); }
    // Appends child to parent's folders (folder) or files.
    void Append(TBaseElement* parent, TBaseElement* child, bool folder);
    // Removes the first entry of child from parent's folders or files; false when there
    // is none (a pending list answers true when it holds any entry: the log settles it).
    bool Remove(TBaseElement* parent, TBaseElement* child, bool folder);
    // Lays out every pending list; afterwards the lists can be read.
    void Build();
    // Bytes held by built blocks.
    size_t Capacity() const { return m_capacity; }

private:
    // One logged change: the parent, and the child with its kind and state in the low bits.
    struct Entry
    {
        TBaseElement* parent;
        uintptr_t child;
    };
    static constexpr uintptr_t FolderBit = 1; // the parent's folders, not its files
    static constexpr uintptr_t RemoveBit = 2; // a removal, not an append
    static constexpr uintptr_t DeadBit = 4;   // an append a later removal took back
    static constexpr uintptr_t KindBits = FolderBit | RemoveBit | DeadBit;

    static TBaseSortedList& listOf(TBaseElement* parent, bool folder);
    // Pairs every logged removal with the earliest append it takes back.
    void settleRemovals();

    std::vector<Entry> m_log;
    size_t m_removals = 0;
    // Lists that went pending and the entries they hold, for the size of the next block.
    size_t m_pendingLists = 0;
    size_t m_pendingItems = 0;
    std::vector<void*> m_blocks;
    size_t m_capacity = 0;
};
