#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class TBaseElement;

// The model behind a tri-state check tree: nodes with text, element, image index and a
// state index (-1 new, 0 blank, 1 unticked, 2 ticked, 3 grey), kept consistent along the
// tree while StateRecursion is on. Ticking or unticking a node ticks or unticks its
// branch, and every ancestor shows ticked, unticked or grey according to its children.
// A node whose state equals StateIgnore, with its branch, is neither changed nor looked
// at by propagation.
//
// Nodes live in flat vectors; a node's id is its index in creation order. The wizard
// appends nodes depth-first (a folder, then its sub-folders with their content, then its
// files), so creation order is the tree's index order. Every node keeps the number of
// its children per state class, so recomputing an ancestor costs O(1) and a change costs
// O(depth), never a rescan of the siblings.
class TStateTree
{
public:
    using NodeId = int32_t; // -1 = none

    TStateTree() = default;
    TStateTree(const TStateTree&) = delete;
    TStateTree& operator=(const TStateTree&) = delete;

    // Adds a node as the last child of parent (-1: a root node). The node starts in state
    // -1; a stateIndex other than -1 is then assigned as by SetStateIndex.
    NodeId AddNode(NodeId parent, const QString& text, TBaseElement* data, int imageIndex, int stateIndex);
    void Clear();
    int32_t Count() const { return int32_t(m_nodes.size()); }
    NodeId Parent(NodeId node) const { return m_nodes[size_t(node)].parent; }
    // In order; Children(-1) = root nodes.
    const std::vector<NodeId>& Children(NodeId node) const
    {
        return node < 0 ? m_roots : m_nodes[size_t(node)].children;
    }
    const QString& Text(NodeId node) const { return m_nodes[size_t(node)].text; }
    TBaseElement* Data(NodeId node) const { return m_nodes[size_t(node)].data; }
    int ImageIndex(NodeId node) const { return m_nodes[size_t(node)].imageIndex; }
    int StateIndex(NodeId node) const { return m_nodes[size_t(node)].state; }

    // Assigning a state is the public way to tick or untick; propagation follows as for a
    // click (when StateRecursion is on and the new value is 1 or 2).
    void SetStateIndex(NodeId node, int state);
    // The mouse rule on the state image: old + 1, or 1 above 2. Nothing while
    // StateRecursion is off.
    void ClickStateImage(NodeId node);

    bool StateRecursion() const { return m_stateRecursion; }
    // Switching on re-synchronises the whole tree; switching off stops all propagation.
    void setStateRecursion(bool value);
    int StateIgnore() const { return m_stateIgnore; }
    // Only stores the value; the tree is not touched.
    void SetStateIgnore(int value) { m_stateIgnore = value; }

    // The wizard's three selection buttons, with the same end result as assigning every
    // node in index order.
    void CheckAll();
    void UncheckAll();
    void CheckDeletedOnly(); // 2 for image index 1 or 4, else 1
    // 2 for deleted files whose data the analysis found intact, else 1.
    void CheckIntactOnly();

    // The propagation steps, public for callers that drive them directly.
    void propogateState(NodeId node);
    void propogateStateDown(NodeId node);
    void propogateStateUp(NodeId node);
    // Re-synchronises node and all its following siblings with their branches.
    void syncState(NodeId node);

    // All nodes in index order: depth first, parent before children.
    std::vector<NodeId> IndexOrder() const;

    // Called after states change, with the lowest and highest node id whose state changed
    // (a view repaints that range; -1,-1 = nothing); set by the view.
    std::function<void(NodeId first, NodeId last)> OnStatesChanged;

private:
    // Children of a node per state class, as the upward rule sees them.
    struct TCounts
    {
        int32_t unticked = 0; // -1 or 1
        int32_t ticked = 0;   // 2
        int32_t grey = 0;     // 3
    };

    struct TNode
    {
        NodeId parent = -1;
        int32_t indexInParent = 0;
        int state = -1;
        int imageIndex = 0;
        TBaseElement* data = nullptr;
        QString text;
        std::vector<NodeId> children;
        TCounts counts;
    };

    // Sets a node's state without any propagation, keeping the parent's counts.
    void setRaw(NodeId node, int state);
    static void count(TCounts& counts, int state, int delta);
    // The upward rule's result for a node's current children.
    static int combined(const TCounts& counts);
    // Assigns one value per node in index order, as a series of SetStateIndex would.
    void assignAll(const std::function<int(NodeId)>& value);
    // The propagation steps without reporting the changed range.
    void propagate(NodeId node);
    void propagateDown(NodeId node);
    void propagateUp(NodeId node);
    void sync(NodeId node);
    // Reports the changed range gathered since the last call, if any.
    void flushChanges();

    std::vector<TNode> m_nodes;
    std::vector<NodeId> m_roots;
    bool m_stateRecursion = false;
    int m_stateIgnore = 0;
    NodeId m_changedFirst = -1;
    NodeId m_changedLast = -1;
};
