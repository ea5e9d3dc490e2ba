#include "mainwindow/ui/TMainForm.h"

#include "settings/Messages.h"
#include "settings/ui/LanguageForms.h"
#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/ui/TDiskSelectForm.h"
#include "disk/ui/TDrivePropertiesForm.h"
#include "disk/ui/TScanDiskForm.h"
#include "mainwindow/ui/TBrowsePane.h"
#include "mainwindow/ui/TFileListModel.h"
#include "mainwindow/ui/TFilesListView.h"
#include "mainwindow/ui/TFoldersTreeView.h"
#include "mainwindow/ui/TMainCommands.h"
#include "mainwindow/ui/TTipsPanel.h"
#include "mainwindow/TMainLayout.h"
#include "mainwindow/TMainViewRules.h"
#include "periphery/TAboutForm.h"
#include "periphery/THelpWindow.h"
#include "periphery/TImageLists.h"
#include "recovery/ui/TRecoveryForm.h"
#include "search/ui/TFileFindForm.h"
#include "settings/Settings.h"
#include "settings/ui/TPrefsForm.h"
#include "settings/TRegistryStore.h"
#include "util/TUserPrompt.h"
#include "util/Utils.h"
#include "viewers/ui/TFilePropertiesForm.h"
#include "viewers/ui/TFileViewerForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

TMainForm* MainForm = nullptr;

// ---- Creation and destruction -----------------------------------------------------

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    MainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Brevant Pro"));
    setStatusTip(QStringLiteral("Press F1 for help"));
    setProperty("HelpKeyword", QStringLiteral("/files/basics.contents.html"));
    resize(766, 577);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // The images come first: every control built below takes its icons from them.
    if (!TImageLists::LoadApplicationImages())
        throw std::runtime_error("Application images were not loaded.");

    m_commands = std::make_unique<TMainCommands>(this);
    buildLayout();
    connectCommands();

    if (!VerInfoProductName.isEmpty())
        setWindowTitle(VerInfoProductName + QStringLiteral(" v. ") + VerInfoProductVersion);
    applyStartupSettings();

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now->window() == this)
            CheckState();
    });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] {
        if (TImageLists::LoadApplicationImages()) {
            m_commands->ApplyImages();
            m_model->ReloadImages();
            m_tree->ReloadImages();
        }
    });
    IsFirstActivation = true;
    CheckState();
    // The chosen language replaces the built-in texts.
    UpdateLanguage(this);
}

TMainForm::~TMainForm()
{
    // FormDestroy. The help window ends with the main window.
    delete THelpWindow::Instance(false);
    m_tree->clear();
    m_model->Clear();
    CloseCurDisk();
    SaveAllSettings();
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::buildLayout()
{
    TMainCommands& c = *m_commands;

    // Top bars: menu bar, tool bars, address bar.
    m_pane = new TBrowsePane(this);
    const TMainCommands::TTopBars bars = c.BuildTopBars(this, m_pane->AddressBar());
    m_topBars = bars.Panel;
    m_menuBar = bars.MenuBar;
    m_toolBarPanel = bars.ToolBarPanel;
    setMenuWidget(m_topBars);

    m_toolbarPopup = c.BuildToolbarPopupMenu(this);
    m_topBars->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_topBars, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_toolbarPopup->popup(m_topBars->mapToGlobal(pos)); });

    // Left: the folder tree; centre: the file list over the tips panel.
    m_tree = m_pane->Tree();
    m_list = m_pane->List();
    m_model = m_pane->Model();
    connect(m_pane, &TBrowsePane::FoldersCloseClicked, this, &TMainForm::actViewFoldersExecute);
    connect(m_pane->Tips(), &TTipsPanel::CloseClicked, this, [this] { m_commands->actViewTips->trigger(); });
    connect(m_pane->Tips(), &TTipsPanel::HelpContentsClicked, this, &TMainForm::actHelpContentsExecute);
    setCentralWidget(m_pane);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    setStatusBar(m_statusBar);

    m_filesPopup = c.BuildElementPopupMenu(this, QStringLiteral("FilesPopupMenu"), true);
    m_foldersPopup = c.BuildElementPopupMenu(this, QStringLiteral("FoldersPopupMenu"), false);
}

