#include "disk/TElementsList.h"

#include "disk/TBaseElement.h"

TElementsList::TElementsList() = default;
TElementsList::~TElementsList() = default;

void TElementsList::SetItem(TBaseElement* element)
{
    m_items.push_back(element);
    if (m_index && element)
        (*m_index)[element->TrueID] = int32_t(m_items.size() - 1);
}

void TElementsList::buildIndex() const
{
    m_index = std::make_unique<std::unordered_map<int64_t, int32_t>>();
    m_index->reserve(m_items.size());
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i])
            (*m_index)[m_items[i]->TrueID] = int32_t(i);
    }
}

TBaseElement* TElementsList::GetItem(int32_t id) const
{
    const int64_t wanted = id;
    if (!m_index) {
        if (m_items.size() < IndexThreshold) {
            for (size_t i = m_items.size(); i-- > 0;) {
                if (m_items[i] && m_items[i]->TrueID == wanted)
                    return m_items[i];
            }
            return nullptr;
        }
        buildIndex();
    }
    const auto it = m_index->find(wanted);
    if (it == m_index->end())
        return nullptr;
    return m_items[size_t(it->second)];
}

void TElementsList::Delete(int index)
{
    m_items.erase(m_items.begin() + index);
    m_index.reset();
}

void TElementsList::Clear()
{
    m_items.clear();
    m_index.reset();
}
