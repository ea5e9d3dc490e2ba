#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TBaseElement;

// Elements indexed by engine id. The length grows to 10000 slots beyond the highest
// index stored; slots never filled hold nil.
//
// The drive stores an element only at the index of its own TrueID, so IndexOf looks at
// that slot first. A store at any other index switches IndexOf to a plain scan for the
// rest of the array's life, which keeps its answer exact either way. An element's
// TrueID must not change while the element is stored.
class TElementsArray
{
public:
    TElementsArray() = default;
    TElementsArray(const TElementsArray&) = delete;
    TElementsArray& operator=(const TElementsArray&) = delete;

    // Stores element at index (0 or more), growing the array when index is beyond it.
    void SetItem(int32_t index, TBaseElement* element);
    // The element at index; nil for a negative index or one beyond the length.
    TBaseElement* GetItem(int32_t index) const
    {
        return index >= 0 && size_t(index) < Elements.size() ? Elements[size_t(index)] : nullptr;
    }
    // The length, empty slots included.
    int32_t Count() const { return int32_t(Elements.size()); }
    // The first index whose slot holds element; -1 if none. For nil: the first empty slot.
    int32_t IndexOf(const TBaseElement* element) const;
    // Makes room for ids below count (and the slots beyond them) without changing the length.
    void Reserve(int32_t count);
    // Gives back capacity beyond the length once the array is complete.
    void Squeeze() { Elements.shrink_to_fit(); }

private:
    static constexpr int32_t GrowStep = 10000;

    int32_t firstEmptySlot() const;

    std::vector<TBaseElement*> Elements;
    // Every slot below this index is filled.
    mutable int32_t m_firstEmptyHint = 0;
    bool m_misplaced = false;
};
