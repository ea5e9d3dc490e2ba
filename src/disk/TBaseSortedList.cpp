#include "disk/TBaseSortedList.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

TBaseSortedList::Block** TBaseSortedList::s_segments[SegmentCount];

namespace {

// Handles given back, for reuse, and the next one never given out. The list of free
// handles is never destroyed: lists held by static objects may end after it would.
std::mutex handleLock;
std::vector<uint32_t>* freeHandles = nullptr;
uint32_t nextHandle = 1;

} // namespace

uint32_t TBaseSortedList::acquire(Block* block)
{
    const std::lock_guard<std::mutex> guard(handleLock);
    uint32_t handle = 0;
    if (freeHandles && !freeHandles->empty()) {
        handle = freeHandles->back();
        freeHandles->pop_back();
    } else {
        if (nextHandle >> 31)
            throw std::bad_alloc(); // 2^31 lists at once: more than memory holds anyway
        handle = nextHandle++;
        Block**& segment = s_segments[handle >> SegmentBits];
        if (!segment)
            segment = new Block*[SegmentMask + 1];
    }
    at(handle) = block;
    return handle;
}

void TBaseSortedList::release(uint32_t handle)
{
    const std::lock_guard<std::mutex> guard(handleLock);
    if (!freeHandles)
        freeHandles = new std::vector<uint32_t>;
    freeHandles->push_back(handle);
}

TBaseSortedList& TBaseSortedList::operator=(TBaseSortedList&& other) noexcept
{
    if (this != &other) {
        Clear();
        m_bits = other.m_bits;
        other.m_bits = 0;
    }
    return *this;
}

void TBaseSortedList::drop()
{
    if (held()) {
        if (owned())
            std::free(block());
        release(m_bits >> 1);
    }
    m_bits = 0;
}

void TBaseSortedList::reallocate(uint32_t capacity)
{
    // Entries waiting in a store cannot be moved here; such a list starts anew.
    if (m_bits & Pending)
        m_bits = 0;
    const uint32_t count = m_bits ? block()->count : 0;
    void* memory = nullptr;
    if (owned()) {
        memory = std::realloc(block(), sizeof(Block) + sizeof(TBaseElement*) * capacity);
    } else {
        // A block in the store stays where it is; the list takes a copy of references.
        memory = std::malloc(sizeof(Block) + sizeof(TBaseElement*) * capacity);
        if (memory && count) {
            const Block* stored = block();
            TBaseElement** copy = static_cast<Block*>(memory)->references();
            for (uint32_t i = 0; i < count; ++i)
                copy[i] = stored->item(i);
        }
    }
    if (!memory)
        throw std::bad_alloc();
    auto* fresh = static_cast<Block*>(memory);
    fresh->count = count;
    fresh->capacity = capacity;
    fresh->pool = nullptr;
    if (held()) {
        at(m_bits >> 1) = fresh;
        return;
    }
    try {
        m_bits = acquire(fresh) << 1;
    } catch (...) {
        std::free(fresh);
        throw;
    }
}

void TBaseSortedList::Add(TBaseElement* element)
{
    const uint32_t count = held() ? block()->count : 0;
    if (!owned() || count == block()->capacity) {
        // Growth by half keeps the unused tail of large folders small.
        reallocate(count < 2 ? 2 : count + count / 2);
    }
    Block* list = block();
    list->references()[count] = element;
    list->count = count + 1;
}

bool TBaseSortedList::Remove(TBaseElement* element)
{
    if (!held())
        return false;
    // A block in the store belongs to this list alone, so it is changed in place.
    Block* list = block();
    const uint32_t count = list->count;
    for (uint32_t i = 0; i < count; ++i) {
        if (list->item(i) == element) {
            if (list->pool)
                std::memmove(list->places() + i, list->places() + i + 1, sizeof(uint32_t) * (count - i - 1));
            else
                std::memmove(list->references() + i, list->references() + i + 1,
                             sizeof(TBaseElement*) * (count - i - 1));
            list->count = count - 1;
            return true;
        }
    }
    return false;
}

void TBaseSortedList::Clear()
{
    drop();
}

void TBaseSortedList::Squeeze()
{
    if (!owned())
        return;
    if (block()->count == 0)
        Clear();
    else if (block()->count < block()->capacity)
        reallocate(block()->count);
}
