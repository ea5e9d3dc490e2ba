#include "recovery/TStateTree.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using NodeId = TStateTree::NodeId;

// The check-tree rules written out the slow, literal way: recursion over the tree and
// a rescan of the children at every upward step. The real model must agree with it.
class TReferenceTree
{
public:
    int add(int parent, int image, int state)
    {
        const int id = int(m_state.size());
        m_parent.push_back(parent);
        m_children.emplace_back();
        m_state.push_back(-1);
        m_image.push_back(image);
        (parent < 0 ? m_roots : m_children[size_t(parent)]).push_back(id);
        if (state != -1)
            set(id, state);
        return id;
    }
    void set(int node, int state)
    {
        m_state[size_t(node)] = state;
        if (m_recursion && (state == 1 || state == 2))
            propagate(node);
    }
    void click(int node)
    {
        if (!m_recursion)
            return;
        int state = m_state[size_t(node)] + 1;
        set(node, state > 2 ? 1 : state);
    }
    void setRecursion(bool value)
    {
        if (value == m_recursion)
            return;
        m_recursion = value;
        if (value && !m_roots.empty())
            sync(m_roots, 0);
    }
    void setIgnore(int value) { m_ignore = value; }
    void assignAll(int mode)
    {
        std::vector<int> order;
        preorder(m_roots, order);
        for (const int node : order) {
            int value = mode == 0 ? 2 : 1;
            if (mode == 2)
                value = m_image[size_t(node)] == 1 || m_image[size_t(node)] == 4 ? 2 : 1;
            set(node, value);
        }
    }
    std::vector<int> order() const
    {
        std::vector<int> result;
        preorder(m_roots, result);
        return result;
    }
    const std::vector<int>& states() const { return m_state; }

private:
    void propagate(int node)
    {
        m_recursion = false;
        down(node);
        if (m_parent[size_t(node)] >= 0)
            up(m_parent[size_t(node)]);
        m_recursion = true;
    }
    void down(int node)
    {
        const int state = m_state[size_t(node)];
        if (state == m_ignore)
            return;
        for (const int child : m_children[size_t(node)]) {
            if (m_state[size_t(child)] == state)
                continue;
            if (m_state[size_t(child)] != m_ignore)
                m_state[size_t(child)] = state;
            down(child);
        }
    }
    void up(int node)
    {
        if (m_state[size_t(node)] == m_ignore)
            return;
        bool unticked = false, ticked = false, grey = false;
        for (const int child : m_children[size_t(node)]) {
            const int s = m_state[size_t(child)];
            unticked |= s == -1 || s == 1;
            ticked |= s == 2;
            grey |= s == 3;
        }
        m_state[size_t(node)] = unticked && !ticked && !grey ? 1 : ticked && !unticked && !grey ? 2 : 3;
        if (m_parent[size_t(node)] >= 0)
            up(m_parent[size_t(node)]);
    }
    void sync(const std::vector<int>& siblings, size_t from)
    {
        for (size_t i = from; i < siblings.size(); ++i) {
            const int node = siblings[i];
            if (m_state[size_t(node)] == m_ignore)
                continue;
            if (m_state[size_t(node)] == 2) {
                propagate(node);
                continue;
            }
            if (m_state[size_t(node)] == -1)
                m_state[size_t(node)] = 1;
            sync(m_children[size_t(node)], 0);
        }
    }
    void preorder(const std::vector<int>& nodes, std::vector<int>& out) const
    {
        for (const int node : nodes) {
            out.push_back(node);
            preorder(m_children[size_t(node)], out);
        }
    }

    std::vector<int> m_parent;
    std::vector<std::vector<int>> m_children;
    std::vector<int> m_roots;
    std::vector<int> m_state;
    std::vector<int> m_image;
    bool m_recursion = false;
    int m_ignore = 0;
};

std::vector<int> statesOf(const TStateTree& tree)
{
    std::vector<int> states;
    for (NodeId node = 0; node < tree.Count(); ++node)
        states.push_back(tree.StateIndex(node));
    return states;
}

// A folder tree the way the wizard builds it: root, two folders with files, one empty.
//   0 root(2)
//     1 docs(2)      2 a.txt(0)  3 b.txt(1 deleted)
//     4 old(4 deleted, empty)
//     5 c.txt(0)
struct TSmallTree
{
    TStateTree tree;
    TSmallTree(bool recursion = true)
    {
        tree.setStateRecursion(recursion);
        tree.AddNode(-1, QStringLiteral("root"), nullptr, 2, 2);
        tree.AddNode(0, QStringLiteral("docs"), nullptr, 3, 2);
        tree.AddNode(1, QStringLiteral("a.txt"), nullptr, 0, 2);
        tree.AddNode(1, QStringLiteral("b.txt"), nullptr, 1, 2);
        tree.AddNode(0, QStringLiteral("old"), nullptr, 4, 2);
        tree.AddNode(0, QStringLiteral("c.txt"), nullptr, 0, 2);
    }
};

} // namespace

