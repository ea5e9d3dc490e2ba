#pragma once

#include <cstddef>
#include <vector>

class TBaseElement;

// Storage for all elements of one drive. Elements are built in large blocks instead of
// one heap allocation each, which saves the allocator's per-block overhead on millions
// of elements; all of them are destroyed together with the pool.
class TElementPool
{
public:
    TElementPool() = default;
    ~TElementPool();
    TElementPool(const TElementPool&) = delete;
    TElementPool& operator=(const TElementPool&) = delete;

    // A new element in its initial state, owned by the pool.
    TBaseElement* Create();
    // Number of elements created.
    size_t Count() const { return m_count; }
    // The element's place in the order of creation (0 .. Count() - 1), or Count() when
    // this pool did not create it. Lets a pass over a drive mark elements in a bitmap.
    size_t IndexOf(const TBaseElement* element) const;
    // The element at index (below Count()), in constant time: blocks grow by a fixed
    // rule, so the index alone names its block.
    TBaseElement* At(size_t index) const;

private:
    // Elements of chunk k in use, from the fixed rule and the count.
    size_t usedIn(size_t chunk) const;

    // The chunks' items; a chunk's size and first index follow from its place.
    std::vector<TBaseElement*> m_chunks;
    size_t m_count = 0;
    // The chunks' places in m_chunks, by the address of their items.
    std::vector<size_t> m_byAddress;
};
