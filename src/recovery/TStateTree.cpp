#include "recovery/TStateTree.h"

#include "disk/TBaseElement.h"

#include <utility>

namespace {

// Switches propagation off for the lifetime of the guard and always back on after it,
// also when a step throws.
class TRecursionOff
{
public:
    explicit TRecursionOff(bool& flag) : m_flag(flag) { m_flag = false; }
    ~TRecursionOff() { m_flag = true; }
    TRecursionOff(const TRecursionOff&) = delete;
    TRecursionOff& operator=(const TRecursionOff&) = delete;

private:
    bool& m_flag;
};

} // namespace

TStateTree::NodeId TStateTree::AddNode(NodeId parent, const QString& text, TBaseElement* data, int imageIndex,
                                       int stateIndex)
{
    const NodeId id = NodeId(m_nodes.size());
    TNode node;
    node.parent = parent;
    node.text = text;
    node.data = data;
    node.imageIndex = imageIndex;
    std::vector<NodeId>& siblings = parent < 0 ? m_roots : m_nodes[size_t(parent)].children;
    node.indexInParent = int32_t(siblings.size());
    siblings.push_back(id);
    m_nodes.push_back(std::move(node));
    if (parent >= 0)
        count(m_nodes[size_t(parent)].counts, -1, +1);
    if (stateIndex != -1)
        SetStateIndex(id, stateIndex);
    return id;
}

void TStateTree::Clear()
{
    m_nodes.clear();
    m_roots.clear();
    m_changedFirst = m_changedLast = -1;
}

void TStateTree::count(TCounts& counts, int state, int delta)
{
    switch (state) {
    case -1:
    case 1:
        counts.unticked += delta;
        break;
    case 2:
        counts.ticked += delta;
        break;
    case 3:
        counts.grey += delta;
        break;
    default:
        break; // other values take no part in the upward rule
    }
}

int TStateTree::combined(const TCounts& counts)
{
    const bool unticked = counts.unticked > 0;
    const bool ticked = counts.ticked > 0;
    const bool grey = counts.grey > 0;
    if (unticked && !ticked && !grey)
        return 1;
    if (ticked && !unticked && !grey)
        return 2;
    return 3;
}

void TStateTree::setRaw(NodeId node, int state)
{
    TNode& n = m_nodes[size_t(node)];
    if (n.state == state)
        return;
    if (n.parent >= 0) {
        TCounts& counts = m_nodes[size_t(n.parent)].counts;
        count(counts, n.state, -1);
        count(counts, state, +1);
    }
    n.state = state;
    if (m_changedFirst < 0 || node < m_changedFirst)
        m_changedFirst = node;
    if (node > m_changedLast)
        m_changedLast = node;
}

void TStateTree::flushChanges()
{
    if (m_changedFirst < 0)
        return;
    const NodeId first = std::exchange(m_changedFirst, -1);
    const NodeId last = std::exchange(m_changedLast, -1);
    if (OnStatesChanged)
        OnStatesChanged(first, last);
}

void TStateTree::SetStateIndex(NodeId node, int state)
{
    setRaw(node, state);
    // Every assignment of 1 or 2 propagates, also when the value was already there.
    if (m_stateRecursion && (state == 1 || state == 2))
        propagate(node);
    flushChanges();
}

void TStateTree::ClickStateImage(NodeId node)
{
    if (!m_stateRecursion)
        return;
    int state = StateIndex(node) + 1;
    if (state > 2)
        state = 1;
    SetStateIndex(node, state);
}

void TStateTree::propogateState(NodeId node)
{
    propagate(node);
    flushChanges();
}

void TStateTree::propogateStateDown(NodeId node)
{
    propagateDown(node);
    flushChanges();
}

void TStateTree::propogateStateUp(NodeId node)
{
    propagateUp(node);
    flushChanges();
}

void TStateTree::syncState(NodeId node)
{
    sync(node);
    flushChanges();
}

void TStateTree::propagate(NodeId node)
{
    TRecursionOff off(m_stateRecursion);
    propagateDown(node);
    const NodeId parent = Parent(node);
    if (parent >= 0)
        propagateUp(parent);
}