TEST(StateTree, TickingAndUntickingReachesTheWholeBranchAndEveryAncestor)
{
    TSmallTree t;
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{2, 2, 2, 2, 2, 2}));

    t.tree.SetStateIndex(2, 1); // one of two files unticked: its folder and the root turn grey
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{3, 3, 1, 2, 2, 2}));
    t.tree.SetStateIndex(3, 1); // the last ticked file unticked: the folder is unticked
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{3, 1, 1, 1, 2, 2}));

    t.tree.SetStateIndex(0, 1); // the root unticks everything
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{1, 1, 1, 1, 1, 1}));
    t.tree.SetStateIndex(2, 2);
    t.tree.SetStateIndex(3, 2);
    t.tree.SetStateIndex(4, 2);
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{3, 2, 2, 2, 2, 1}));
    t.tree.SetStateIndex(5, 2); // the last unticked child ticks the root
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{2, 2, 2, 2, 2, 2}));
}

TEST(StateTree, AssignmentsThatDoNotPropagate)
{
    TSmallTree t;
    t.tree.SetStateIndex(1, 3); // grey by program changes only that node
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{2, 3, 2, 2, 2, 2}));
    t.tree.SetStateIndex(1, 0);
    t.tree.SetStateIndex(1, -1);
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{2, -1, 2, 2, 2, 2}));

    TSmallTree off(false);
    EXPECT_EQ(statesOf(off.tree), (std::vector<int>{2, 2, 2, 2, 2, 2}));
    off.tree.SetStateIndex(0, 1);
    off.tree.ClickStateImage(2); // the mouse does nothing while propagation is off
    EXPECT_EQ(statesOf(off.tree), (std::vector<int>{1, 2, 2, 2, 2, 2}));
}

TEST(StateTree, IgnoredNodesNeitherChangeNorCount)
{
    TSmallTree t;
    t.tree.SetStateIndex(3, 0); // the default ignored value, assigned without propagation
    t.tree.SetStateIndex(0, 1);
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{1, 1, 1, 0, 1, 1}));
    t.tree.SetStateIndex(2, 2); // one ticked child and one ignored child: ticked
    EXPECT_EQ(t.tree.StateIndex(1), 2);

    // An ignored ancestor stops the upward rule: nothing above it changes.
    TSmallTree a;
    a.tree.SetStateIndex(1, 0);
    a.tree.SetStateIndex(2, 1);
    EXPECT_EQ(statesOf(a.tree), (std::vector<int>{2, 0, 1, 2, 2, 2}));
    // And the downward rule does not enter it.
    a.tree.SetStateIndex(0, 1);
    EXPECT_EQ(statesOf(a.tree), (std::vector<int>{1, 0, 1, 2, 1, 1}));
}

TEST(StateTree, ChildHoldingTheStateKeepsItsBranch)
{
    TStateTree tree;
    tree.setStateRecursion(true);
    tree.AddNode(-1, QStringLiteral("r"), nullptr, 2, 1);
    tree.AddNode(0, QStringLiteral("f"), nullptr, 2, -1);
    tree.AddNode(1, QStringLiteral("x"), nullptr, 0, -1);
    tree.SetStateIndex(0, 2);
    EXPECT_EQ(statesOf(tree), (std::vector<int>{2, 2, 2}));
    // Made inconsistent by program: the folder is ticked, its file is not.
    tree.setStateRecursion(false);
    tree.SetStateIndex(2, 1);
    tree.setStateRecursion(true); // resync from the ticked root: the folder already holds 2
    EXPECT_EQ(statesOf(tree), (std::vector<int>{2, 2, 1}));
}

TEST(StateTree, MouseRuleAndResynchronisation)
{
    TSmallTree t;
    t.tree.SetStateIndex(2, 1);
    ASSERT_EQ(t.tree.StateIndex(1), 3);
    t.tree.ClickStateImage(1); // grey becomes unticked, with its branch
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{3, 1, 1, 1, 2, 2}));
    t.tree.ClickStateImage(1);
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{2, 2, 2, 2, 2, 2}));
    t.tree.ClickStateImage(1);
    EXPECT_EQ(t.tree.StateIndex(1), 1);
    t.tree.SetStateIndex(5, -1);
    t.tree.ClickStateImage(5); // -1 becomes the blank 0, which propagates nothing
    EXPECT_EQ(t.tree.StateIndex(5), 0);
    t.tree.ClickStateImage(5);
    EXPECT_EQ(t.tree.StateIndex(5), 1);

    // New nodes without a state turn unticked when propagation is switched on.
    TStateTree fresh;
    fresh.AddNode(-1, QStringLiteral("r"), nullptr, 2, -1);
    fresh.AddNode(0, QStringLiteral("a"), nullptr, 0, -1);
    fresh.AddNode(0, QStringLiteral("b"), nullptr, 0, 2);
    fresh.setStateRecursion(true);
    EXPECT_EQ(statesOf(fresh), (std::vector<int>{3, 1, 2}));
}

