#include "mainwindow/ui/TFoldersTreeView.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "mainwindow/TMainViewRules.h"
#include "periphery/TImageLists.h"

#include <QApplication>
#include <QCollator>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <vector>

TFoldersTreeView::TFoldersTreeView(QWidget* parent) : QTreeWidget(parent), m_changeTimer(new QTimer(this))
{
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setMouseTracking(true); // hot tracking
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setExpandsOnDoubleClick(true);

    m_changeTimer->setSingleShot(true);
    m_changeTimer->setInterval(ChangeDelayMs);
    connect(m_changeTimer, &QTimer::timeout, this, &TFoldersTreeView::SelectionReported);
    connect(this, &QTreeWidget::currentItemChanged, this, &TFoldersTreeView::onCurrentChanged);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!item->data(0, FilledRole).toBool())
            emit Expanding(item);
    });
}

TBaseElement* TFoldersTreeView::ElementOf(const QTreeWidgetItem* item)
{
    if (!item)
        return nullptr;
    return static_cast<TBaseElement*>(item->data(0, ElementRole).value<void*>());
}

TBaseElement* TFoldersTreeView::SelectedElement() const
{
    return ElementOf(currentItem());
}

QTreeWidgetItem* TFoldersTreeView::FindNode(const TBaseElement* element) const
{
    if (!element)
        return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<TFoldersTreeView*>(this)); *it; ++it) {
        if (ElementOf(*it) == element)
            return *it;
    }
    return nullptr;
}

void TFoldersTreeView::applyIcon(QTreeWidgetItem* item)
{
    const QList<QIcon>& images = TImageLists::FileImages();
    const int image = item->data(0, ImageIndexRole).toInt();
    const int selected = item->data(0, SelectedImageIndexRole).toInt();
    QIcon icon;
    if (image >= 0 && image < images.size())
        icon.addPixmap(images.at(image).pixmap(16, 16), QIcon::Normal);
    if (selected >= 0 && selected < images.size())
        icon.addPixmap(images.at(selected).pixmap(16, 16), QIcon::Selected);
    item->setIcon(0, icon);
}

QTreeWidgetItem* TFoldersTreeView::AddNode(QTreeWidgetItem* parent, TBaseElement* element, int image,
                                           int selectedImage)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, element->GetName());
    item->setData(0, ElementRole, QVariant::fromValue(static_cast<void*>(element)));
    item->setData(0, ImageIndexRole, image);
    item->setData(0, SelectedImageIndexRole, selectedImage);
    item->setData(0, FilledRole, false);
    item->setChildIndicatorPolicy(element->SubDirFound() ? QTreeWidgetItem::ShowIndicator
                                                         : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    applyIcon(item);
    return item;
}

void TFoldersTreeView::AddDirToTree(QTreeWidgetItem* node)
{
    TBaseElement* element = ElementOf(node);
    if (!element)
        return;

    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    try {
        qDeleteAll(node->takeChildren());
        std::vector<TBaseElement*> folders;
        for (TBaseElement* child : element->ChildrenFolders) {
            if (child && child->IsFolder() && TMainViewRules::PassesFilter(child->Flags, m_onlyDeleted))
                folders.push_back(child);
        }
        // Sibling nodes in the user's collation order of their texts.
        QCollator collator{QLocale()};
        std::vector<std::pair<QString, TBaseElement*>> named;
        named.reserve(folders.size());
        for (TBaseElement* child : folders)
            named.emplace_back(child->GetName(), child);
        std::stable_sort(named.begin(), named.end(), [&](const auto& a, const auto& b) {
            return collator.compare(a.first, b.first) < 0;
        });
        for (const auto& [name, child] : named) {
            AddNode(node, child, TMainViewRules::TreeImageIndex(child->Flags),
                    TMainViewRules::TreeSelectedImageIndex(child->Flags));
        }
        node->setData(0, FilledRole, true);
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    } catch (...) {
        setUpdatesEnabled(updates);
        throw;
    }
    setUpdatesEnabled(updates);
}

void TFoldersTreeView::ReloadImages()
{
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        applyIcon(*it);
}

void TFoldersTreeView::FlushChangeReport()
{
    if (m_changeTimer->isActive()) {
        m_changeTimer->stop();
        emit SelectionReported();
    }
}

bool TFoldersTreeView::ChangeReportPending() const
{
    return m_changeTimer->isActive();
}

void TFoldersTreeView::CancelChangeReport()
{
    m_changeTimer->stop();
}

void TFoldersTreeView::collapseLeftBehind(QTreeWidgetItem* previous)
{
    QTreeWidgetItem* current = currentItem();
    if (!previous || previous == current)
        return;
    for (QTreeWidgetItem* up = current ? current->parent() : nullptr; up; up = up->parent()) {
        if (up == previous)
            return;
    }
    previous->setExpanded(false);
}

void TFoldersTreeView::onCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    // Single-expand behaviour. A collapse during a click would move the rows under the
    // mouse, and the release would then act on another node than the one pressed.
    if (previous && current && previous != current) {
        if (QApplication::mouseButtons() != Qt::NoButton) {
            if (QTreeWidgetItem* waiting = itemFromIndex(m_leftBehind))
                collapseLeftBehind(waiting);
            m_leftBehind = indexFromItem(previous);
        } else {
            collapseLeftBehind(previous);
        }
    }
    if (current)
        current->setExpanded(true);
    m_changeTimer->start();
}

void TFoldersTreeView::mousePressEvent(QMouseEvent* event)
{
    QTreeWidget::mousePressEvent(event);
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    bool onItem = false;
    if (item) {
        // The icon and the label begin after the indentation and the expand button.
        const QRect rect = visualItemRect(item);
        onItem = event->position().toPoint().x() >= rect.left();
    }
    emit MouseDown(event->button(), onItem);
}

void TFoldersTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (m_leftBehind.isValid()) {
        QTreeWidgetItem* waiting = itemFromIndex(m_leftBehind);
        m_leftBehind = QPersistentModelIndex();
        collapseLeftBehind(waiting);
    }
    if (event->button() == Qt::LeftButton)
        emit Clicked();
}

QTreeWidgetItem* AddDriveToTree(TBaseDisk* disk, TFoldersTreeView* tree)
{
    if (!disk || !disk->RootElement)
        return nullptr;
    return tree->AddNode(nullptr, disk->RootElement, TMainViewRules::imgDrive, TMainViewRules::imgDrive);
}
