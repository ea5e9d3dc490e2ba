#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TBaseElement;
class TElementPool;

// Elements indexed by engine id. The length grows to 10000 slots beyond the highest
// index stored; slots never filled hold nil.
//
// The drive stores an element only at the index of its own TrueID, so IndexOf looks at
// that slot first. A store at any other index switches IndexOf to a plain scan for the
// rest of the array's life, which keeps its answer exact either way. An element's
// TrueID must not change while the element is stored.
//
// Bound to its drive's element pool, a slot holds the element's place in the pool in
// four bytes instead of a reference in eight; an element from elsewhere turns the array
// back to references for the rest of its life.
class TElementsArray
{
public:
    TElementsArray() = default;
    TElementsArray(const TElementsArray&) = delete;
    TElementsArray& operator=(const TElementsArray&) = delete;

    // Keeps places in pool instead of references; only while the array is empty.
    void Bind(const TElementPool* pool);

    // Stores element at index (0 or more), growing the array when index is beyond it.
    void SetItem(int32_t index, TBaseElement* element);
    // The element at index; nil for a negative index or one beyond the length.
    TBaseElement* GetItem(int32_t index) const
    {
        if (index < 0 || size_t(index) >= m_length)
            return nullptr;
        if (m_pool) {
            const uint32_t place = m_places[size_t(index)];
            return place ? pooled(place) : nullptr;
        }
        return Elements[size_t(index)];
    }
    // The length, empty slots included.
    int32_t Count() const { return int32_t(m_length); }
    // The first index whose slot holds element; -1 if none. For nil: the first empty slot.
    int32_t IndexOf(const TBaseElement* element) const;
    // Makes room for ids below count (and the slots beyond them) without changing the length.
    void Reserve(int32_t count);
    // Gives back capacity beyond the length once the array is complete.
    void Squeeze()
    {
        Elements.shrink_to_fit();
        m_places.shrink_to_fit();
    }

private:
    static constexpr int32_t GrowStep = 10000;

    int32_t firstEmptySlot() const;
    TBaseElement* pooled(uint32_t place) const;
    // Turns places into references, for an element the pool does not hold.
    void unbind();

    std::vector<TBaseElement*> Elements;
    // Bound to a pool: each slot's place in it plus one, 0 for an empty slot.
    const TElementPool* m_pool = nullptr;
    std::vector<uint32_t> m_places;
    size_t m_length = 0;
    // Every slot below this index is filled.
    mutable int32_t m_firstEmptyHint = 0;
    bool m_misplaced = false;
};
