#pragma once

#include "recovery/TStateTree.h"

#include <QAbstractItemModel>

#include <vector>

// Item model over a TStateTree: one row per node, one column, the node's text, its
// element icon and its state index. The model does not own the tree. While the tree is
// being filled the model stands detached (no rows), so a view never sees a tree that is
// half way through a change it has not been told about.
class TStateTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    // The node's state index (int).
    static constexpr int StateIndexRole = Qt::UserRole + 1;
    // The node's image index (int).
    static constexpr int ImageIndexRole = Qt::UserRole + 2;

    explicit TStateTreeModel(TStateTree& tree, QObject* parent = nullptr);

    // Detaches the model before nodes are added or removed; EndUpdate shows the tree as it
    // then is.
    void BeginUpdate();
    void EndUpdate();
    bool IsUpdating() const { return m_updating; }

    // Announces that the states of the nodes first..last (ids) changed.
    void StatesChanged(TStateTree::NodeId first, TStateTree::NodeId last);

    QModelIndex IndexOf(TStateTree::NodeId node) const;
    // The node of an index, -1 for an invalid one.
    static TStateTree::NodeId NodeOf(const QModelIndex& index);

    // The icon of an element image index (0 file, 1 deleted file, 2 folder, 3 folder
    // containing deleted elements, 4 deleted folder); null when the images are missing.
    static QIcon ElementIcon(int imageIndex);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // Ranges longer than this are announced as a change of everything shown.
    static constexpr int32_t PerNodeAnnounceLimit = 256;

    void rebuildRows();

    TStateTree& m_tree;
    // Row of every node below its parent, by node id.
    std::vector<int32_t> m_rows;
    bool m_updating = false;
};
