#include "recovery/ui/TStateTreeModel.h"

#include "disk/TBaseElement.h"
#include "mainwindow/TMainViewRules.h"

#include "periphery/TImageLists.h"

#include <QIcon>

#include <iterator>

TStateTreeModel::TStateTreeModel(TStateTree& tree, QObject* parent) : QAbstractItemModel(parent), m_tree(tree)
{
    rebuildRows();
}

void TStateTreeModel::BeginUpdate()
{
    if (m_updating)
        return;
    beginResetModel();
    m_updating = true;
    m_rows.clear();
    endResetModel();
}

void TStateTreeModel::EndUpdate()
{
    if (!m_updating)
        return;
    beginResetModel();
    m_updating = false;
    rebuildRows();
    endResetModel();
}

void TStateTreeModel::rebuildRows()
{
    m_rows.assign(size_t(m_tree.Count()), 0);
    auto number = [this](const std::vector<TStateTree::NodeId>& children) {
        for (size_t row = 0; row < children.size(); ++row)
            m_rows[size_t(children[row])] = int32_t(row);
    };
    number(m_tree.Children(-1));
    for (TStateTree::NodeId node = 0; node < m_tree.Count(); ++node)
        number(m_tree.Children(node));
}

void TStateTreeModel::StatesChanged(TStateTree::NodeId first, TStateTree::NodeId last)
{
    if (m_updating || first < 0 || last < first || last >= TStateTree::NodeId(m_rows.size()))
        return;
    const QList<int> roles{StateIndexRole};
    if (last - first < PerNodeAnnounceLimit) {
        for (TStateTree::NodeId node = first; node <= last; ++node) {
            const QModelIndex at = IndexOf(node);
            emit dataChanged(at, at, roles);
        }
        return;
    }
    // A bulk change (a selection button on a large tree): one announcement over the
    // root rows, which makes a view repaint everything it shows.
    const int roots = int(m_tree.Children(-1).size());
    if (roots > 0)
        emit dataChanged(index(0, 0), index(roots - 1, 0), roles);
}

QModelIndex TStateTreeModel::IndexOf(TStateTree::NodeId node) const
{
    if (m_updating || node < 0 || node >= TStateTree::NodeId(m_rows.size()))
        return QModelIndex();
    return createIndex(m_rows[size_t(node)], 0, quintptr(node));
}

TStateTree::NodeId TStateTreeModel::NodeOf(const QModelIndex& index)
{
    return index.isValid() ? TStateTree::NodeId(index.internalId()) : -1;
}

QIcon TStateTreeModel::ElementIcon(int imageIndex)
{
    if (imageIndex < 0 || imageIndex > static_cast<int>(TElementKind::DeletedFolder))
        return QIcon();
    return TImageLists::FileIcon(TMainViewRules::KindImageIndex(static_cast<TElementKind>(imageIndex)));
}

QModelIndex TStateTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (m_updating || column != 0 || row < 0)
        return QModelIndex();
    const TStateTree::NodeId parentNode = NodeOf(parent);
    const std::vector<TStateTree::NodeId>& children = m_tree.Children(parentNode);
    if (size_t(row) >= children.size())
        return QModelIndex();
    return createIndex(row, 0, quintptr(children[size_t(row)]));
}

QModelIndex TStateTreeModel::parent(const QModelIndex& child) const
{
    if (m_updating || !child.isValid())
        return QModelIndex();
    return IndexOf(m_tree.Parent(NodeOf(child)));
}

int TStateTreeModel::rowCount(const QModelIndex& parent) const
{
    if (m_updating || parent.column() > 0)
        return 0;
    return int(m_tree.Children(NodeOf(parent)).size());
}

int TStateTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool TStateTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant TStateTreeModel::data(const QModelIndex& index, int role) const
{
    if (m_updating || !index.isValid())
        return QVariant();
    const TStateTree::NodeId node = NodeOf(index);
    switch (role) {
    case Qt::DisplayRole: {
        // A deleted file shows how intact its data is beside its name.
        const TBaseElement* e = m_tree.Data(node);
        if (e && !e->IsFolder() && e->Recovery != TRecoverability::Rating::None)
            return m_tree.Text(node) + QStringLiteral("  \u2014 ") + e->GetRecoveryShortText();
        return m_tree.Text(node);
    }
    case Qt::ToolTipRole: {
        const TBaseElement* e = m_tree.Data(node);
        if (e && !e->IsFolder() && e->Recovery != TRecoverability::Rating::None)
            return m_tree.Text(node) + QLatin1Char('\n') + e->GetRecoveryText();
        return m_tree.Text(node);
    }
    case Qt::DecorationRole:
        return ElementIcon(m_tree.ImageIndex(node));
    case StateIndexRole:
        return m_tree.StateIndex(node);
    case ImageIndexRole:
        return m_tree.ImageIndex(node);
    default:
        return QVariant();
    }
}

Qt::ItemFlags TStateTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_tree.Children(NodeOf(index)).empty())
        result |= Qt::ItemNeverHasChildren;
    return result;
}
