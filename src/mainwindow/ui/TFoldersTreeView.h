#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>

class QTimer;

class TBaseDisk;
class TBaseElement;

// The folder tree of the main window: the drive's top node and, filled when a node is
// first expanded, the sub-folders of each folder. Every node carries its element.
// Selecting a node expands it and collapses the node selected before (unless that one
// is above the new one); a change of the selected node is reported 50 ms later. While a
// mouse button is held the collapse waits for its release, so the rows never move under
// the mouse between the press and the release of one click.
class TFoldersTreeView : public QTreeWidget
{
    Q_OBJECT

public:
    enum Role
    {
        ElementRole = Qt::UserRole + 1,
        ImageIndexRole,
        SelectedImageIndexRole,
        FilledRole
    };

    // Delay between a change of the selected node and its report.
    static constexpr int ChangeDelayMs = 50;

    explicit TFoldersTreeView(QWidget* parent = nullptr);

    static TBaseElement* ElementOf(const QTreeWidgetItem* item);
    // The element of the selected node, nil when none.
    TBaseElement* SelectedElement() const;
    // The first node, in tree order from the top, that carries the element.
    QTreeWidgetItem* FindNode(const TBaseElement* element) const;

    // Adds a node for a folder element under parent (nil: at the top) with the given
    // images; it shows an expand button when the element has sub-folders.
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, TBaseElement* element, int image, int selectedImage);
    // Fills a node with the sub-folders of its element that pass the deleted-only filter,
    // sorted by name. Throws what the element model throws.
    void AddDirToTree(QTreeWidgetItem* node);

    // The deleted-only filter applied when nodes are filled.
    void SetOnlyDeleted(bool onlyDeleted) { m_onlyDeleted = onlyDeleted; }

    // Reloads node images from the image list.
    void ReloadImages();
    // Runs the pending change report now (it is otherwise run by the timer).
    void FlushChangeReport();
    // Drops the pending change report, for a caller that has just shown the node itself.
    void CancelChangeReport();
    bool ChangeReportPending() const;

signals:
    // The selected node changed (reported ChangeDelayMs after the change).
    void SelectionReported();
    // A mouse button was pressed (after the tree handled it); onItem: on a node's icon or label.
    void MouseDown(Qt::MouseButton button, bool onItem);
    // A left click was released over the tree.
    void Clicked();
    // A node is being expanded for the first time; the receiver fills it.
    void Expanding(QTreeWidgetItem* node);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void onCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void applyIcon(QTreeWidgetItem* item);
    // Collapses the node left behind unless it lies above the selected node.
    void collapseLeftBehind(QTreeWidgetItem* previous);

    QTimer* m_changeTimer;
    // The node left behind during a mouse press, collapsed at the release.
    QPersistentModelIndex m_leftBehind;
    bool m_onlyDeleted = false;
};

// Adds the drive's top node: the display name of its top element, image 0, an expand
// button when the top element has sub-folders, collapsed.
QTreeWidgetItem* AddDriveToTree(TBaseDisk* disk, TFoldersTreeView* tree);
