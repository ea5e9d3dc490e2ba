#pragma once

#include "mainwindow/TMainViewRules.h"

#include <QList>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QToolBar;
class QToolButton;
class QWidget;
class TMainForm;

// The main window's command table: every action with its caption, hint, shortcut,
// image and initial state, the menus and tool buttons that invoke them. The window
// connects the handlers; this class only builds and places.
class TMainCommands
{
public:
    // The maker's web site, opened by the homepage command.
    static const char* const HomepageAddress;

    // Creates every action as a child of owner, named after the command.
    explicit TMainCommands(QWidget* owner);

    QAction* actDriveSelectDrive;
    QAction* actDriveClose;
    QAction* actDriveFindFile;
    QAction* actDriveInfo;
    QAction* actDriveSearchData;
    QAction* actDriveExit;
    QAction* actFileRecover;
    QAction* actFileView;
    QAction* actFileViewAsHex;
    QAction* actFileViewAsText;
    QAction* actFileProperties;
    QAction* actViewMenuBar;
    QAction* actViewToolBar;
    QAction* actViewAddressBar;
    QAction* actViewFolders;
    QAction* actViewTips;
    QAction* actViewStatusBar;
    QAction* actViewOnlyDeleted;
    QAction* actViewLargeIcons;
    QAction* actViewSmallIcons;
    QAction* actViewList;
    QAction* actViewReport;
    QAction* actViewArrangeIconsByName;
    QAction* actViewArrangeIconsByType;
    QAction* actViewArrangeIconsBySize;
    QAction* actViewArrangeIconsByDate;
    QAction* actViewArrangeIconsByCondition;
    QAction* actViewArrangeIconsByRecovery;
    QAction* actViewArrangeIconsByAZ;
    QAction* actViewArrangeIconsByZA;
    QAction* actOptionsPreferences;
    QAction* actHelpContents;
    QAction* actHelpRecoveryGuide;
    QAction* actHelpSearchForHelpOn;
    QAction* actHelpHomepage;
    QAction* actHelpAbout;

    QActionGroup* ViewStyleGroup;
    QActionGroup* SortColumnGroup;
    QActionGroup* SortOrderGroup;

    // Tool buttons, in the order of their images.
    QToolButton* tbSelectDrive = nullptr;
    QToolButton* tbRecover = nullptr;
    QToolButton* tbSearch = nullptr;
    QToolButton* tbBack = nullptr;
    QToolButton* tbForward = nullptr;
    QToolButton* tbUp = nullptr;
    QToolButton* tbViewStyle = nullptr;
    QToolButton* tbPreferences = nullptr;
    QToolButton* tbHomepage = nullptr;
    QToolButton* tbHelp = nullptr;
    QToolButton* tbAbout = nullptr;

    // Menu items of the view style tool button, in style order.
    QMenu* ToolbarViewStylePopupMenu = nullptr;
    QList<QAction*> ViewStyleMenuItems;

    // The view style commands and the arrange-by-column commands, indexed by value.
    QList<QAction*> viewStyleActions() const;
    QList<QAction*> sortColumnActions() const;

    // Fills the main menu bar.
    void BuildMainMenu(QMenuBar* bar) const;
    // The bars above the window's content: menu bar, tool bars, then `addressBar`.
    struct TTopBars
    {
        QWidget* Panel;
        QMenuBar* MenuBar;
        QWidget* ToolBarPanel;
    };
    TTopBars BuildTopBars(QWidget* parent, QWidget* addressBar);
    // Connects every command to the window's handler of the same name.
    void ConnectTo(TMainForm& form);
    // Enables the commands as the window's state allows.
    void ApplyState(const TMainViewRules::TState& state);
    // Creates the six tool bars with their buttons (images from the tool bar list).
    QList<QToolBar*> BuildToolBars(QWidget* parent);
    // Popup menu of the file list and of the folder tree.
    // The pop-up menu of the tree or the list; the list's also holds the viewer commands.
    QMenu* BuildElementPopupMenu(QWidget* parent, const QString& objectName, bool viewers) const;
    // Popup menu of the top bars; its items deliberately do nothing.
    QMenu* BuildToolbarPopupMenu(QWidget* parent) const;

    // The menu images, applied again when the image lists are reloaded.
    void ApplyImages();

private:
    QAction* make(QWidget* owner, const char* name, const QString& caption, const QString& hint);
    QToolButton* makeButton(QToolBar* bar, const char* name, const QString& caption, const QString& hint,
                            bool showText);

    QList<QToolButton*> m_buttons;
};