void TMainForm::connectCommands()
{
    m_commands->ConnectTo(*this);
    connect(m_tree, &TFoldersTreeView::SelectionReported, this, [this] { FoldersTreeViewClick(false); });
    connect(m_tree, &TFoldersTreeView::Clicked, this, [this] { FoldersTreeViewClick(false); });
    connect(m_tree, &TFoldersTreeView::Expanding, this, &TMainForm::FoldersTreeViewExpanding);
    connect(m_tree, &TFoldersTreeView::MouseDown, this, &TMainForm::FoldersTreeViewMouseDown);
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QTreeWidgetItem* item = m_tree->itemAt(pos))
            m_tree->setCurrentItem(item);
        CheckState();
        m_foldersPopup->popup(m_tree->viewport()->mapToGlobal(pos));
    });

    connect(m_list, &TFilesListView::ColumnClicked, this, &TMainForm::FilesListViewColumnClick);
    connect(m_list, &TFilesListView::DoubleClicked, this, &TMainForm::FilesListViewDblClick);
    connect(m_list, &TFilesListView::EnterPressed, this, [this] { FilesListViewKeyDown(Qt::Key_Return); });
    connect(m_list, &TFilesListView::BackspacePressed, this,
            [this] { FilesListViewKeyDown(Qt::Key_Backspace); });
    connect(m_list, &TFilesListView::Clicked, this, &TMainForm::CheckState);
    connect(m_list, &TFilesListView::SelectionChanged, this, &TMainForm::CheckState);
    connect(m_list, &TFilesListView::ContextMenuRequested, this, [this](const QPoint& globalPos) {
        CheckState();
        m_filesPopup->popup(globalPos);
    });
}

void TMainForm::applyStartupSettings()
{
    TMainCommands& c = *m_commands;
    // A stored sort column outside the five columns falls back to Name.
    if (!TMainViewRules::ValidColumn(GlobalMainSortColumn))
        GlobalMainSortColumn = 0;
    int style = GlobalMainViewStyle;
    if (style < 0 || style >= TMainViewRules::ViewStyleCount)
        style = TFilesListView::vsDetails;
    SetViewStyle(style);
    c.actViewOnlyDeleted->setChecked(GlobalShowOnlyDeleted);
    m_tree->SetOnlyDeleted(GlobalShowOnlyDeleted);
    m_model->SetSortMark(GlobalMainSortColumn, GlobalMainSortOrderAZ);
    LastColumn = GlobalMainSortColumn;
    updateSortChecks();
}

void TMainForm::updateSortChecks()
{
    TMainCommands& c = *m_commands;
    (GlobalMainSortOrderAZ ? c.actViewArrangeIconsByAZ : c.actViewArrangeIconsByZA)->setChecked(true);
    const QList<QAction*> columns = c.sortColumnActions();
    if (TMainViewRules::ValidColumn(GlobalMainSortColumn))
        columns[GlobalMainSortColumn]->setChecked(true);
}

bool TMainForm::SaveAllSettings()
{
    TRegistryStore store;
    // A window closed before its first activation never read the stored layout; writing
    // its initial one would throw the user's layout away.
    if (!IsFirstActivation)
        RegWritePosition(store);
    if (RegSettingsWrite(store))
        return true;
    TUserPrompt::Current().ShowError(Messages::SettingsNotSaved.Text().arg(
        QDir::toNativeSeparators(store.StoreFilePath()), store.ErrorString()));
    return false;
}

// ---- Activation, hints, closing -----------------------------------------------------

