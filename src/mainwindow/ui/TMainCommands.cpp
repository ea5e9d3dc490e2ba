#include "mainwindow/ui/TMainCommands.h"

#include "mainwindow/ui/TMainForm.h"
#include "settings/Settings.h"

#include "mainwindow/TMainViewRules.h"
#include "periphery/TImageLists.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QHBoxLayout>
#include <QVBoxLayout>

const char* const TMainCommands::HomepageAddress = "https://www.tollmark.example/brevant/";

namespace {

QIcon imageAt(const QList<QIcon>& list, int index)
{
    return index >= 0 && index < list.size() ? list.at(index) : QIcon();
}

// Short part of a hint (the tool tip): the text before "|", or the whole hint.
QString shortHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

// Menu image of each command that has one.
struct TMenuImage
{
    QAction* TMainCommands::*action;
    int image;
};
const TMenuImage MenuImageTable[] = {
    {&TMainCommands::actDriveSelectDrive, 0}, {&TMainCommands::actFileRecover, 1},
    {&TMainCommands::actDriveFindFile, 2},    {&TMainCommands::actHelpHomepage, 3},
    {&TMainCommands::actHelpContents, 4},     {&TMainCommands::actHelpAbout, 5},
};

} // namespace

TMainCommands::TMainCommands(QWidget* owner)
{
    actDriveSelectDrive = make(owner, "actDriveSelectDrive", QStringLiteral("&Open..."),
                               QStringLiteral("Select logical drive on which data should be recovered"));
    actDriveSelectDrive->setIconText(QStringLiteral("Open..."));
    actDriveSelectDrive->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    actDriveClose =
        make(owner, "actDriveClose", QStringLiteral("&Close"), QStringLiteral("Close current drive window"));
    actDriveFindFile = make(owner, "actDriveFindFile", QStringLiteral("&Find File..."), QString());
    actDriveFindFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    actDriveInfo = make(owner, "actDriveInfo", QStringLiteral("&Information..."),
                        QStringLiteral("View drive information: size, volume label, etc."));
    actDriveSearchData = make(owner, "actDriveSearchData", QStringLiteral("Deep Scan..."),
                              QStringLiteral("Search for specific file data"));
    actDriveSearchData->setEnabled(false);
    actDriveExit =
        make(owner, "actDriveExit", QStringLiteral("E&xit"), QStringLiteral("Exit|Quits the application"));
    actDriveExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

    actFileRecover = make(owner, "actFileRecover", QStringLiteral("&Recover..."),
                          QStringLiteral("Save selected files and folders"));
    actFileRecover->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actFileView = make(owner, "actFileView", QStringLiteral("View..."), QStringLiteral("View file"));
    actFileViewAsHex = make(owner, "actFileViewAsHex", QStringLiteral("View as &Hex..."),
                            QStringLiteral("View file as hexadecimal data"));
    actFileViewAsText = make(owner, "actFileViewAsText", QStringLiteral("View as &Text..."),
                             QStringLiteral("View file as text information"));
    // Enabled while the file list has the focus on an element (ApplyState).
    for (QAction* view : {actFileView, actFileViewAsHex, actFileViewAsText})
        view->setEnabled(false);
    actFileProperties = make(owner, "actFileProperties", QStringLiteral("&Properties..."),
                             QStringLiteral("View selected file properties"));
    actFileProperties->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));

    actViewMenuBar = make(owner, "actViewMenuBar", QStringLiteral("&Menu Bar"),
                          QStringLiteral("Toogle the display of the menu bar"));
    actViewToolBar = make(owner, "actViewToolBar", QStringLiteral("&Tool Bar"),
                          QStringLiteral("Toogle the display of the tool bar"));
    actViewAddressBar = make(owner, "actViewAddressBar", QStringLiteral("Addr&ess Bar"), QString());
    actViewFolders = make(owner, "actViewFolders", QStringLiteral("&Folders"),
                          QStringLiteral("Toogle the display of the folders panel"));
    actViewTips = make(owner, "actViewTips", QStringLiteral("&Program Tips"),
                       QStringLiteral("Toogle the display of the program tips"));
    actViewStatusBar = make(owner, "actViewStatusBar", QStringLiteral("&Status Bar"),
                            QStringLiteral("Toogle the display of the status bar"));
    for (QAction* toggle :
         {actViewMenuBar, actViewToolBar, actViewAddressBar, actViewFolders, actViewTips, actViewStatusBar}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    actViewOnlyDeleted = make(owner, "actViewOnlyDeleted", QStringLiteral("S&how Only Deleted"), QString());
    actViewOnlyDeleted->setIconText(QStringLiteral("Show Only Deleted"));
    actViewOnlyDeleted->setCheckable(true);

    actViewLargeIcons = make(owner, "actViewLargeIcons", QStringLiteral("&Large Icons"),
                             QStringLiteral("Display items as large icons"));
    actViewSmallIcons = make(owner, "actViewSmallIcons", QStringLiteral("Sm&all Icons"),
                             QStringLiteral("Display items as small icons"));
    actViewList =
        make(owner, "actViewList", QStringLiteral("L&ist"), QStringLiteral("Display items as list"));
    actViewReport = make(owner, "actViewReport", QStringLiteral("&Details"),
                         QStringLiteral("Display items as detailed report"));
    ViewStyleGroup = new QActionGroup(owner);
    for (QAction* style : viewStyleActions()) {
        style->setCheckable(true);
        ViewStyleGroup->addAction(style);
    }

    actViewArrangeIconsByName = make(owner, "actViewArrangeIconsByName", QStringLiteral("&Name"),
                                     QStringLiteral("Sort files list alphabetically by names"));
    actViewArrangeIconsByType = make(owner, "actViewArrangeIconsByType", QStringLiteral("&Type"),
                                     QStringLiteral("Sort files by type"));
    actViewArrangeIconsBySize = make(owner, "actViewArrangeIconsBySize", QStringLiteral("&Size"),
                                     QStringLiteral("Sort files by size"));
    actViewArrangeIconsByDate = make(owner, "actViewArrangeIconsByDate", QStringLiteral("&Date"),
                                     QStringLiteral("Sort files by date and time of creation"));
    actViewArrangeIconsByCondition =
        make(owner, "actViewArrangeIconsByCondition", QStringLiteral("&Condition"),
             QStringLiteral("Sort files by recovery condition"));
    actViewArrangeIconsByRecovery = make(owner, "actViewArrangeIconsByRecovery", QStringLiteral("&Recovery"),
                                         QStringLiteral("Sort files by how intact their data is"));
    SortColumnGroup = new QActionGroup(owner);
    for (QAction* column : sortColumnActions()) {
        column->setCheckable(true);
        SortColumnGroup->addAction(column);
    }
    actViewArrangeIconsByAZ = make(owner, "actViewArrangeIconsByAZ", QStringLiteral("Sort Order &A..Z"),
                                   QStringLiteral("Change files list soft order to accending (A..Z)"));
    actViewArrangeIconsByZA = make(owner, "actViewArrangeIconsByZA", QStringLiteral("Sort Order &Z..A"),
                                   QStringLiteral("Change files list soft order to descending (Z..A)"));
    SortOrderGroup = new QActionGroup(owner);
    for (QAction* order : {actViewArrangeIconsByAZ, actViewArrangeIconsByZA}) {
        order->setCheckable(true);
        SortOrderGroup->addAction(order);
    }

    actOptionsPreferences = make(owner, "actOptionsPreferences", QStringLiteral("&Preferences..."),
                                 QStringLiteral("Change general program settings"));
    actOptionsPreferences->setIconText(QStringLiteral("Preferences..."));
    actHelpContents = make(owner, "actHelpContents", QStringLiteral("&Contents"),
                           QStringLiteral("This command calls Brevant Pro help file"));
    actHelpContents->setShortcut(QKeySequence(Qt::Key_F1));
    actHelpRecoveryGuide =
        make(owner, "actHelpRecoveryGuide", QStringLiteral("Recovery &Guide"),
             QStringLiteral("View the very basic steps you need to follow to start using Brevant Pro"));
    actHelpSearchForHelpOn = make(owner, "actHelpSearchForHelpOn", QStringLiteral("&Search for Help on..."),
                                  QStringLiteral("Search for help on a specific topic"));
    actHelpHomepage = make(owner, "actHelpHomepage", QStringLiteral("Tollmark on the &Web"),
                           QStringLiteral("Visit the Tollmark web site for news and program updates"));
    actHelpAbout = make(owner, "actHelpAbout", QStringLiteral("&About..."),
                        QStringLiteral("Display program information, version number and copyright"));

    ApplyImages();
}

