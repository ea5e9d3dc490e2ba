#include "mainwindow/ui/TBrowsePane.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "mainwindow/TMainViewRules.h"
#include "mainwindow/ui/TFileListModel.h"
#include "mainwindow/ui/TFilesListView.h"
#include "mainwindow/ui/TFoldersTreeView.h"
#include "mainwindow/ui/TTipsPanel.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Restores the cursor set for a long fill when the scope ends, errors included.
class TCursorGuard
{
public:
    explicit TCursorGuard(bool busy) : m_busy(busy)
    {
        if (m_busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TCursorGuard()
    {
        if (m_busy)
            QApplication::restoreOverrideCursor();
    }
    TCursorGuard(const TCursorGuard&) = delete;
    TCursorGuard& operator=(const TCursorGuard&) = delete;

private:
    bool m_busy;
};

// Suspends repainting of a widget for the scope.
class TUpdatesGuard
{
public:
    explicit TUpdatesGuard(QWidget* widget) : m_widget(widget), m_was(widget->updatesEnabled())
    {
        m_widget->setUpdatesEnabled(false);
    }
    ~TUpdatesGuard() { m_widget->setUpdatesEnabled(m_was); }
    TUpdatesGuard(const TUpdatesGuard&) = delete;
    TUpdatesGuard& operator=(const TUpdatesGuard&) = delete;

private:
    QWidget* m_widget;
    bool m_was;
};

// More children than this show the hourglass while the list fills.
constexpr int HourglassChildren = 1000;
constexpr int FoldersMinWidth = 100;

} // namespace

TBrowsePane::TBrowsePane(QWidget* parent) : QSplitter(Qt::Horizontal, parent)
{
    setObjectName(QStringLiteral("FoldersSplitter"));
    setHandleWidth(4);
    setChildrenCollapsible(false);

    // Not a child of the splitter, which would take it for one of its panes.
    m_addressBar = new QWidget();
    m_addressBar->setObjectName(QStringLiteral("AddressBarPanel"));
    auto* addressLayout = new QHBoxLayout(m_addressBar);
    addressLayout->setContentsMargins(4, 2, 4, 2);
    auto* location = new QLabel(QStringLiteral("Location:"), m_addressBar);
    location->setObjectName(QStringLiteral("AddressLabel"));
    m_address = new QComboBox(m_addressBar);
    m_address->setObjectName(QStringLiteral("AddressComboBox"));
    m_address->setEditable(true);
    m_address->setFrame(false);
    m_address->setFocusPolicy(Qt::ClickFocus); // skipped by the Tab key
    m_address->setInsertPolicy(QComboBox::NoInsert);
    addressLayout->addWidget(location);
    addressLayout->addWidget(m_address, 1);

    m_foldersPanel = new QWidget(this);
    m_foldersPanel->setObjectName(QStringLiteral("FoldersPanel"));
    m_foldersPanel->setMinimumWidth(FoldersMinWidth);
    auto* foldersLayout = new QVBoxLayout(m_foldersPanel);
    foldersLayout->setContentsMargins(0, 0, 0, 0);
    foldersLayout->setSpacing(0);
    auto* foldersHeader = new QHBoxLayout;
    foldersHeader->setContentsMargins(4, 2, 2, 2);
    auto* foldersLabel = new QLabel(QStringLiteral("Folders Tree:"), m_foldersPanel);
    foldersLabel->setObjectName(QStringLiteral("FoldersLabel"));
    auto* foldersClose = new QToolButton(m_foldersPanel);
    foldersClose->setObjectName(QStringLiteral("FoldersCloseButton"));
    foldersClose->setText(QStringLiteral("x"));
    foldersClose->setAutoRaise(true);
    foldersClose->setFocusPolicy(Qt::NoFocus);
    foldersClose->setToolTip(QStringLiteral("Close"));
    foldersClose->setStatusTip(QStringLiteral("Close folders tree panel"));
    connect(foldersClose, &QToolButton::clicked, this, &TBrowsePane::FoldersCloseClicked);
    foldersHeader->addWidget(foldersLabel, 1);
    foldersHeader->addWidget(foldersClose);
    foldersLayout->addLayout(foldersHeader);
    m_tree = new TFoldersTreeView(m_foldersPanel);
    m_tree->setObjectName(QStringLiteral("FoldersTreeView"));
    foldersLayout->addWidget(m_tree, 1);

    auto* filesPanel = new QWidget(this);
    filesPanel->setObjectName(QStringLiteral("FilesPanel"));
    auto* filesLayout = new QVBoxLayout(filesPanel);
    filesLayout->setContentsMargins(0, 0, 0, 0);
    auto* tipsSplitter = new QSplitter(Qt::Vertical, filesPanel);
    m_model = new TFileListModel(this);
    m_list = new TFilesListView(m_model, tipsSplitter);
    m_list->setObjectName(QStringLiteral("FilesListView"));
    m_tips = new TTipsPanel(tipsSplitter, m_list);
    filesLayout->addWidget(tipsSplitter);

    addWidget(m_foldersPanel);
    addWidget(filesPanel);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    setSizes({209, 553});
}

TBrowsePane::~TBrowsePane()
{
    // Still here when the window never placed it among its bars.
    if (m_addressBar && !m_addressBar->parent())
        delete m_addressBar;
}

bool TBrowsePane::FoldersShown() const
{
    return !m_foldersPanel->isHidden();
}

void TBrowsePane::SetFoldersShown(bool shown)
{
    if (shown == FoldersShown())
        return;
    const int width = FoldersWidth();
    m_foldersPanel->setVisible(shown);
    setHandleWidth(shown ? 4 : 0);
    if (shown)
        SetFoldersWidth(width);
    else
        m_hiddenFoldersWidth = width;
}

int TBrowsePane::FoldersWidth() const
{
    return FoldersShown() ? sizes().value(0) : m_hiddenFoldersWidth;
}

void TBrowsePane::SetFoldersWidth(int width)
{
    if (!FoldersShown()) {
        m_hiddenFoldersWidth = width;
        return;
    }
    const QList<int> now = sizes();
    setSizes({width, std::max(now.value(0) + now.value(1) - width, 1)});
}

void TBrowsePane::Clear()
{
    m_tree->clear();
    m_model->Clear();
    m_address->clearEditText();
}

void TBrowsePane::AddDriveTopNode()
{
    if (!CurDisk)
        return;
    QTreeWidgetItem* top = nullptr;
    {
        TUpdatesGuard updates(m_tree);
        top = AddDriveToTree(CurDisk.get(), m_tree);
        if (!top)
            return;
        top->setExpanded(true);
    }
    m_tree->setFocus(Qt::OtherFocusReason);
    m_tree->setCurrentItem(top);
}

void TBrowsePane::Rebuild()
{
    m_tree->clear();
    m_model->Clear();
    m_tree->SetOnlyDeleted(GlobalShowOnlyDeleted);
    if (CurDisk)
        AddDriveTopNode();
}

void TBrowsePane::ShowFolderOf(QTreeWidgetItem* node, bool record)
{
    TBaseElement* element = TFoldersTreeView::ElementOf(node);
    if (!element)
        return;
    if (record && CurDisk)
        CurDisk->MoveHistory.NewFolder(element);
    m_address->setEditText(element->GetPath());

    TUpdatesGuard updates(m_list);
    TCursorGuard cursor(element->GetChildrensCount() > HourglassChildren);
    m_model->SetElements(TMainViewRules::ListedChildren(*element, GlobalShowOnlyDeleted));
    SortList();
    if (m_model->rowCount() > 0)
        m_list->SelectOnly(0);
}

bool TBrowsePane::TryGo(TBaseElement* element)
{
    QTreeWidgetItem* node = m_tree->FindNode(element);
    if (!node)
        return false;
    m_tree->setCurrentItem(node);
    ShowFolderOf(node, false);
    // Shown now: the tree's delayed report would show it again and lose the list's
    // selection, which the caller may set next.
    m_tree->CancelChangeReport();
    m_list->SetFocus();
    node->setExpanded(true);
    return true;
}

void TBrowsePane::ChangeFolder(TBaseElement* element)
{
    {
        TUpdatesGuard treeUpdates(m_tree);
        TUpdatesGuard listUpdates(m_list);
        for (TBaseElement* folder : TMainViewRules::FoldersFromTop(element))
            TryGo(folder);
    }
    // The folder reached is a move in the history (a no-op for a move through it).
    if (CurDisk)
        CurDisk->MoveHistory.NewFolder(m_tree->SelectedElement());
}

void TBrowsePane::SelectElement(TBaseElement* element)
{
    if (!element || !element->Parent || !CurDisk)
        return;
    TUpdatesGuard treeUpdates(m_tree);
    TUpdatesGuard listUpdates(m_list);
    if (element->IsFolder()) {
        ChangeFolder(element);
        CurDisk->MoveHistory.NewFolder(element);
        return;
    }
    ChangeFolder(element->Parent);
    CurDisk->MoveHistory.NewFolder(element->Parent);
    m_list->ClearSelection();
    const int row = m_model->RowOf(element);
    if (row >= 0) {
        m_list->SelectOnly(row);
        m_list->ScrollToRow(row);
    }
}

void TBrowsePane::OpenSelected()
{
    TBaseElement* element = m_model->ElementAt(m_list->SelectedRow());
    if (element && m_tree->FindNode(element))
        ChangeFolder(element);
}

void TBrowsePane::GoUp()
{
    TBaseElement* element = m_tree->SelectedElement();
    if (element && element->Parent && m_tree->FindNode(element->Parent))
        ChangeFolder(element->Parent);
}

void TBrowsePane::SortList()
{
    if (TMainViewRules::ValidColumn(GlobalMainSortColumn))
        m_model->Sort(GlobalMainSortColumn, GlobalMainSortOrderAZ);
}

QList<TBaseElement*> TBrowsePane::SelectedElements() const
{
    QList<TBaseElement*> elements;
    if (m_list->HasFocus()) {
        for (int row : m_list->SelectedRows()) {
            if (TBaseElement* element = m_model->ElementAt(row))
                elements.append(element);
        }
    } else if (TBaseElement* folder = m_tree->SelectedElement()) {
        elements.append(folder);
    }
    return elements;
}
