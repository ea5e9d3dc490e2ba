#include "mainwindow/ui/TFilesListView.h"

#include "mainwindow/ui/TFileListModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QTreeView>

TFilesListView::TFilesListView(TFileListModel* model, QWidget* parent)
    : QStackedWidget(parent), m_model(model), m_details(new QTreeView(this)), m_icons(new QListView(this))
{
    m_details->setObjectName(QStringLiteral("FilesListViewDetails"));
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->setModel(model);
    m_details->header()->setSectionsClickable(true);
    m_details->header()->setSectionsMovable(false);
    m_details->header()->setStretchLastSection(false);
    m_details->header()->setSortIndicatorShown(false);
    static const int widths[TFileListModel::ColumnCount] = {150, 70, 130, 110, 70, 130};
    for (int c = 0; c < TFileListModel::ColumnCount; ++c)
        m_details->setColumnWidth(c, widths[c]);

    m_icons->setObjectName(QStringLiteral("FilesListViewIcons"));
    m_icons->setModel(model);
    m_icons->setModelColumn(TFileListModel::colName);
    m_icons->setUniformItemSizes(true);
    m_icons->setMovement(QListView::Static);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setWrapping(true);

    // One selection for both views.
    m_selection = m_details->selectionModel();
    m_icons->setSelectionModel(m_selection);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_icons)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, [this] { emit DoubleClicked(); });
        connect(view, &QAbstractItemView::clicked, this, [this] { emit Clicked(); });
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            emit ContextMenuRequested(view->viewport()->mapToGlobal(pos));
        });
    }
    connect(m_details->header(), &QHeaderView::sectionClicked, this, &TFilesListView::ColumnClicked);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, [this] { emit SelectionChanged(); });

    addWidget(m_icons);
    addWidget(m_details);
    SetViewStyle(vsDetails);
}

void TFilesListView::SetViewStyle(int style)
{
    if (style < vsLargeIcons || style > vsDetails)
        style = vsDetails;
    const bool hadFocus = HasFocus();
    m_style = style;
    switch (style) {
    case vsLargeIcons:
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setIconSize(QSize(32, 32));
        m_icons->setGridSize(QSize(96, 64));
        m_icons->setWordWrap(true);
        break;
    case vsSmallIcons:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setIconSize(QSize(16, 16));
        m_icons->setGridSize(QSize(150, 20));
        m_icons->setWordWrap(false);
        break;
    case vsList:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::TopToBottom);
        m_icons->setIconSize(QSize(16, 16));
        m_icons->setGridSize(QSize());
        m_icons->setWordWrap(false);
        break;
    default:
        break;
    }
    // The modes reset some properties; keep the common ones.
    m_icons->setWrapping(true);
    m_icons->setMovement(QListView::Static);
    m_icons->setResizeMode(QListView::Adjust);
    setCurrentWidget(style == vsDetails ? static_cast<QWidget*>(m_details) : static_cast<QWidget*>(m_icons));
    if (hadFocus)
        SetFocus();
}

QAbstractItemView* TFilesListView::currentView() const
{
    if (m_style == vsDetails)
        return m_details;
    return m_icons;
}

bool TFilesListView::HasFocus() const
{
    return m_details->hasFocus() || m_icons->hasFocus() || hasFocus();
}

void TFilesListView::SetFocus()
{
    currentView()->setFocus(Qt::OtherFocusReason);
}

int TFilesListView::SelectedRow() const
{
    const QList<int> rows = SelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

QList<int> TFilesListView::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_selection->selectedRows(TFileListModel::colName))
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFilesListView::SelectOnly(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid()) {
        m_selection->clearSelection();
        return;
    }
    m_selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TFilesListView::ClearSelection()
{
    m_selection->clearSelection();
}

void TFilesListView::ScrollToRow(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    if (index.isValid())
        currentView()->scrollTo(index, QAbstractItemView::EnsureVisible);
}

void TFilesListView::SetColumnWidth(int column, int width)
{
    m_details->setColumnWidth(column, width);
}

int TFilesListView::ColumnWidth(int column) const
{
    return m_details->columnWidth(column);
}

bool TFilesListView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_details || watched == m_icons)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                emit EnterPressed();
                return true;
            }
            if (key->key() == Qt::Key_Backspace) {
                emit BackspacePressed();
                return true;
            }
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}