QAction* TMainCommands::make(QWidget* owner, const char* name, const QString& caption, const QString& hint)
{
    auto* action = new QAction(caption, owner);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(TMainViewRules::LongHint(hint));
    if (!hint.isEmpty())
        action->setToolTip(shortHint(hint));
    // Shortcuts work wherever the focus is in the main window, menu bar shown or not.
    action->setShortcutContext(Qt::WindowShortcut);
    owner->addAction(action);
    return action;
}

QList<QAction*> TMainCommands::viewStyleActions() const
{
    return {actViewLargeIcons, actViewSmallIcons, actViewList, actViewReport};
}

QList<QAction*> TMainCommands::sortColumnActions() const
{
    return {actViewArrangeIconsByName, actViewArrangeIconsBySize,      actViewArrangeIconsByType,
            actViewArrangeIconsByDate, actViewArrangeIconsByCondition, actViewArrangeIconsByRecovery};
}

void TMainCommands::ApplyImages()
{
    const QList<QIcon>& menuImages = TImageLists::MenuImages();
    for (const TMenuImage& entry : MenuImageTable)
        (this->*entry.action)->setIcon(imageAt(menuImages, entry.image));
    const QList<QIcon>& toolbarImages = TImageLists::ToolbarImages();
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons.at(i)->setIcon(imageAt(toolbarImages, i));
}

