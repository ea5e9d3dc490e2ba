#pragma once

#include "recovery/TStateTree.h"

#include <QPixmap>
#include <QTreeView>

#include <array>

class TStateTreeModel;

// A tree view whose nodes carry a check state shown as a state image left of the node's
// icon: 0 blank, 1 empty box, 2 tick, 3 grey tick (-1 and other values: none). The view
// owns its TStateTree, which keeps the states consistent along the tree; a press of any
// mouse button on a state image applies the click rule to the selected node.
class TStateTreeView : public QTreeView
{
    Q_OBJECT

public:
    // Size of a state image and the width of the slot it is drawn in.
    static constexpr int StateImageSize = 16;
    static constexpr int StateSlotWidth = StateImageSize + 3;

    explicit TStateTreeView(QWidget* parent = nullptr);
    ~TStateTreeView() override;

    TStateTree& Tree() { return m_tree; }
    const TStateTree& Tree() const { return m_tree; }
    TStateTreeModel* Model() const { return m_model; }

    bool StateRecursion() const { return m_tree.StateRecursion(); }
    void setStateRecursion(bool value) { m_tree.setStateRecursion(value); }
    int StateIgnore() const { return m_tree.StateIgnore(); }
    void SetStateIgnore(int value) { m_tree.SetStateIgnore(value); }

    // Brackets the adding or removing of nodes: in between the view shows nothing.
    void BeginUpdate();
    void EndUpdate();

    TStateTree::NodeId NodeAt(const QModelIndex& index) const;
    QModelIndex IndexOf(TStateTree::NodeId node) const;
    // The selected node, -1 when none.
    TStateTree::NodeId SelectedNode() const;
    // Where the state image of an index lies, in viewport coordinates (empty when the
    // index is not shown).
    QRect StateImageRect(const QModelIndex& index) const;
    // The picture of a state index (a null pixmap for blank and unknown states).
    QPixmap StateImage(int state) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Applies the click rule when pos lies on a state image and a node is selected.
    bool clickStateImage(const QPoint& pos);
    void renderStateImages();

    TStateTree m_tree;
    TStateTreeModel* m_model;
    std::array<QPixmap, 4> m_stateImages;
};
