#pragma once

#include "disk/TElementPool.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

class TBaseElement;
class TChildStore;

// The child list of a folder: element references in the order the analysis appended
// them. It never sorts; windows order what they show.
//
// A drive holds two of these per element, most of them empty, so the list is half a
// word: an empty list holds nothing, a filled one a handle to its count and items in a
// process-wide table of list blocks (the table has room for 2^31 lists and frees a
// handle with its list). The analysis lays out the lists of a whole drive in one block
// of its TChildStore once every record is read, each item the child's place in the
// drive's element pool (four bytes instead of eight); a list changed later, or built by
// hand, copies its items into a heap block of references of its own. While an analysis
// runs, its store keeps the entries and the list only their number.
class TBaseSortedList
{
    struct Block;

public:
    // Reads the items of either kind of block.
    class Iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = TBaseElement*;
        using difference_type = std::ptrdiff_t;
        using pointer = TBaseElement* const*;
        using reference = TBaseElement*;

        Iterator() = default;
        TBaseElement* operator*() const { return m_block->item(m_at); }
        Iterator& operator++()
        {
            ++m_at;
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator before = *this;
            ++m_at;
            return before;
        }
        bool operator==(const Iterator&) const = default;

    private:
        friend class TBaseSortedList;
        Iterator(const Block* block, uint32_t at) : m_block(block), m_at(at) {}

        const Block* m_block = nullptr;
        uint32_t m_at = 0;
    };

    TBaseSortedList() = default;
    ~TBaseSortedList()
    {
        if (m_bits)
            drop();
    }
    TBaseSortedList(const TBaseSortedList&) = delete;
    TBaseSortedList& operator=(const TBaseSortedList&) = delete;
    TBaseSortedList(TBaseSortedList&& other) noexcept : m_bits(other.m_bits) { other.m_bits = 0; }
    TBaseSortedList& operator=(TBaseSortedList&& other) noexcept;

    int Count() const
    {
        if (m_bits & Pending)
            return int(m_bits >> 1);
        return m_bits ? int(block()->count) : 0;
    }
    bool IsEmpty() const { return m_bits == 0 || Count() == 0; }
    TBaseElement* Items(int index) const { return block()->item(uint32_t(index)); }
    TBaseElement* operator[](int index) const { return Items(index); }
    TBaseElement* Last() const { return Items(Count() - 1); }

    // Appends; the list may hold the same element more than once.
    void Add(TBaseElement* element);
    // Removes the first entry that holds element; false when there is none.
    bool Remove(TBaseElement* element);
    void Clear();
    // Gives back the unused capacity once a list is complete.
    void Squeeze();

    // Iteration sees no entries while the analysis still collects them.
    Iterator begin() const { return held() ? Iterator(block(), 0) : Iterator(); }
    Iterator end() const { return held() ? Iterator(block(), block()->count) : Iterator(); }

private:
    friend class TChildStore;

    // Count, capacity and pool in front of the items. Capacity 0 marks a block inside a
    // drive's child store, which the list does not own; a pool, items that are places in
    // it instead of references.
    struct Block
    {
        uint32_t count;
        uint32_t capacity;
        const TElementPool* pool;

        TBaseElement* const* references() const { return reinterpret_cast<TBaseElement* const*>(this + 1); }
        TBaseElement** references() { return reinterpret_cast<TBaseElement**>(this + 1); }
        const uint32_t* places() const { return reinterpret_cast<const uint32_t*>(this + 1); }
        uint32_t* places() { return reinterpret_cast<uint32_t*>(this + 1); }
        TBaseElement* item(uint32_t index) const
        {
            return pool ? pool->At(places()[index]) : references()[index];
        }
    };
    // Set in the low bit while the entries wait in the store; the rest is their number.
    // Otherwise the rest is the handle of the list's block.
    static constexpr uint32_t Pending = 1;

    // The table of blocks, in segments made as handles are first given out. A handle is
    // never 0. Reading a slot needs no lock: its segment was made before the handle was
    // given out, and only the list that holds the handle writes the slot.
    static constexpr unsigned SegmentBits = 12;
    static constexpr uint32_t SegmentMask = (1u << SegmentBits) - 1;
    static constexpr size_t SegmentCount = size_t{1} << (31 - SegmentBits);
    static Block** s_segments[SegmentCount];
    static uint32_t acquire(Block* block);
    static void release(uint32_t handle);
    static Block*& at(uint32_t handle) { return s_segments[handle >> SegmentBits][handle & SegmentMask]; }

    bool held() const { return m_bits && !(m_bits & Pending); }
    Block* block() const { return at(m_bits >> 1); }
    bool owned() const { return held() && block()->capacity != 0; }
    void reallocate(uint32_t capacity);
    // Gives back the block (when owned) and the handle.
    void drop();

    uint32_t m_bits = 0;
};