void TMainCommands::BuildMainMenu(QMenuBar* bar) const
{
    QMenu* drive = bar->addMenu(QStringLiteral("&Drive"));
    drive->setObjectName(QStringLiteral("miDrive"));
    drive->addAction(actDriveSelectDrive);
    drive->addAction(actDriveClose);
    drive->addSeparator();
    drive->addAction(actDriveFindFile);
    drive->addSeparator();
    drive->addAction(actDriveInfo);
    drive->addSeparator();
    drive->addAction(actDriveExit);

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("miFile"));
    file->addAction(actFileRecover);
    file->addSeparator();
    for (QAction* viewer : {actFileView, actFileViewAsText, actFileViewAsHex})
        file->addAction(viewer);
    file->addSeparator();
    file->addAction(actFileProperties);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("miView"));
    for (QAction* toggle :
         {actViewMenuBar, actViewToolBar, actViewAddressBar, actViewFolders, actViewTips, actViewStatusBar})
        view->addAction(toggle);
    view->addSeparator();
    view->addAction(actViewOnlyDeleted);
    view->addSeparator();
    for (QAction* style : viewStyleActions())
        view->addAction(style);
    view->addSeparator();
    QMenu* arrange = view->addMenu(QStringLiteral("Arra&nge Icons by"));
    arrange->setObjectName(QStringLiteral("miViewArrangeIconsBy"));
    for (QAction* column :
         {actViewArrangeIconsByName, actViewArrangeIconsByType, actViewArrangeIconsBySize,
          actViewArrangeIconsByDate, actViewArrangeIconsByCondition, actViewArrangeIconsByRecovery})
        arrange->addAction(column);
    arrange->addSeparator();
    arrange->addAction(actViewArrangeIconsByAZ);
    arrange->addAction(actViewArrangeIconsByZA);

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("miOptions"));
    options->addAction(actOptionsPreferences);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("miHelp"));
    help->addAction(actHelpContents);
    help->addAction(actHelpRecoveryGuide);
    help->addAction(actHelpSearchForHelpOn);
    help->addSeparator();
    help->addAction(actHelpHomepage);
    help->addSeparator();
    help->addAction(actHelpAbout);
}

