#include "disk/TElementsList.h"

#include "disk/TBaseElement.h"

namespace {

size_t HashId(int64_t id)
{
    return size_t((uint64_t(id) * 0x9E3779B97F4A7C15ULL) >> 20);
}

size_t FilterBit(int64_t id)
{
    return size_t((uint64_t(id) * 0xD6E8FEB86659FD93ULL) >> 29);
}

} // namespace

TElementsList::TElementsList() = default;
TElementsList::~TElementsList() = default;

void TElementsList::SetItem(TBaseElement* element)
{
    m_items.push_back(element);
    if (!m_index.empty() && element)
        indexEntry(element->TrueID, int32_t(m_items.size() - 1));
}

const TElementsList::Slot* TElementsList::findSlot(int64_t id) const
{
    const size_t mask = m_index.size() - 1;
    for (size_t i = HashId(id) & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_index[i];
        if (slot.index < 0 || slot.id == id)
            return &slot;
    }
}

void TElementsList::indexEntry(int64_t id, int32_t index) const
{
    // The table stays at most half full, so probes stay short.
    if ((m_indexed + 1) * 2 > m_index.size()) {
        std::vector<Slot> old;
        old.swap(m_index);
        m_index.assign(old.empty() ? 64 : old.size() * 2, Slot{0, -1});
        m_filter.assign(m_index.size() / 8, 0);
        m_indexed = 0;
        for (const Slot& slot : old) {
            if (slot.index >= 0)
                indexEntry(slot.id, slot.index);
        }
    }
    const size_t bit = FilterBit(id) & (m_filter.size() * 64 - 1);
    m_filter[bit / 64] |= uint64_t(1) << (bit % 64);
    Slot* slot = const_cast<Slot*>(findSlot(id));
    if (slot->index < 0)
        ++m_indexed;
    slot->id = id;
    slot->index = index;
}

void TElementsList::buildIndex() const
{
    m_index.assign(64, Slot{0, -1});
    m_filter.assign(m_index.size() / 8, 0);
    m_indexed = 0;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i])
            indexEntry(m_items[i]->TrueID, int32_t(i));
    }
}

TBaseElement* TElementsList::GetItem(int32_t id) const
{
    const int64_t wanted = id;
    if (m_index.empty()) {
        if (m_items.size() < IndexThreshold) {
            for (size_t i = m_items.size(); i-- > 0;) {
                if (m_items[i] && m_items[i]->TrueID == wanted)
                    return m_items[i];
            }
            return nullptr;
        }
        buildIndex();
    }
    const size_t bit = FilterBit(wanted) & (m_filter.size() * 64 - 1);
    if (!(m_filter[bit / 64] & (uint64_t(1) << (bit % 64))))
        return nullptr;
    const Slot* slot = findSlot(wanted);
    return slot->index >= 0 ? m_items[size_t(slot->index)] : nullptr;
}

void TElementsList::Delete(int index)
{
    m_items.erase(m_items.begin() + index);
    m_index.clear();
    m_filter.clear();
    m_indexed = 0;
}

void TElementsList::Clear()
{
    m_items.clear();
    m_index.clear();
    m_filter.clear();
    m_indexed = 0;
}
