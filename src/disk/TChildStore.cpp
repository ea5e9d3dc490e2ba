#include "disk/TChildStore.h"

#include "disk/TBaseElement.h"
#include "disk/TBaseSortedList.h"

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
        m_log.push_back(reinterpret_cast<uintptr_t>(parent) | ParentBit);
        m_logParent = parent;
    }
    m_log.push_back(reinterpret_cast<uintptr_t>(child) | (folder ? FolderBit : 0));
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
    // One block holds every pending list: a header (count, capacity 0) and its items.
    using Block = TBaseSortedList::Block;
    static_assert(sizeof(Block) == sizeof(TBaseElement*));
    const size_t room = m_pendingLists + m_pendingItems;
    void* memory = ::operator new(sizeof(TBaseElement*) * room);
    m_blocks.push_back(memory);
    m_capacity += sizeof(TBaseElement*) * room;
    auto* next = static_cast<TBaseElement**>(memory);
    TBaseElement* parent = nullptr;
    for (const uintptr_t entry : m_log) {
        auto* element = reinterpret_cast<TBaseElement*>(entry & ~(FolderBit | ParentBit));
        if (entry & ParentBit) {
            parent = element;
            continue;
        }
        TBaseSortedList& list = listOf(parent, entry & FolderBit);
        if (list.m_bits & TBaseSortedList::Pending) {
            const size_t count = list.m_bits >> 1;
            Block* block = new (next) Block{0, 0};
            next += 1 + count;
            list.m_bits = TBaseSortedList::acquire(block) << 1;
        }
        Block* block = list.block();
        reinterpret_cast<TBaseElement**>(block + 1)[block->count++] = element;
    }
    m_log.clear();
    m_log.shrink_to_fit();
    m_logParent = nullptr;
    m_pendingLists = 0;
    m_pendingItems = 0;
}