QToolButton* TMainCommands::makeButton(QToolBar* bar, const char* name, const QString& caption,
                                       const QString& hint, bool showText)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setToolTip(shortHint(hint));
    button->setStatusTip(TMainViewRules::LongHint(hint));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(showText ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    bar->addWidget(button);
    m_buttons.append(button);
    return button;
}

QList<QToolBar*> TMainCommands::BuildToolBars(QWidget* parent)
{
    QList<QToolBar*> bars;
    auto newBar = [&](int number) {
        auto* bar = new QToolBar(parent);
        bar->setObjectName(QStringLiteral("ToolBar%1").arg(number, 2, 10, QLatin1Char('0')));
        bar->setIconSize(QSize(24, 24));
        bar->setMovable(false);
        bar->setFloatable(false);
        bars.append(bar);
        return bar;
    };

    QToolBar* bar = newBar(1);
    tbSelectDrive = makeButton(
        bar, "tbSelectDrive", QStringLiteral("Open Drive"),
        QStringLiteral("Select Drive|Select logical drive on which data should be recovered"), true);
    bar = newBar(2);
    tbRecover = makeButton(bar, "tbRecover", QStringLiteral("Recover"),
                           QStringLiteral("Save selected files and folders"), true);
    tbSearch = makeButton(
        bar, "tbSearch", QStringLiteral("Find File"),
        QStringLiteral("Search|Search for specific files and folders in the deleted, lost and root folders"),
        false);
    bar = newBar(3);
    tbBack = makeButton(bar, "tbBack", QStringLiteral("Back"),
                        QStringLiteral("Back|Back to previously viewed folder"), false);
    tbForward = makeButton(bar, "tbForward", QStringLiteral("Forward"),
                           QStringLiteral("Forward|Forward to the next folder"), false);
    tbUp = makeButton(bar, "tbUp", QStringLiteral("Up"), QStringLiteral("Up|Move up to one folders level"),
                      true);
    bar = newBar(4);
    tbViewStyle = makeButton(bar, "tbViewStyle", QStringLiteral("View Style"),
                             QStringLiteral("View Style|Change file view style"), false);
    tbPreferences = makeButton(bar, "tbPreferences", QStringLiteral("Preferences"),
                               QStringLiteral("Change general program settings"), false);
    bar = newBar(5);
    tbHomepage = makeButton(bar, "tbHomepage", QStringLiteral("Homepage"), QStringLiteral("Homepage"), false);
    tbHelp = makeButton(bar, "tbHelp", QStringLiteral("Help"), QStringLiteral("Help"), false);
    bar = newBar(6);
    tbAbout = makeButton(bar, "tbAbout", QStringLiteral("About"),
                         QStringLiteral("About|Display program information, version number, and copyright."),
                         false);

    ToolbarViewStylePopupMenu = new QMenu(tbViewStyle);
    ToolbarViewStylePopupMenu->setObjectName(QStringLiteral("ToolbarViewStylePopupMenu"));
    const char* const itemNames[] = {"miPopupViewStyleLargeIcons", "miPopupViewStyleSmallIcons",
                                     "miPopupViewStyleList", "miPopupViewStyleDetails"};
    const QString itemCaptions[] = {QStringLiteral("Large Icons"), QStringLiteral("Small Icons"),
                                    QStringLiteral("List"), QStringLiteral("Details")};
    auto* itemGroup = new QActionGroup(ToolbarViewStylePopupMenu);
    for (int i = 0; i < TMainViewRules::ViewStyleCount; ++i) {
        QAction* item = ToolbarViewStylePopupMenu->addAction(itemCaptions[i]);
        item->setObjectName(QLatin1String(itemNames[i]));
        item->setCheckable(true);
        itemGroup->addAction(item);
        ViewStyleMenuItems.append(item);
    }
    tbViewStyle->setMenu(ToolbarViewStylePopupMenu);
    tbViewStyle->setPopupMode(QToolButton::MenuButtonPopup);

    ApplyImages();
    return bars;
}

QMenu* TMainCommands::BuildElementPopupMenu(QWidget* parent, const QString& objectName, bool viewers) const
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(objectName);
    menu->addAction(actFileRecover);
    menu->addSeparator();
    if (viewers) {
        for (QAction* viewer : {actFileView, actFileViewAsText, actFileViewAsHex})
            menu->addAction(viewer);
        menu->addSeparator();
    }
    menu->addAction(actFileProperties);
    return menu;
}