bool TMainForm::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    if (event->type() == QEvent::WindowActivate && IsFirstActivation) {
        // Run after the activation is delivered: the start-up action may open a dialog.
        QTimer::singleShot(0, this, &TMainForm::FormActivate);
    }
    return QMainWindow::event(event);
}

void TMainForm::ShowHint(const QString& hint)
{
    const QString text = TMainViewRules::LongHint(hint);
    m_statusBar->showMessage(text.isEmpty() ? statusTip() : text);
}

void TMainForm::FormActivate()
{
    if (!IsFirstActivation)
        return;
    IsFirstActivation = false;
    RegReadPosition(TRegistryStore());
    m_pane->Tips()->TipsMenuNextClick();
    if (const auto& firstActivation = TFirstActivation::Get())
        firstActivation(*this);
    if (GlobalStartupDefaultAction == sdaSelectDisk)
        actDriveSelectDriveExecute();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // A running analysis still uses this window; it has to end (Cancel) first.
    if (m_scanning) {
        event->ignore();
        return;
    }
    if (GlobalConfirmExit &&
        !TUserPrompt::Current().Confirm(Messages::QuitQuestion.Text(), TUserPrompt::Buttons::YesNo)) {
        event->ignore();
        return;
    }
    // The help window closes with the main window, so the program ends with it.
    if (THelpWindow* help = THelpWindow::Instance(false))
        help->close();
    event->accept();
}

// ---- State ---------------------------------------------------------------------------

void TMainForm::CheckState()
{
    TMainViewRules::TStateInput in;
    in.DriveOpen = CurDisk != nullptr;
    in.ListFocusedOnElement = m_list->HasFocus() && m_model->ElementAt(m_list->SelectedRow()) != nullptr;
    TBaseElement* node = m_tree->SelectedElement();
    in.TreeFocusedOnElement = m_tree->hasFocus() && node != nullptr;
    if (CurDisk) {
        in.BackAvailable = !CurDisk->MoveHistory.BackElements.IsEmpty();
        in.ForwardAvailable = !CurDisk->MoveHistory.ForwardElements.IsEmpty();
    }
    in.TreeNodeHasElement = node != nullptr;
    if (node && node->Parent) {
        in.ElementHasParent = true;
        in.ParentIsTopRoot = node->Parent->TrueID == 5 && node->Parent->TrueParentID == -1;
    }
    const TMainViewRules::TState s = TMainViewRules::ComputeState(in);

    m_commands->ApplyState(s);
    m_tree->setEnabled(s.DriveCommands);
    m_list->setEnabled(s.DriveCommands);
}

// ---- Opening and closing a drive -----------------------------------------------------

void TMainForm::actDriveSelectDriveExecute()
{
    if (m_scanning)
        return;
    bool fullScan = GlobalRecoveryFull;
    const auto& answer = TSelectDiskDriveAnswer::Get();
    const int id = answer ? answer(this, fullScan) : SelectDiskDrive(fullScan);
    if (id != -1) {
        GlobalRecoveryFull = fullScan;
        StartScan(id, fullScan);
    }
    CheckState();
}

void TMainForm::actDriveCloseExecute()
{
    if (m_scanning)
        return;
    m_pane->Clear();
    CloseCurDisk();
    CheckState();
}

void TMainForm::StartScan(int ADriveId, bool AFullScan)
{
    if (m_scanning)
        return;
    DriveId = ADriveId;
    DriveChar = GetDriveLetterById(ADriveId);
    m_pane->Clear();
    m_menuBar->setEnabled(false);
    m_toolBarPanel->setEnabled(false);
    m_scanning = true;
    if (AnalyzeDrive(ADriveId, DriveChar, AFullScan, this))
        m_pane->AddDriveTopNode();
    m_scanning = false;
    // The scan window had the activation; the main window takes it back.
    activateWindow();
    m_menuBar->setEnabled(true);
    m_toolBarPanel->setEnabled(true);
    CheckState();
}

// ---- Browsing ------------------------------------------------------------------------

