#include "disk/TElementsArray.h"

#include "disk/TBaseElement.h"
#include "disk/TElementPool.h"

#include <algorithm>
#include <climits>

namespace {

// Capacity grows by a quarter at least, so repeated growth copies the array a bounded
// number of times without leaving half of it unused.
template<typename T> void growTo(std::vector<T>& table, size_t length)
{
    if (length > table.capacity())
        table.reserve(std::max(length, table.capacity() + table.capacity() / 4));
    table.resize(length, T{});
}

} // namespace

void TElementsArray::Bind(const TElementPool* pool)
{
    if (m_length == 0)
        m_pool = pool;
}

TBaseElement* TElementsArray::pooled(uint32_t place) const
{
    return m_pool->At(place - 1);
}

void TElementsArray::unbind()
{
    Elements.reserve(m_places.capacity());
    for (const uint32_t place : m_places)
        Elements.push_back(place ? pooled(place) : nullptr);
    m_places = {};
    m_pool = nullptr;
}

void TElementsArray::SetItem(int32_t index, TBaseElement* element)
{
    if (index < 0)
        return;
    uint32_t place = 0;
    if (m_pool && element) {
        const size_t at = m_pool->IndexOf(element);
        if (at < m_pool->Count() && at < UINT32_MAX)
            place = uint32_t(at + 1);
        else
            unbind();
    }
    const size_t slot = size_t(index);
    if (slot >= m_length) {
        // The length stays within what Count can report; the last id cannot be held.
        const size_t length = std::min<size_t>(slot + GrowStep, INT32_MAX);
        if (slot >= length)
            return;
        if (m_pool)
            growTo(m_places, length);
        else
            growTo(Elements, length);
        m_length = length;
    }
    if (m_pool)
        m_places[slot] = place;
    else
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
    if (count <= 0)
        return;
    const size_t room = std::min<size_t>(size_t(count) + GrowStep, INT32_MAX);
    if (m_pool)
        m_places.reserve(room);
    else
        Elements.reserve(room);
}

int32_t TElementsArray::firstEmptySlot() const
{
    const int32_t count = Count();
    int32_t i = m_firstEmptyHint;
    while (i < count && GetItem(i))
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
        return id >= 0 && id < int64_t(m_length) && GetItem(int32_t(id)) == element ? int32_t(id) : -1;
    }
    if (m_pool) {
        const size_t at = m_pool->IndexOf(element);
        if (at >= m_pool->Count())
            return -1;
        const auto it = std::find(m_places.begin(), m_places.end(), uint32_t(at + 1));
        return it == m_places.end() ? -1 : int32_t(it - m_places.begin());
    }
    const auto it = std::find(Elements.begin(), Elements.end(), element);
    return it == Elements.end() ? -1 : int32_t(it - Elements.begin());
}