QMenu* TMainCommands::BuildToolbarPopupMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("ToolbarPopupMenu"));
    menu->addAction(QStringLiteral("Menu Bar"));
    menu->addAction(QStringLiteral("Tool Bar"));
    menu->addAction(QStringLiteral("Address Bar"));
    return menu;
}

TMainCommands::TTopBars TMainCommands::BuildTopBars(QWidget* parent, QWidget* addressBar)
{
    TTopBars bars{new QWidget(parent), nullptr, nullptr};
    bars.Panel->setObjectName(QStringLiteral("TopBarsPanel"));
    auto* topLayout = new QVBoxLayout(bars.Panel);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    bars.MenuBar = new QMenuBar(bars.Panel);
    bars.MenuBar->setObjectName(QStringLiteral("ActionMainMenuBar"));
    BuildMainMenu(bars.MenuBar);
    topLayout->addWidget(bars.MenuBar);

    bars.ToolBarPanel = new QWidget(bars.Panel);
    bars.ToolBarPanel->setObjectName(QStringLiteral("ToolBarPanel"));
    auto* toolLayout = new QHBoxLayout(bars.ToolBarPanel);
    toolLayout->setContentsMargins(0, 0, 0, 0);
    toolLayout->setSpacing(0);
    for (QToolBar* bar : BuildToolBars(bars.ToolBarPanel))
        toolLayout->addWidget(bar);
    toolLayout->addStretch(1);
    topLayout->addWidget(bars.ToolBarPanel);
    topLayout->addWidget(addressBar);
    return bars;
}

void TMainCommands::ApplyState(const TMainViewRules::TState& s)
{
    actFileRecover->setEnabled(s.Recover);
    tbRecover->setEnabled(s.Recover);
    actFileProperties->setEnabled(s.Properties);
    for (QAction* action : {actFileView, actFileViewAsHex, actFileViewAsText})
        action->setEnabled(s.View);
    for (QAction* action : {actDriveClose, actDriveFindFile, actDriveInfo})
        action->setEnabled(s.DriveCommands);
    tbSearch->setEnabled(s.DriveCommands);
    tbBack->setEnabled(s.Back);
    tbForward->setEnabled(s.Forward);
    tbUp->setEnabled(s.Up);
}