void TMainForm::FoldersTreeViewClick(bool fromTryGo)
{
    m_pane->ShowFolderOf(m_tree->currentItem(), !fromTryGo);
    CheckState();
}

void TMainForm::FoldersTreeViewExpanding(QTreeWidgetItem* node)
{
    try {
        m_tree->AddDirToTree(node);
    } catch (const std::exception& e) {
        node->setExpanded(false);
        TUserPrompt::Current().ShowError(QStringLiteral("Error: ") + QString::fromUtf8(e.what()));
    }
}

void TMainForm::FoldersTreeViewMouseDown(Qt::MouseButton button, bool onItem)
{
    if (button == Qt::LeftButton && onItem) {
        if (QTreeWidgetItem* item = m_tree->currentItem())
            item->setExpanded(true);
    }
    CheckState();
}

void TMainForm::FilesListViewDblClick()
{
    m_pane->OpenSelected();
    CheckState();
}

void TMainForm::FilesListViewKeyDown(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        FilesListViewDblClick();
    else if (key == Qt::Key_Backspace)
        tbUpClick();
}

void TMainForm::tbUpClick()
{
    m_pane->GoUp();
    CheckState();
}

void TMainForm::ChangeFolder(TBaseElement* element)
{
    m_pane->ChangeFolder(element);
    CheckState();
}

void TMainForm::TryGo(TBaseElement* element)
{
    m_pane->TryGo(element);
    CheckState();
}

void TMainForm::SelectElementInLIst(TBaseElement* element)
{
    m_pane->SelectElement(element);
    CheckState();
}

QList<TBaseElement*> TMainForm::SelectedElements() const
{
    return m_pane->SelectedElements();
}

void TMainForm::actViewOnlyDeletedExecute()
{
    GlobalShowOnlyDeleted = !GlobalShowOnlyDeleted;
    m_commands->actViewOnlyDeleted->setChecked(GlobalShowOnlyDeleted);
    m_pane->Rebuild();
    CheckState();
}

// ---- Sorting and view styles -----------------------------------------------------------

void TMainForm::FilesListViewColumnClick(int column)
{
    if (!TMainViewRules::ValidColumn(column))
        return;
    TMainViewRules::ApplyColumnClick(column, LastColumn, GlobalMainSortColumn, GlobalMainSortOrderAZ);
    m_pane->SortList();
    m_model->SetSortMark(GlobalMainSortColumn, GlobalMainSortOrderAZ);
    updateSortChecks();
    CheckState();
}

void TMainForm::SetViewStyle(int style)
{
    m_list->SetViewStyle(style);
    GlobalMainViewStyle = static_cast<decltype(GlobalMainViewStyle)>(m_list->GetViewStyle());
    m_commands->viewStyleActions().at(m_list->GetViewStyle())->setChecked(true);
}

void TMainForm::tbViewStyleClick()
{
    SetViewStyle(TMainViewRules::NextViewStyle(m_list->GetViewStyle()));
}

void TMainForm::ToolbarViewStylePopupMenuPopup()
{
    m_commands->ViewStyleMenuItems.at(m_list->GetViewStyle())->setChecked(true);
}

// ---- History ---------------------------------------------------------------------------

void TMainForm::tbBackClick()
{
    if (CurDisk) {
        if (TBaseElement* element = CurDisk->MoveHistory.MoveBack())
            ChangeFolder(element);
    }
}

void TMainForm::tbForwardClick()
{
    if (CurDisk) {
        if (TBaseElement* element = CurDisk->MoveHistory.MoveForward())
            ChangeFolder(element);
    }
}

// ---- Bars and panels -------------------------------------------------------------------

void TMainForm::actViewToolBarExecute()
{
    m_toolBarPanel->setVisible(m_toolBarPanel->isHidden());
    m_commands->actViewToolBar->setChecked(!m_toolBarPanel->isHidden());
}

void TMainForm::actViewAddressBarExecute()
{
    QWidget* bar = m_pane->AddressBar();
    bar->setVisible(bar->isHidden());
    m_commands->actViewAddressBar->setChecked(!bar->isHidden());
}

