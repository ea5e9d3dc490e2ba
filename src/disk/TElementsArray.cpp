#include "disk/TElementsArray.h"

#include "disk/TBaseElement.h"

#include <algorithm>
#include <climits>

void TElementsArray::SetItem(int32_t index, TBaseElement* element)
{
    if (index < 0)
        return;
    const size_t slot = size_t(index);
    if (slot >= Elements.size()) {
        // The length stays within what Count can report; the last id cannot be held.
        const size_t length = std::min<size_t>(slot + GrowStep, INT32_MAX);
        if (slot >= length)
            return;
        // Capacity grows by a quarter at least, so repeated growth copies the array a
        // bounded number of times without leaving half of it unused.
        if (length > Elements.capacity())
            Elements.reserve(std::max(length, Elements.capacity() + Elements.capacity() / 4));
        Elements.resize(length, nullptr);
    }
    Elements[slot] = element;
    if (element) {
        if (element->TrueID != index)
            m_misplaced = true;
    } else if (index < m_firstEmptyHint) {
        m_firstEmptyHint = index;
    }
}

void TElementsArray::Reserve(int32_t count)
{
    if (count > 0)
        Elements.reserve(std::min<size_t>(size_t(count) + GrowStep, INT32_MAX));
}

int32_t TElementsArray::firstEmptySlot() const
{
    const int32_t count = Count();
    int32_t i = m_firstEmptyHint;
    while (i < count && Elements[size_t(i)])
        ++i;
    m_firstEmptyHint = i;
    return i < count ? i : -1;
}

int32_t TElementsArray::IndexOf(const TBaseElement* element) const
{
    if (!element)
        return firstEmptySlot();
    if (!m_misplaced) {
        // Every element sits at its own id only, so one slot answers.
        const int64_t id = element->TrueID;
        return id >= 0 && id < int64_t(Elements.size()) && Elements[size_t(id)] == element ? int32_t(id) : -1;
    }
    const auto it = std::find(Elements.begin(), Elements.end(), element);
    return it == Elements.end() ? -1 : int32_t(it - Elements.begin());
}
