#include "disk/TChildStore.h"

#include "disk/TBaseElement.h"
#include "disk/TBaseSortedList.h"

#include "disk/TElementPool.h"

#include <cstdint>
#include <new>

TChildStore::~TChildStore()
{
    for (void* block : m_blocks)
        ::operator delete(block);
}

TBaseSortedList& TChildStore::listOf(TBaseElement* parent, bool folder)
{
    return folder ? parent->ChildrenFolders : parent->ChildrenFiles;
}

void TChildStore::Bind(const TElementPool* pool)
{
    if (m_log.empty())
        m_pool = pool;
}

uintptr_t TChildStore::logged(TBaseElement* element)
{
    if (m_pool) {
        const size_t place = m_pool->IndexOf(element);
        if (place < m_pool->Count() && place <= UINT32_MAX)
            return uintptr_t(place) << PlaceShift;
        unbind();
    }
    return reinterpret_cast<uintptr_t>(element);
}

TBaseElement* TChildStore::element(uintptr_t entry) const
{
    if (m_pool)
        return m_pool->At(size_t(entry >> PlaceShift));
    return reinterpret_cast<TBaseElement*>(entry & ~(FolderBit | ParentBit));
}

void TChildStore::unbind()
{
    for (uintptr_t& entry : m_log)
        entry = reinterpret_cast<uintptr_t>(element(entry)) | (entry & (FolderBit | ParentBit));
    m_pool = nullptr;
}

void TChildStore::Append(TBaseElement* parent, TBaseElement* child, bool folder)
{
    TBaseSortedList& list = listOf(parent, folder);
    if (list.m_bits && !(list.m_bits & TBaseSortedList::Pending)) {
        list.Add(child);
        return;
    }
    if (!list.m_bits) {
        list.m_bits = TBaseSortedList::Pending;
        ++m_pendingLists;
    }
    if (parent != m_logParent) {
        m_log.push_back(logged(parent) | ParentBit);
        m_logParent = parent;
    }
    const uintptr_t entry = logged(child);
    m_log.push_back(entry | (folder ? FolderBit : 0));
    list.m_bits += 2;
    ++m_pendingItems;
}

bool TChildStore::Remove(TBaseElement* parent, TBaseElement* child, bool folder)
{
    TBaseSortedList& list = listOf(parent, folder);
    if (list.m_bits & TBaseSortedList::Pending)
        Build();
    return list.Remove(child);
}

void TChildStore::Build()
{
    // The kind bits of a logged element fit below its alignment.
    static_assert(alignof(TBaseElement) > (FolderBit | ParentBit));
    if (m_log.empty())
        return;
    // One block holds every pending list: a header (count, capacity 0, pool) and its
    // items, each list's items padded to the header's alignment.
    using Block = TBaseSortedList::Block;
    const bool places = m_pool != nullptr;
    const size_t itemBytes = places ? sizeof(uint32_t) : sizeof(TBaseElement*);
    constexpr size_t align = alignof(Block);
    const size_t room = m_pendingLists * (sizeof(Block) + align) + m_pendingItems * itemBytes;
    void* memory = ::operator new(room);
    m_blocks.push_back(memory);
    m_capacity += room;
    auto* next = static_cast<char*>(memory);
    TBaseElement* parent = nullptr;
    // The blocks of the parent's two lists, looked up once per run of its children;
    // a list that was cleared or refilled by hand while its entries waited takes none.
    Block* open[2] = {};
    bool skip[2] = {};
    for (const uintptr_t entry : m_log) {
        if (entry & ParentBit) {
            parent = element(entry);
            open[0] = open[1] = nullptr;
            skip[0] = skip[1] = false;
            continue;
        }
        const bool folder = entry & FolderBit;
        if (!open[folder] && !skip[folder]) {
            TBaseSortedList& list = listOf(parent, folder);
            if (list.m_bits & TBaseSortedList::Pending) {
                const size_t bytes = (list.m_bits >> 1) * itemBytes;
                Block* block = new (next) Block{0, 0, places ? m_pool : nullptr};
                next += sizeof(Block) + (bytes + align - 1) / align * align;
                list.m_bits = TBaseSortedList::acquire(block) << 1;
            }
            if (list.held() && !list.owned())
                open[folder] = list.block();
            else
                skip[folder] = true;
        }
        if (skip[folder])
            continue;
        Block* block = open[folder];
        if (places)
            block->places()[block->count++] = uint32_t(entry >> PlaceShift);
        else
            block->references()[block->count++] = element(entry);
    }
    m_log.clear();
    m_log.shrink_to_fit();
    m_logParent = nullptr;
    m_pendingLists = 0;
    m_pendingItems = 0;
}