void TMainForm::actViewStatusBarExecute()
{
    m_statusBar->setVisible(m_statusBar->isHidden());
    m_commands->actViewStatusBar->setChecked(!m_statusBar->isHidden());
}

void TMainForm::actViewFoldersExecute()
{
    m_pane->SetFoldersShown(!m_pane->FoldersShown());
    m_commands->actViewFolders->setChecked(m_pane->FoldersShown());
    CheckState();
}

void TMainForm::SetTipsPanelHeight(int height)
{
    m_pane->Tips()->SetHeight(height);
}

void TMainForm::actViewTipsExecute()
{
    m_commands->actViewTips->setChecked(m_pane->Tips()->Toggle());
}

// ---- Layout ----------------------------------------------------------------------------

TMainLayout TMainForm::CurrentLayout() const
{
    TMainLayout layout;
    if (isMinimized()) {
        layout.WindowShowCmd = TMainLayout::swShowMinimized;
        if (windowState() & Qt::WindowMaximized)
            layout.WindowFlags = TMainLayout::wpfRestoreToMaximized;
    } else if (isMaximized()) {
        layout.WindowShowCmd = TMainLayout::swShowMaximized;
    }
    const QRect normal = normalGeometry();
    layout.SetNormalRect(normal.isValid() ? normal : geometry());
    layout.MenuBarVisible = !m_menuBar->isHidden();
    layout.ToolBarVisible = !m_toolBarPanel->isHidden();
    layout.AddressBarVisible = !m_pane->AddressBar()->isHidden();
    layout.FoldersPanelSize = m_pane->FoldersWidth();
    layout.FoldersPanelVisible = m_pane->FoldersShown();
    for (int c = 0; c < TMainLayout::ColumnCount; ++c)
        layout.ColumnWidths[size_t(c)] = m_list->ColumnWidth(c);
    layout.TipsPanelSize = TipsPanelHeight();
    layout.TipsPanelVisible = !m_pane->Tips()->isHidden();
    layout.StatusBarVisible = !m_statusBar->isHidden();
    return layout;
}

void TMainForm::RegWritePosition(TRegistryStore& store) const
{
    CurrentLayout().Write(store);
}

void TMainForm::RegReadPosition(const TRegistryStore& store)
{
    TMainLayout layout = CurrentLayout();
    const int count = layout.Read(store);
    applyLayout(layout, count);
}

void TMainForm::applyLayout(const TMainLayout& layout, int count)
{
    using L = TMainLayout;
    TMainCommands& c = *m_commands;
    if (L::Reached(count, L::vNormalBottom)) {
        // The screen the window was on may have gone since.
        QList<QRect> screens;
        QScreen* primary = QGuiApplication::primaryScreen();
        if (primary)
            screens << primary->availableGeometry();
        for (QScreen* screen : QGuiApplication::screens())
            if (screen != primary)
                screens << screen->availableGeometry();
        const QRect rect = L::OnVisibleScreen(layout.NormalRect(), screens);
        if (rect.isValid()) {
            setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
            setGeometry(rect);
        }
        // A window closed minimised comes back as it was before it was minimised.
        if (layout.RestoresMaximized())
            setWindowState(windowState() | Qt::WindowMaximized);
    }
    if (L::Reached(count, L::vMenuBarVisible) && !layout.MenuBarVisible)
        c.actViewMenuBar->trigger();
    if (L::Reached(count, L::vToolBarVisible) && !layout.ToolBarVisible && !m_toolBarPanel->isHidden())
        actViewToolBarExecute();
    if (L::Reached(count, L::vAddressBarVisible) && !layout.AddressBarVisible &&
        !m_pane->AddressBar()->isHidden())
        actViewAddressBarExecute();
    if (L::Reached(count, L::vFoldersPanelSize))
        m_pane->SetFoldersWidth(std::max(layout.FoldersPanelSize, 1));
    if (L::Reached(count, L::vFoldersPanelVisible) && !layout.FoldersPanelVisible && m_pane->FoldersShown())
        actViewFoldersExecute();
    for (int col = 0; col < L::ColumnCount; ++col) {
        const auto value = col < 5 ? L::TValue(L::vColumnName + col) : L::vColumnRecovery;
        if (L::Reached(count, value))
            m_list->SetColumnWidth(col, std::max(layout.ColumnWidths[size_t(col)], 1));
    }
    if (L::Reached(count, L::vTipsPanelSize)) {
        SetTipsPanelHeight(std::max(layout.TipsPanelSize, 1));
        // A panel stored hidden (one pixel high) shows the command unchecked.
        c.actViewTips->setChecked(TipsPanelHeight() > 1);
    }
    if (L::Reached(count, L::vTipsPanelVisible) && !layout.TipsPanelVisible && TipsPanelHeight() > 1)
        actViewTipsExecute();
    if (L::Reached(count, L::vStatusBarVisible) && !layout.StatusBarVisible && !m_statusBar->isHidden())
        actViewStatusBarExecute();
}

