#include "disk/TBaseSortedList.h"

#include <cstdlib>
#include <new>

TBaseSortedList::~TBaseSortedList()
{
    std::free(m_block);
}

TBaseSortedList& TBaseSortedList::operator=(TBaseSortedList&& other) noexcept
{
    if (this != &other) {
        std::free(m_block);
        m_block = other.m_block;
        other.m_block = nullptr;
    }
    return *this;
}

void TBaseSortedList::reallocate(uint32_t capacity)
{
    const uint32_t count = m_block ? m_block->count : 0;
    void* block = std::realloc(m_block, sizeof(Block) + sizeof(TBaseElement*) * capacity);
    if (!block)
        throw std::bad_alloc();
    m_block = static_cast<Block*>(block);
    m_block->count = count;
    m_block->capacity = capacity;
}

void TBaseSortedList::Add(TBaseElement* element)
{
    const uint32_t count = m_block ? m_block->count : 0;
    if (!m_block || count == m_block->capacity) {
        // Growth by half keeps the unused tail of large folders small.
        reallocate(count < 2 ? 2 : count + count / 2);
    }
    items()[count] = element;
    m_block->count = count + 1;
}

bool TBaseSortedList::Remove(TBaseElement* element)
{
    const int count = Count();
    TBaseElement** list = items();
    for (int i = 0; i < count; ++i) {
        if (list[i] == element) {
            for (int j = i + 1; j < count; ++j)
                list[j - 1] = list[j];
            m_block->count = uint32_t(count - 1);
            return true;
        }
    }
    return false;
}

void TBaseSortedList::Clear()
{
    std::free(m_block);
    m_block = nullptr;
}

void TBaseSortedList::Squeeze()
{
    if (!m_block)
        return;
    if (m_block->count == 0)
        Clear();
    else if (m_block->count < m_block->capacity)
        reallocate(m_block->count);
}