void TStateTree::propagateDown(NodeId node)
{
    if (StateIndex(node) == m_stateIgnore)
        return;
    // Every node on the stack holds its parent's state, which is not the ignored one.
    std::vector<NodeId> stack{node};
    while (!stack.empty()) {
        const NodeId current = stack.back();
        stack.pop_back();
        const int state = StateIndex(current);
        for (const NodeId child : m_nodes[size_t(current)].children) {
            const int childState = StateIndex(child);
            // A child that already holds the state keeps its branch as it is; an ignored
            // child is left alone with its branch.
            if (childState == state || childState == m_stateIgnore)
                continue;
            setRaw(child, state);
            if (!m_nodes[size_t(child)].children.empty())
                stack.push_back(child);
        }
    }
}

void TStateTree::propagateUp(NodeId node)
{
    for (NodeId current = node; current >= 0; current = Parent(current)) {
        if (StateIndex(current) == m_stateIgnore)
            break; // nothing above an ignored node changes either
        setRaw(current, combined(m_nodes[size_t(current)].counts));
    }
}

void TStateTree::sync(NodeId node)
{
    if (node < 0)
        return;
    // Depth first from node over its following siblings: a stack of (parent, next index).
    std::vector<std::pair<NodeId, size_t>> stack{{Parent(node), size_t(m_nodes[size_t(node)].indexInParent)}};
    while (!stack.empty()) {
        auto& [parent, index] = stack.back();
        const std::vector<NodeId>& siblings = Children(parent);
        if (index >= siblings.size()) {
            stack.pop_back();
            continue;
        }
        const NodeId current = siblings[index++];
        const int state = StateIndex(current);
        if (state == m_stateIgnore)
            continue;
        if (state == 2) {
            propagate(current);
            continue;
        }
        if (state == -1)
            setRaw(current, 1);
        if (!m_nodes[size_t(current)].children.empty())
            stack.emplace_back(current, 0);
    }
}

void TStateTree::setStateRecursion(bool value)
{
    if (value == m_stateRecursion)
        return;
    m_stateRecursion = value;
    if (value && !m_roots.empty())
        syncState(m_roots.front());
}

std::vector<TStateTree::NodeId> TStateTree::IndexOrder() const
{
    std::vector<NodeId> order;
    order.reserve(m_nodes.size());
    std::vector<std::pair<NodeId, size_t>> stack{{-1, 0}};
    while (!stack.empty()) {
        auto& [parent, index] = stack.back();
        const std::vector<NodeId>& children = Children(parent);
        if (index >= children.size()) {
            stack.pop_back();
            continue;
        }
        const NodeId current = children[index++];
        order.push_back(current);
        if (!m_nodes[size_t(current)].children.empty())
            stack.emplace_back(current, 0);
    }
    return order;
}

void TStateTree::assignAll(const std::function<int(NodeId)>& value)
{
    const std::vector<NodeId> order = IndexOrder();
    if (!m_stateRecursion) {
        for (const NodeId node : order)
            setRaw(node, value(node));
    } else if (m_stateIgnore < 1 || m_stateIgnore > 3) {
        // Assigned in index order, each node propagates. Once assigned, a node only ever
        // holds 1, 2 or 3, so with an ignored value outside these no upward step is ever
        // stopped, and the downward steps only touch nodes that are assigned later
        // anyway. The last upward step through a node comes from its last descendant,
        // when all its children hold their end states: a node ends with its own value
        // when it has no children, else with the combination of its children's end
        // states. Computed bottom-up in one pass.
        for (const NodeId node : order) {
            if (m_nodes[size_t(node)].children.empty())
                setRaw(node, value(node));
        }
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            if (!m_nodes[size_t(*it)].children.empty())
                setRaw(*it, combined(m_nodes[size_t(*it)].counts));
        }
    } else {
        // An ignored value that propagation itself produces: a node can become a barrier
        // half-way, so the assignments are replayed one by one (O(depth) each).
        for (const NodeId node : order) {
            const int state = value(node);
            setRaw(node, state);
            if (state == 1 || state == 2)
                propagate(node);
        }
    }
    flushChanges();
}

void TStateTree::CheckAll()
{
    assignAll([](NodeId) { return 2; });
}

void TStateTree::UncheckAll()
{
    assignAll([](NodeId) { return 1; });
}

void TStateTree::CheckIntactOnly()
{
    assignAll([this](NodeId node) {
        const TBaseElement* e = Data(node);
        return e && !e->IsFolder() && e->IsDeleted() && TRecoverability::IsIntact(e->Recovery) ? 2 : 1;
    });
}

void TStateTree::CheckDeletedOnly()
{
    assignAll([this](NodeId node) {
        const int image = ImageIndex(node);
        return image == 1 || image == 4 ? 2 : 1;
    });
}