// ---- Other commands ----------------------------------------------------------------------

void TMainForm::actDriveFindFileExecute()
{
    if (TBaseElement* element = FindFile(this))
        SelectElementInLIst(element);
    CheckState();
}

void TMainForm::actDriveInfoExecute()
{
    if (CurDisk)
        ShowDriveProperties(this);
    CheckState();
}

void TMainForm::actDriveSearchDataExecute()
{
    ExecuteProgram(GetProgramDir() + QStringLiteral("TollmarkPro.exe"), QString(), false);
}

void TMainForm::actDriveExitExecute()
{
    close();
}

void TMainForm::actFileRecoverExecute()
{
    const QList<TBaseElement*> selected = SelectedElements();
    if (!selected.isEmpty()) {
        TElementsList elements;
        for (TBaseElement* element : selected)
            elements.SetItem(element);
        StartRecoveryWizard(elements, this);
    }
    CheckState();
}

void TMainForm::actFilePropertiesExecute()
{
    const QList<TBaseElement*> elements = SelectedElements();
    if (!elements.isEmpty())
        ShowFileProperties(elements.first(), this);
    CheckState();
}

void TMainForm::openViewer(int mode)
{
    // The viewer shows the file list's selected element, whatever the focus did since.
    if (TBaseElement* element = m_model->ElementAt(FilesListView()->SelectedRow()))
        OpenFileView(TFileViewMode(mode), element, this);
    CheckState();
}

void TMainForm::actFileViewExecute()
{
    openViewer(fvmNative);
}

void TMainForm::actFileViewAsTextExecute()
{
    openViewer(fvmText);
}

void TMainForm::actFileViewAsHexExecute()
{
    openViewer(fvmHEX);
}

void TMainForm::actOptionsPreferencesExecute()
{
    OpenPreferences(this);
}

void TMainForm::actHelpContentsExecute()
{
    ShowHelpPage(QStringLiteral("/files/basics.contents.html"), this);
}

void TMainForm::actHelpRecoveryGuideExecute()
{
    ShowHelpPage(QStringLiteral("/files/basics.quickstart.html"), this);
}

void TMainForm::actHelpSearchForHelpOnExecute()
{
    ShowHelpIndex(this);
}

void TMainForm::actHelpHomepageExecute()
{
    ExecuteProgram(QString::fromLatin1(TMainCommands::HomepageAddress), QString(), true);
}

void TMainForm::actHelpAboutExecute()
{
    ShowAboutBox(this);
}

QComboBox* TMainForm::AddressComboBox() const
{
    return m_pane->Address();
}

TTipsPanel* TMainForm::TipsPanel() const
{
    return m_pane->Tips();
}

int TMainForm::TipsPanelHeight() const
{
    return m_pane->Tips()->Height();
}
