#include "recovery/ui/TStateTreeView.h"

#include "recovery/ui/TStateTreeModel.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Draws a node's state image in a slot at the left of the item, then the icon and text.
class TStateItemDelegate final : public QStyledItemDelegate
{
public:
    explicit TStateItemDelegate(TStateTreeView* view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QPixmap image = m_view->StateImage(index.data(TStateTreeModel::StateIndexRole).toInt());
        if (!image.isNull()) {
            const int top = option.rect.top() + (option.rect.height() - TStateTreeView::StateImageSize) / 2;
            painter->drawPixmap(option.rect.left() + 1, top, image);
        }
        QStyleOptionViewItem rest(option);
        rest.rect.setLeft(option.rect.left() + TStateTreeView::StateSlotWidth);
        QStyledItemDelegate::paint(painter, rest, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QSize base = QStyledItemDelegate::sizeHint(option, index);
        return QSize(base.width() + TStateTreeView::StateSlotWidth,
                     std::max(base.height(), TStateTreeView::StateImageSize + 2));
    }

private:
    TStateTreeView* m_view;
};

} // namespace

TStateTreeView::TStateTreeView(QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("StateTreeView"));
    m_model = new TStateTreeModel(m_tree, this);
    setModel(m_model);
    setItemDelegate(new TStateItemDelegate(this));
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    renderStateImages();
    m_tree.OnStatesChanged = [this](TStateTree::NodeId first, TStateTree::NodeId last) {
        m_model->StatesChanged(first, last);
        viewport()->update();
    };
}

TStateTreeView::~TStateTreeView()
{
    m_tree.OnStatesChanged = nullptr;
}

void TStateTreeView::BeginUpdate()
{
    m_model->BeginUpdate();
}

void TStateTreeView::EndUpdate()
{
    m_model->EndUpdate();
}

TStateTree::NodeId TStateTreeView::NodeAt(const QModelIndex& index) const
{
    return TStateTreeModel::NodeOf(index);
}

QModelIndex TStateTreeView::IndexOf(TStateTree::NodeId node) const
{
    return m_model->IndexOf(node);
}

TStateTree::NodeId TStateTreeView::SelectedNode() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : NodeAt(selected.first());
}

QRect TStateTreeView::StateImageRect(const QModelIndex& index) const
{
    const QRect item = visualRect(index);
    if (item.isEmpty())
        return QRect();
    return QRect(item.left(), item.top(), StateSlotWidth, item.height());
}

QPixmap TStateTreeView::StateImage(int state) const
{
    return state >= 0 && state < int(m_stateImages.size()) ? m_stateImages[size_t(state)] : QPixmap();
}

void TStateTreeView::renderStateImages()
{
    // Empty box, tick and grey tick are the style's own check box in the off, on and
    // disabled-on states, so they match every other check box of the desktop.
    const qreal ratio = devicePixelRatioF();
    for (int state = 1; state <= 3; ++state) {
        QPixmap image(QSize(StateImageSize, StateImageSize) * ratio);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = QRect(0, 0, StateImageSize, StateImageSize);
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        option.state |= state == 1 ? QStyle::State_Off : QStyle::State_On;
        if (state == 3) {
            option.state &= ~QStyle::State_Enabled;
            option.palette.setCurrentColorGroup(QPalette::Disabled);
        } else {
            option.state |= QStyle::State_Enabled;
        }
        QPainter painter(&image);
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, this);
        m_stateImages[size_t(state)] = image;
    }
}

void TStateTreeView::changeEvent(QEvent* event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange)
        renderStateImages();
}

bool TStateTreeView::clickStateImage(const QPoint& pos)
{
    if (!m_tree.StateRecursion())
        return false;
    const QModelIndex hit = indexAt(pos);
    if (!hit.isValid() || !StateImageRect(hit).contains(pos))
        return false;
    const TStateTree::NodeId selected = SelectedNode();
    if (selected < 0)
        return false;
    m_tree.ClickStateImage(selected);
    return true;
}

void TStateTreeView::mousePressEvent(QMouseEvent* event)
{
    // The view's own handling first: it selects the node under the pointer (with any
    // button), and the click rule then applies to the selected node.
    QTreeView::mousePressEvent(event);
    clickStateImage(event->position().toPoint());
}

void TStateTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click on a state image is a click of its own, not a
    // request to expand the node.
    if (clickStateImage(event->position().toPoint()))
        return;
    QTreeView::mouseDoubleClickEvent(event);
}
