#pragma once

#include "util/TOverride.h"
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolButton;
class QTreeWidgetItem;
class TBaseElement;
class TBrowsePane;
class TFileListModel;
class TFilesListView;
class TFoldersTreeView;
class TMainCommands;
class TMainLayout;
class TRegistryStore;
class TTipsPanel;

// The main window: menu bar and tool bars, address bar, folder tree, file list, tips
// panel and status bar over the open drive (CurDisk). Handlers keep the names of the
// commands and events they serve and call CheckState after each change.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // Answers the drive selection in place of its modal window while a scope of it lasts:
    // the engine id of the chosen drive or -1; the full-scan choice goes in and out.
    using TSelectDiskDriveAnswer =
        TOverride<struct TSelectDiskDriveTag, std::function<int(QWidget* parent, bool& fullScan)>>;
    // Work done on the first activation besides the start-up action (restoring the
    // layout, showing the next tip); runs before the start-up action.
    using TFirstActivation = TOverride<struct TFirstActivationTag, std::function<void(TMainForm& form)>>;

    // Runs FormCreate.
    explicit TMainForm(QWidget* parent = nullptr);
    // Runs FormDestroy: closes the drive, saves the settings.
    ~TMainForm() override;

    // Fields.
    int LastColumn = -1;
    bool IsFirstActivation = true;
    int DriveId = -1;
    char DriveChar = '?';

    // Lifecycle and state.
    void FormActivate();
    void CheckState();
    void StartScan(int ADriveId, bool AFullScan);
    bool IsScanning() const { return m_scanning; }
    // Saves the settings; a failure is told to the user. Run when the window is destroyed,
    // which is when the program ends.
    bool SaveAllSettings();
    // The window layout: written with the other settings at exit, read on the first
    // activation. A read stops at the first missing or unusable value.
    void RegWritePosition(TRegistryStore& store) const;
    void RegReadPosition(const TRegistryStore& store);
    TMainLayout CurrentLayout() const;
    void ShowHint(const QString& hint);

    // Browsing.
    void FoldersTreeViewClick(bool fromTryGo = false);
    void FoldersTreeViewExpanding(QTreeWidgetItem* node);
    void FoldersTreeViewMouseDown(Qt::MouseButton button, bool onItem);
    void FilesListViewDblClick();
    void FilesListViewKeyDown(int key);
    void tbUpClick();
    void ChangeFolder(TBaseElement* element);
    void TryGo(TBaseElement* element);
    void SelectElementInLIst(TBaseElement* element);

    // Sorting and view styles.
    void FilesListViewColumnClick(int column);
    void SetViewStyle(int style);
    void tbViewStyleClick();
    void ToolbarViewStylePopupMenuPopup();

    // History.
    void tbBackClick();
    void tbForwardClick();

    // Command handlers.
    void actDriveSelectDriveExecute();
    void actDriveCloseExecute();
    void actDriveFindFileExecute();
    void actDriveInfoExecute();
    void actDriveSearchDataExecute();
    void actDriveExitExecute();
    void actFileRecoverExecute();
    void actFilePropertiesExecute();
    void actFileViewExecute();
    void actFileViewAsTextExecute();
    void actFileViewAsHexExecute();
    void actViewToolBarExecute();
    void actViewAddressBarExecute();
    void actViewStatusBarExecute();
    void actViewFoldersExecute();
    void actViewTipsExecute();
    void actViewOnlyDeletedExecute();
    void actOptionsPreferencesExecute();
    void actHelpContentsExecute();
    void actHelpRecoveryGuideExecute();
    void actHelpSearchForHelpOnExecute();
    void actHelpHomepageExecute();
    void actHelpAboutExecute();

    // The element the file-related commands act on: the file list's selected rows in
    // list order when the list has the focus, else the tree's selected folder.
    QList<TBaseElement*> SelectedElements() const;

    TMainCommands& Commands() const { return *m_commands; }
    TFoldersTreeView* FoldersTreeView() const { return m_tree; }
    TFilesListView* FilesListView() const { return m_list; }
    TFileListModel* FilesModel() const { return m_model; }
    QComboBox* AddressComboBox() const;
    TTipsPanel* TipsPanel() const;

    // The tips panel's height; 1 while it is hidden.
    int TipsPanelHeight() const;
    void SetTipsPanelHeight(int height);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildLayout();
    void connectCommands();
    void applyStartupSettings();
    // Applies the first `count` values of a stored layout.
    void applyLayout(const TMainLayout& layout, int count);
    void updateSortChecks();
    // Opens the file viewer on the file list's selected element in a view mode.
    void openViewer(int mode);

    std::unique_ptr<TMainCommands> m_commands;
    QWidget* m_topBars = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QWidget* m_toolBarPanel = nullptr;
    TBrowsePane* m_pane = nullptr;
    // The pane's views, at hand for the handlers.
    TFoldersTreeView* m_tree = nullptr;
    TFileListModel* m_model = nullptr;
    TFilesListView* m_list = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QMenu* m_filesPopup = nullptr;
    QMenu* m_foldersPopup = nullptr;
    QMenu* m_toolbarPopup = nullptr;

    bool m_scanning = false;
};

// The one main window, while it exists.
extern TMainForm* MainForm;