void TMainCommands::ConnectTo(TMainForm& form)
{
    QObject::connect(actDriveSelectDrive, &QAction::triggered, &form, &TMainForm::actDriveSelectDriveExecute);
    QObject::connect(actDriveClose, &QAction::triggered, &form, &TMainForm::actDriveCloseExecute);
    QObject::connect(actDriveFindFile, &QAction::triggered, &form, &TMainForm::actDriveFindFileExecute);
    QObject::connect(actDriveInfo, &QAction::triggered, &form, &TMainForm::actDriveInfoExecute);
    QObject::connect(actDriveSearchData, &QAction::triggered, &form, &TMainForm::actDriveSearchDataExecute);
    QObject::connect(actDriveExit, &QAction::triggered, &form, &TMainForm::actDriveExitExecute);
    QObject::connect(actFileRecover, &QAction::triggered, &form, &TMainForm::actFileRecoverExecute);
    QObject::connect(actFileProperties, &QAction::triggered, &form, &TMainForm::actFilePropertiesExecute);
    QObject::connect(actFileView, &QAction::triggered, &form, &TMainForm::actFileViewExecute);
    QObject::connect(actFileViewAsText, &QAction::triggered, &form, &TMainForm::actFileViewAsTextExecute);
    QObject::connect(actFileViewAsHex, &QAction::triggered, &form, &TMainForm::actFileViewAsHexExecute);
    // The menu bar always stays; its command only keeps its check mark.
    QObject::connect(actViewMenuBar, &QAction::triggered, &form,
                     [this] { actViewMenuBar->setChecked(true); });
    QObject::connect(actViewToolBar, &QAction::triggered, &form, &TMainForm::actViewToolBarExecute);
    QObject::connect(actViewAddressBar, &QAction::triggered, &form, &TMainForm::actViewAddressBarExecute);
    QObject::connect(actViewFolders, &QAction::triggered, &form, &TMainForm::actViewFoldersExecute);
    QObject::connect(actViewTips, &QAction::triggered, &form, &TMainForm::actViewTipsExecute);
    QObject::connect(actViewStatusBar, &QAction::triggered, &form, &TMainForm::actViewStatusBarExecute);
    QObject::connect(actViewOnlyDeleted, &QAction::triggered, &form, &TMainForm::actViewOnlyDeletedExecute);
    const QList<QAction*> styles = viewStyleActions();
    for (int i = 0; i < styles.size(); ++i)
        QObject::connect(styles[i], &QAction::triggered, &form, [&form, i] { form.SetViewStyle(i); });
    for (int i = 0; i < ViewStyleMenuItems.size(); ++i)
        QObject::connect(ViewStyleMenuItems[i], &QAction::triggered, &form,
                         [&form, i] { form.SetViewStyle(i); });
    const QList<QAction*> columns = sortColumnActions();
    for (int i = 0; i < columns.size(); ++i)
        QObject::connect(columns[i], &QAction::triggered, &form,
                         [&form, i] { form.FilesListViewColumnClick(i); });
    QObject::connect(actViewArrangeIconsByAZ, &QAction::triggered, &form, [&form] {
        GlobalMainSortOrderAZ = false;
        form.FilesListViewColumnClick(TMainViewRules::ValidColumn(form.LastColumn) ? form.LastColumn : 0);
    });
    QObject::connect(actViewArrangeIconsByZA, &QAction::triggered, &form, [&form] {
        GlobalMainSortOrderAZ = true;
        form.FilesListViewColumnClick(TMainViewRules::ValidColumn(form.LastColumn) ? form.LastColumn : 0);
    });
    QObject::connect(actOptionsPreferences, &QAction::triggered, &form,
                     &TMainForm::actOptionsPreferencesExecute);
    QObject::connect(actHelpContents, &QAction::triggered, &form, &TMainForm::actHelpContentsExecute);
    QObject::connect(actHelpRecoveryGuide, &QAction::triggered, &form,
                     &TMainForm::actHelpRecoveryGuideExecute);
    QObject::connect(actHelpSearchForHelpOn, &QAction::triggered, &form,
                     &TMainForm::actHelpSearchForHelpOnExecute);
    QObject::connect(actHelpHomepage, &QAction::triggered, &form, &TMainForm::actHelpHomepageExecute);
    QObject::connect(actHelpAbout, &QAction::triggered, &form, &TMainForm::actHelpAboutExecute);

    QObject::connect(tbSelectDrive, &QToolButton::clicked, &form, &TMainForm::actDriveSelectDriveExecute);
    QObject::connect(tbRecover, &QToolButton::clicked, &form, &TMainForm::actFileRecoverExecute);
    QObject::connect(tbSearch, &QToolButton::clicked, &form, &TMainForm::actDriveFindFileExecute);
    QObject::connect(tbBack, &QToolButton::clicked, &form, &TMainForm::tbBackClick);
    QObject::connect(tbForward, &QToolButton::clicked, &form, &TMainForm::tbForwardClick);
    QObject::connect(tbUp, &QToolButton::clicked, &form, &TMainForm::tbUpClick);
    QObject::connect(tbViewStyle, &QToolButton::clicked, &form, &TMainForm::tbViewStyleClick);
    QObject::connect(ToolbarViewStylePopupMenu, &QMenu::aboutToShow, &form,
                     &TMainForm::ToolbarViewStylePopupMenuPopup);
    QObject::connect(tbPreferences, &QToolButton::clicked, &form, &TMainForm::actOptionsPreferencesExecute);
    QObject::connect(tbHomepage, &QToolButton::clicked, &form, &TMainForm::actHelpHomepageExecute);
    QObject::connect(tbHelp, &QToolButton::clicked, &form, &TMainForm::actHelpContentsExecute);
    QObject::connect(tbAbout, &QToolButton::clicked, &form, &TMainForm::actHelpAboutExecute);
}
