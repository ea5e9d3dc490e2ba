#pragma once

#include <cstdint>

class TBaseElement;

// The child list of a folder: element references in the order the analysis appended
// them. It never sorts; windows order what they show.
//
// A drive holds one or two of these per element, most of them empty, so the list is a
// single pointer: an empty list allocates nothing, and a filled one keeps its count and
// capacity in front of the items in one heap block.
class TBaseSortedList
{
public:
    TBaseSortedList() = default;
    ~TBaseSortedList();
    TBaseSortedList(const TBaseSortedList&) = delete;
    TBaseSortedList& operator=(const TBaseSortedList&) = delete;
    TBaseSortedList(TBaseSortedList&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
    TBaseSortedList& operator=(TBaseSortedList&& other) noexcept;

    int Count() const { return m_block ? int(m_block->count) : 0; }
    bool IsEmpty() const { return Count() == 0; }
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

    TBaseElement* const* begin() const { return items(); }
    TBaseElement* const* end() const { return items() + Count(); }

private:
    struct Block
    {
        uint32_t count;
        uint32_t capacity;
    };

    TBaseElement** items() const { return m_block ? reinterpret_cast<TBaseElement**>(m_block + 1) : nullptr; }
    void reallocate(uint32_t capacity);

    Block* m_block = nullptr;
};
