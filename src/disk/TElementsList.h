#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TBaseElement;

// A list of element references searched by id from its end (the most recent entry with
// an id wins). Used for the deleted entries of a drive and for the navigation history.
// An element's TrueID must not change while the element is listed.
class TElementsList
{
public:
    TElementsList();
    ~TElementsList();
    TElementsList(const TElementsList&) = delete;
    TElementsList& operator=(const TElementsList&) = delete;

    int Count() const { return int(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    TBaseElement* Items(int index) const { return m_items[size_t(index)]; }
    TBaseElement* operator[](int index) const { return m_items[size_t(index)]; }
    TBaseElement* Last() const { return m_items.back(); }

    // Appends.
    void SetItem(TBaseElement* element);
    // The last entry whose TrueID equals id; nil if none.
    TBaseElement* GetItem(int32_t id) const;
    void Delete(int index);
    void Clear();

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    // Short lists are scanned; from this length on, GetItem builds an id index.
    static constexpr size_t IndexThreshold = 16;

    // One entry of the id index: an id and the list index of its last entry (-1: free).
    struct Slot
    {
        int64_t id;
        int32_t index;
    };

    void buildIndex() const;
    void indexEntry(int64_t id, int32_t index) const;
    const Slot* findSlot(int64_t id) const;

    std::vector<TBaseElement*> m_items;
    // Id -> index of its last entry, open addressing over a power-of-two table. Built by
    // the first lookup in a long list, kept up to date by appends, and dropped by
    // removals (rebuilt on the next lookup).
    mutable std::vector<Slot> m_index;
    mutable size_t m_indexed = 0;
    // One bit per hashed id, eight bits per index slot: most lookups of an id that is not
    // listed (the common question while a drive is analysed) end here, in a table a
    // hundred times smaller than the index.
    mutable std::vector<uint64_t> m_filter;
};
