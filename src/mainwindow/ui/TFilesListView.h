#pragma once

#include <QStackedWidget>

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QTreeView;
class TFileListModel;

// The file list of the main window in its four view styles: large icons, small icons
// and list are one icon view in three modes, details is a table with a header. Both
// views show the same model and share one selection, so switching keeps the rows
// selected. Enter and Backspace are reported, not acted upon.
class TFilesListView : public QStackedWidget
{
    Q_OBJECT

public:
    enum ViewStyle
    {
        vsLargeIcons = 0,
        vsSmallIcons = 1,
        vsList = 2,
        vsDetails = 3
    };

    explicit TFilesListView(TFileListModel* model, QWidget* parent = nullptr);

    void SetViewStyle(int style);
    int GetViewStyle() const { return m_style; }

    TFileListModel* model() const { return m_model; }
    QItemSelectionModel* selectionModel() const { return m_selection; }
    QTreeView* detailsView() const { return m_details; }
    QListView* iconView() const { return m_icons; }
    QAbstractItemView* currentView() const;

    // True when the focus is in either view.
    bool HasFocus() const;
    void SetFocus();
    // The first selected row in row order, -1 when none.
    int SelectedRow() const;
    QList<int> SelectedRows() const;
    void SelectOnly(int row);
    void ClearSelection();
    void ScrollToRow(int row);

    void SetColumnWidth(int column, int width);
    int ColumnWidth(int column) const;

signals:
    void ColumnClicked(int column);
    void DoubleClicked();
    void EnterPressed();
    void BackspacePressed();
    void Clicked();
    void SelectionChanged();
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TFileListModel* m_model;
    QTreeView* m_details;
    QListView* m_icons;
    QItemSelectionModel* m_selection;
    int m_style = vsDetails;
};