TEST(StateTree, SelectionButtons)
{
    TSmallTree t;
    t.tree.CheckDeletedOnly(); // a live folder with a deleted file is grey; an empty deleted folder ticked
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{3, 3, 1, 2, 2, 1}));
    const std::vector<int> initial = statesOf(t.tree);
    t.tree.CheckAll();
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{2, 2, 2, 2, 2, 2}));
    t.tree.CheckDeletedOnly();
    EXPECT_EQ(statesOf(t.tree), initial);
    t.tree.UncheckAll();
    EXPECT_EQ(statesOf(t.tree), (std::vector<int>{1, 1, 1, 1, 1, 1}));
}

TEST(StateTree, ReportsTheRangeOfChangedNodes)
{
    TSmallTree t;
    std::vector<std::pair<NodeId, NodeId>> reports;
    t.tree.OnStatesChanged = [&](NodeId first, NodeId last) { reports.emplace_back(first, last); };
    t.tree.SetStateIndex(3, 1);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], (std::pair<NodeId, NodeId>{0, 3}));
    reports.clear();
    t.tree.SetStateIndex(3, 1); // nothing changes: no report
    EXPECT_TRUE(reports.empty());
    t.tree.CheckAll();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], (std::pair<NodeId, NodeId>{0, 3}));
}

// Random trees, random initial states, ignored values and operations: after every
// operation the model holds exactly the states of the literal reference.
TEST(StateTree, AgreesWithTheLiteralRulesOnRandomTrees)
{
    const int ignoredValues[] = {0, -1, 1, 2, 3, 7};
    const int states[] = {-1, 0, 1, 2, 3};
    for (unsigned seed = 1; seed <= 600; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return int(random() % unsigned(n)); };
        TStateTree tree;
        TReferenceTree reference;
        const int ignore = ignoredValues[pick(6)];
        tree.SetStateIgnore(ignore);
        reference.setIgnore(ignore);
        const bool recursion = pick(3) != 0;
        tree.setStateRecursion(recursion);
        reference.setRecursion(recursion);

        // Half the trees are built depth-first like the wizard's, half with random parents,
        // so creation order and index order differ.
        const int count = 1 + pick(seed % 10 == 0 ? 300 : 40);
        const bool depthFirst = seed % 2 == 0;
        std::vector<int> path;
        for (int i = 0; i < count; ++i) {
            int parent = -1;
            if (depthFirst) {
                path.resize(size_t(pick(int(path.size()) + 1)));
                parent = path.empty() ? -1 : path.back();
            } else if (i > 0 && pick(8) != 0) {
                parent = pick(i);
            }
            const int image = pick(5);
            const int state = pick(4) == 0 ? states[pick(5)] : 2;
            const NodeId id = tree.AddNode(parent, QString(), nullptr, image, state);
            ASSERT_EQ(id, reference.add(parent, image, state));
            path.push_back(id);
        }
        ASSERT_EQ(statesOf(tree), reference.states()) << "seed " << seed << " after building";
        std::vector<NodeId> order = tree.IndexOrder();
        ASSERT_EQ(std::vector<int>(order.begin(), order.end()), reference.order());

        for (int step = 0; step < 25; ++step) {
            const int node = pick(count);
            switch (pick(8)) {
            case 0:
            case 1: {
                const int state = states[pick(5)];
                tree.SetStateIndex(node, state);
                reference.set(node, state);
                break;
            }
            case 2:
                tree.ClickStateImage(node);
                reference.click(node);
                break;
            case 3: {
                const bool value = pick(2) == 0;
                tree.setStateRecursion(value);
                reference.setRecursion(value);
                break;
            }
            case 4:
                tree.CheckAll();
                reference.assignAll(0);
                break;
            case 5:
                tree.UncheckAll();
                reference.assignAll(1);
                break;
            case 6:
                tree.CheckDeletedOnly();
                reference.assignAll(2);
                break;
            default: {
                const int value = ignoredValues[pick(6)];
                tree.SetStateIgnore(value);
                reference.setIgnore(value);
                break;
            }
            }
            ASSERT_EQ(statesOf(tree), reference.states()) << "seed " << seed << " step " << step;
        }
    }
}
