#include "disk/TChildStore.h"

#include "disk/TBaseElement.h"
#include "disk/TBaseSortedList.h"

#include <deque>
#include <functional>
#include <new>
#include <unordered_map>

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
    m_log.push_back({parent, reinterpret_cast<uintptr_t>(child) | (folder ? FolderBit : 0)});
    list.m_bits += 2;
    ++m_pendingItems;
}

bool TChildStore::Remove(TBaseElement* parent, TBaseElement* child, bool folder)
{
    TBaseSortedList& list = listOf(parent, folder);
    if (!(list.m_bits & TBaseSortedList::Pending))
        return list.Remove(child);
    if (list.Count() == 0)
        return false;
    m_log.push_back({parent, reinterpret_cast<uintptr_t>(child) | (folder ? FolderBit : 0) | RemoveBit});
    ++m_removals;
    list.m_bits -= 2;
    --m_pendingItems;
    return true;
}

void TChildStore::settleRemovals()
{
    // Only appends of a pair (list, child) that some removal names are followed; each
    // removal takes back the earliest append of its pair still standing before it.
    struct PairHash
    {
        size_t operator()(const std::pair<TBaseElement*, uintptr_t>& key) const
        {
            return std::hash<const void*>()(key.first) ^ (std::hash<uintptr_t>()(key.second) * 31);
        }
    };
    using Key = std::pair<TBaseElement*, uintptr_t>;
    std::unordered_map<Key, std::deque<size_t>, PairHash> appends;
    for (const Entry& entry : m_log) {
        if (entry.child & RemoveBit)
            appends.try_emplace(Key{entry.parent, entry.child & ~RemoveBit});
    }
    for (size_t i = 0; i < m_log.size(); ++i) {
        Entry& entry = m_log[i];
        const auto found = appends.find(Key{entry.parent, entry.child & ~RemoveBit});
        if (found == appends.end())
            continue;
        if (!(entry.child & RemoveBit)) {
            found->second.push_back(i);
        } else if (!found->second.empty()) {
            m_log[found->second.front()].child |= DeadBit;
            found->second.pop_front();
        } else {
            // Nothing to take back: the count the removal lowered was one too small.
            listOf(entry.parent, entry.child & FolderBit).m_bits += 2;
            ++m_pendingItems;
        }
    }
}

void TChildStore::Build()
{
    // The kind bits of a logged child fit below its alignment.
    static_assert(alignof(TBaseElement) > KindBits);
    if (m_log.empty())
        return;
    if (m_removals)
        settleRemovals();
    // One block holds every pending list: a header (count, capacity 0) and its items.
    using Block = TBaseSortedList::Block;
    static_assert(sizeof(Block) == sizeof(TBaseElement*));
    const size_t room = m_pendingLists + m_pendingItems;
    void* memory = ::operator new(sizeof(TBaseElement*) * room);
    m_blocks.push_back(memory);
    m_capacity += sizeof(TBaseElement*) * room;
    auto* next = static_cast<TBaseElement**>(memory);
    for (const Entry& entry : m_log) {
        if (entry.child & RemoveBit)
            continue;
        TBaseSortedList& list = listOf(entry.parent, entry.child & FolderBit);
        if (list.m_bits & TBaseSortedList::Pending) {
            const size_t count = list.m_bits >> 1;
            if (count == 0) {
                // Every entry of the list was taken back.
                list.m_bits = 0;
                continue;
            }
            Block* block = new (next) Block{0, 0};
            next += 1 + count;
            list.m_bits = reinterpret_cast<uintptr_t>(block);
        }
        if (entry.child & DeadBit)
            continue;
        list.items()[list.block()->count++] = reinterpret_cast<TBaseElement*>(entry.child & ~KindBits);
    }
    m_log.clear();
    m_log.shrink_to_fit();
    m_removals = 0;
    m_pendingLists = 0;
    m_pendingItems = 0;
}
