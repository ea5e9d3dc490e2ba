#pragma once

#include <QList>
#include <QPointer>
#include <QSplitter>

class QComboBox;
class QTreeWidgetItem;
class TBaseElement;
class TFileListModel;
class TFilesListView;
class TFoldersTreeView;
class TTipsPanel;

// The drive browser of the main window: the folder tree beside the file list (with the
// tips panel under it), and the address bar that names the folder in view. It moves
// between folders of the open drive (CurDisk) and keeps the drive's history; the window
// that holds it decides what is enabled and when.
class TBrowsePane : public QSplitter
{
    Q_OBJECT

public:
    explicit TBrowsePane(QWidget* parent);
    ~TBrowsePane() override;

    TFoldersTreeView* Tree() const { return m_tree; }
    TFilesListView* List() const { return m_list; }
    TFileListModel* Model() const { return m_model; }
    TTipsPanel* Tips() const { return m_tips; }
    QComboBox* Address() const { return m_address; }
    // The address bar; the window puts it with its other bars.
    QWidget* AddressBar() const { return m_addressBar.data(); }

    bool FoldersShown() const;
    void SetFoldersShown(bool shown);
    // The folder panel's width; while it is hidden, the width it comes back with.
    int FoldersWidth() const;
    void SetFoldersWidth(int width);

    // Empties tree, list and address.
    void Clear();
    // Shows the open drive's top node, expanded and selected.
    void AddDriveTopNode();
    // Builds the tree again (after the deleted-only filter changed).
    void Rebuild();

    // Lists the folder of a tree node; `record` makes it a move in the history.
    void ShowFolderOf(QTreeWidgetItem* node, bool record);
    // Selects the node of an element and lists it; false when the tree has no node for it.
    bool TryGo(TBaseElement* element);
    // Opens every folder from the top down to the element and records the move.
    void ChangeFolder(TBaseElement* element);
    // Goes to an element: a folder is opened, a file is selected in its folder's list.
    void SelectElement(TBaseElement* element);
    // Opens the folder selected in the list; goes to the parent of the folder in view.
    void OpenSelected();
    void GoUp();
    void SortList();

    // The list's selected elements in list order when it has the focus, else the tree's
    // selected folder.
    QList<TBaseElement*> SelectedElements() const;

signals:
    void FoldersCloseClicked();

private:
    TFoldersTreeView* m_tree = nullptr;
    TFilesListView* m_list = nullptr;
    TFileListModel* m_model = nullptr;
    TTipsPanel* m_tips = nullptr;
    QWidget* m_foldersPanel = nullptr;
    int m_hiddenFoldersWidth = 209; // while the folder panel is hidden
    QPointer<QWidget> m_addressBar;
    QComboBox* m_address = nullptr;
};
