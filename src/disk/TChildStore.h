#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class TBaseElement;
class TBaseSortedList;
class TElementPool;

// The child lists of one drive, built in two steps. While the analysis reads records,
// every append is noted in one log and each list only counts its entries; Build then
// gives every list its exact room in one drive-wide block and fills it in log order, so
// each folder lists its children in the order they were appended, without a heap block
// per folder.
//
// The log holds one word per child, and the parent only where it differs from the one
// before (records arrive folder by folder). A removal from a pending list (an element
// that moves) lays out the log first; a list that already holds built items takes later
// appends directly.
class TChildStore
{
public:
    TChildStore() = default;
    ~TChildStore();
    TChildStore(const TChildStore&) = delete;
    TChildStore& operator=(const TChildStore&) = delete;

    // Keeps the drive's elements by their place in pool, in the log and in the built
    // lists; only before the first append. An element from elsewhere turns the store back
    // to references.
    void Bind(const TElementPool* pool);
    // Appends child to parent's folders (folder) or files.
    void Append(TBaseElement* parent, TBaseElement* child, bool folder);
    // Removes the first entry of child from parent's folders or files; false when there
    // is none.
    bool Remove(TBaseElement* parent, TBaseElement* child, bool folder);
    // Lays out every pending list; afterwards the lists can be read.
    void Build();
    // Bytes held by built blocks.
    size_t Capacity() const { return m_capacity; }

private:
    // A logged child with its kind in the low bit, or the parent of the children after it;
    // the element is its reference, or its place in the pool shifted above the two bits.
    static constexpr uintptr_t FolderBit = 1;
    static constexpr uintptr_t ParentBit = 2;
    static constexpr unsigned PlaceShift = 2;

    static TBaseSortedList& listOf(TBaseElement* parent, bool folder);
    // The log word of element; switches the store to references for an element the pool
    // does not hold.
    uintptr_t logged(TBaseElement* element);
    TBaseElement* element(uintptr_t entry) const;
    void unbind();

    const TElementPool* m_pool = nullptr;
    // In blocks: growing it never copies it, and never holds it twice.
    std::deque<uintptr_t> m_log;
    TBaseElement* m_logParent = nullptr;
    // Lists that went pending and the entries they hold, for the size of the next block.
    size_t m_pendingLists = 0;
    size_t m_pendingItems = 0;
    std::vector<void*> m_blocks;
    size_t m_capacity = 0;
};
