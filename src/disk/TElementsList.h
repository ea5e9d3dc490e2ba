#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
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

    void buildIndex() const;

    std::vector<TBaseElement*> m_items;
    // Id -> index of its last entry. Built by the first lookup in a long list, kept up
    // to date by appends, and dropped by removals (rebuilt on the next lookup).
    mutable std::unique_ptr<std::unordered_map<int64_t, int32_t>> m_index;
};
