#pragma once

#include <cstddef>
#include <cstdint>

class TBaseElement;
class TChildStore;

// The child list of a folder: element references in the order the analysis appended
// them. It never sorts; windows order what they show.
//
// A drive holds two of these per element, most of them empty, so the list is half a
// word: an empty list holds nothing, a filled one a handle to its count and items in a
// process-wide table of list blocks (the table has room for 2^31 lists and frees a
// handle with its list). The analysis lays out the lists of a whole drive in one block
// of its TChildStore once every record is read; a list changed later, or built by hand,
// copies its items into a heap block of its own. While an analysis runs, its store keeps
// the entries and the list only their number.
class TBaseSortedList
{
public:
    TBaseSortedList() = default;
    ~TBaseSortedList();
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
    TBaseElement* Items(int index) const { return items()[index]; }
    TBaseElement* operator[](int index) const { return items()[index]; }
    TBaseElement* Last() const { return items()[Count() - 1]; }

    // Appends; the list may hold the same element more than once.
    void Add(TBaseElement* element);
    // Removes the first entry that holds element; false when there is none.
    bool Remove(TBaseElement* element);
    void Clear();
    // Gives back the unused capacity once a list is complete.
    void Squeeze();

    // Iteration sees no entries while the analysis still collects them.
    TBaseElement* const* begin() const { return items(); }
    TBaseElement* const* end() const { return items() + (items() ? block()->count : 0); }

private:
    friend class TChildStore;

    // Count and capacity in front of the items; capacity 0 marks a block inside a
    // drive's child store, which the list does not own.
    struct Block
    {
        uint32_t count;
        uint32_t capacity;
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
    TBaseElement** items() const { return held() ? reinterpret_cast<TBaseElement**>(block() + 1) : nullptr; }
    void reallocate(uint32_t capacity);
    // Gives back the block (when owned) and the handle.
    void drop();

    uint32_t m_bits = 0;
};
