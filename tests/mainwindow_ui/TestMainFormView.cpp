#include "TMainFormFixture.h"

#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>

// Sorting, view styles, bars and panels, and the back/forward history.

namespace {

void clickHeader(QTreeView* view, int section)
{
    QHeaderView* header = view->header();
    const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, header->height() / 2));
}

} // namespace

TEST_F(MainFormTest, HeaderClicksAndArrangeCommandsSort)
{
    openDrive();
    clickNode(0);
    const QStringList byName{"Docs", "Even", "Music", "Odd", "readme.txt", "Trash"};
    ASSERT_EQ(listed(), byName);

    // Name again: Z..A, the mark turns to descending.
    clickHeader(list()->detailsView(), 0);
    EXPECT_FALSE(GlobalMainSortOrderAZ);
    EXPECT_EQ(listed(), (QStringList{"Trash", "readme.txt", "Odd", "Music", "Even", "Docs"}));
    EXPECT_EQ(model()->SortMarkImage(0), 2);
    EXPECT_TRUE(action("actViewArrangeIconsByZA")->isChecked());

    // Size: ascending, folders (empty size) first; the mark moves.
    clickHeader(list()->detailsView(), 1);
    EXPECT_TRUE(GlobalMainSortOrderAZ);
    EXPECT_EQ(GlobalMainSortColumn, 1);
    EXPECT_EQ(form->LastColumn, 1);
    EXPECT_EQ(model()->SortMarkImage(1), 1);
    EXPECT_EQ(model()->SortMarkImage(0), -1);
    EXPECT_EQ(listed().last(), QStringLiteral("readme.txt"));
    EXPECT_TRUE(action("actViewArrangeIconsBySize")->isChecked());
    EXPECT_TRUE(action("actViewArrangeIconsByAZ")->isChecked());
    clickHeader(list()->detailsView(), 1);
    EXPECT_EQ(listed().first(), QStringLiteral("readme.txt"));

    // Every column by its command, both orders, with the check marks following.
    const char* const commands[] = {"actViewArrangeIconsByName", "actViewArrangeIconsBySize",
                                    "actViewArrangeIconsByType", "actViewArrangeIconsByDate",
                                    "actViewArrangeIconsByCondition"};
    for (int c = 0; c < 5; ++c) {
        action(commands[c])->trigger();
        if (!GlobalMainSortOrderAZ)
            action(commands[c])->trigger(); // it was the sort column: the first trigger reversed it
        EXPECT_TRUE(GlobalMainSortOrderAZ) << c;
        EXPECT_EQ(GlobalMainSortColumn, c);
        EXPECT_TRUE(action(commands[c])->isChecked());
        EXPECT_EQ(model()->SortMarkImage(c), 1);
        QCollator collator{QLocale()};
        for (int r = 1; r < model()->rowCount(); ++r)
            EXPECT_LE(collator.compare(model()->Text(r - 1, c), model()->Text(r, c)), 0) << c;

        action("actViewArrangeIconsByZA")->trigger();
        EXPECT_FALSE(GlobalMainSortOrderAZ);
        EXPECT_EQ(GlobalMainSortColumn, c);
        EXPECT_TRUE(action("actViewArrangeIconsByZA")->isChecked());
        EXPECT_EQ(model()->SortMarkImage(c), 2);
        for (int r = 1; r < model()->rowCount(); ++r)
            EXPECT_GE(collator.compare(model()->Text(r - 1, c), model()->Text(r, c)), 0) << c;
    }

    // A..Z while already A..Z stays A..Z.
    action("actViewArrangeIconsByAZ")->trigger();
    EXPECT_TRUE(GlobalMainSortOrderAZ);
    action("actViewArrangeIconsByAZ")->trigger();
    EXPECT_TRUE(GlobalMainSortOrderAZ);
    EXPECT_EQ(GlobalMainSortColumn, 4);

    // The order holds when another folder is shown.
    action("actViewArrangeIconsByName")->trigger();
    action("actViewArrangeIconsByName")->trigger();
    clickNode(Docs);
    EXPECT_EQ(listed(), (QStringList{"Sub", "report.doc", "old.txt"}));
}

TEST_F(MainFormTest, StoredSortAndViewSettingsApplyAtStart)
{
    form.reset();
    GlobalMainSortColumn = 1;
    GlobalMainSortOrderAZ = false;
    GlobalMainViewStyle = 2;
    GlobalShowOnlyDeleted = true;
    form = std::make_unique<TMainForm>();
    EXPECT_EQ(form->LastColumn, 1);
    EXPECT_EQ(model()->SortMarkImage(1), 2);
    EXPECT_TRUE(action("actViewArrangeIconsBySize")->isChecked());
    EXPECT_TRUE(action("actViewArrangeIconsByZA")->isChecked());
    EXPECT_TRUE(action("actViewList")->isChecked());
    EXPECT_EQ(list()->GetViewStyle(), TFilesListView::vsList);
    EXPECT_TRUE(action("actViewOnlyDeleted")->isChecked());

    // A stored column outside the five falls back to Name.
    form.reset();
    GlobalMainSortColumn = 9;
    GlobalMainViewStyle = 7;
    form = std::make_unique<TMainForm>();
    EXPECT_EQ(GlobalMainSortColumn, 0);
    EXPECT_EQ(form->LastColumn, 0);
    EXPECT_TRUE(action("actViewArrangeIconsByName")->isChecked());
    EXPECT_EQ(list()->GetViewStyle(), TFilesListView::vsDetails);
    EXPECT_EQ(GlobalMainViewStyle, 3);
}

TEST_F(MainFormTest, ViewStylesCycleAndStayChecked)
{
    openDrive();
    clickNode(0);
    const char* const styles[] = {"actViewLargeIcons", "actViewSmallIcons", "actViewList", "actViewReport"};
    for (int s = 0; s < 4; ++s) {
        action(styles[s])->trigger();
        EXPECT_EQ(list()->GetViewStyle(), s);
        EXPECT_EQ(GlobalMainViewStyle, s);
        EXPECT_TRUE(action(styles[s])->isChecked());
        EXPECT_EQ(list()->currentView() == list()->detailsView(), s == 3);
    }
    // Four clicks on the tool button come back to the starting style, through every style.
    QList<int> seen;
    for (int i = 0; i < 4; ++i) {
        button("tbViewStyle")->click();
        seen << list()->GetViewStyle();
    }
    EXPECT_EQ(seen, (QList<int>{0, 1, 2, 3}));

    // The drop-down menu checks the current style when it opens and sets the one chosen.
    action("actViewSmallIcons")->trigger();
    auto* menu = form->findChild<QMenu*>(QStringLiteral("ToolbarViewStylePopupMenu"));
    ASSERT_NE(menu, nullptr);
    form->ToolbarViewStylePopupMenuPopup();
    EXPECT_TRUE(menu->findChild<QAction*>(QStringLiteral("miPopupViewStyleSmallIcons"))->isChecked());
    menu->findChild<QAction*>(QStringLiteral("miPopupViewStyleList"))->trigger();
    EXPECT_EQ(list()->GetViewStyle(), TFilesListView::vsList);
    EXPECT_TRUE(action("actViewList")->isChecked());

    // The selection is shared between the styles.
    list()->SelectOnly(2);
    action("actViewReport")->trigger();
    EXPECT_EQ(list()->SelectedRows(), QList<int>{2});
}

TEST_F(MainFormTest, BarsAndPanelsToggle)
{
    QWidget* toolBars = form->findChild<QWidget*>(QStringLiteral("ToolBarPanel"));
    QWidget* address = form->findChild<QWidget*>(QStringLiteral("AddressBarPanel"));
    QWidget* folders = form->findChild<QWidget*>(QStringLiteral("FoldersPanel"));
    auto* status = form->findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    auto* splitter = form->findChild<QSplitter*>(QStringLiteral("FoldersSplitter"));
    ASSERT_TRUE(toolBars && address && folders && status && splitter);

    struct
    {
        const char* command;
        QWidget* widget;
    } toggles[] = {{"actViewToolBar", toolBars},
                   {"actViewAddressBar", address},
                   {"actViewFolders", folders},
                   {"actViewStatusBar", status}};
    for (const auto& t : toggles) {
        EXPECT_TRUE(action(t.command)->isChecked());
        action(t.command)->trigger();
        EXPECT_TRUE(t.widget->isHidden()) << t.command;
        EXPECT_FALSE(action(t.command)->isChecked());
        action(t.command)->trigger();
        EXPECT_FALSE(t.widget->isHidden()) << t.command;
        EXPECT_TRUE(action(t.command)->isChecked());
    }

    // The folder panel's close button and the splitter width.
    form->findChild<QToolButton*>(QStringLiteral("FoldersCloseButton"))->click();
    EXPECT_TRUE(folders->isHidden());
    EXPECT_EQ(splitter->handleWidth(), 0);
    action("actViewFolders")->trigger();
    EXPECT_EQ(splitter->handleWidth(), 4);

    // The menu bar stays.
    action("actViewMenuBar")->trigger();
    EXPECT_TRUE(action("actViewMenuBar")->isChecked());
    EXPECT_FALSE(form->findChild<QWidget*>(QStringLiteral("ActionMainMenuBar"))->isHidden());
}

TEST_F(MainFormTest, TipsPanelHidesByShrinking)
{
    EXPECT_EQ(form->TipsPanelHeight(), 75);
    form->SetTipsPanelHeight(150);
    action("actViewTips")->trigger();
    EXPECT_EQ(form->TipsPanelHeight(), 1);
    EXPECT_FALSE(action("actViewTips")->isChecked());
    EXPECT_FALSE(form->TipsPanel()->isHidden());
    action("actViewTips")->trigger();
    EXPECT_EQ(form->TipsPanelHeight(), 150);
    EXPECT_TRUE(action("actViewTips")->isChecked());

    // A remembered height of 20 or less comes back as 75.
    form->SetTipsPanelHeight(20);
    action("actViewTips")->trigger();
    action("actViewTips")->trigger();
    EXPECT_EQ(form->TipsPanelHeight(), 75);
}

TEST_F(MainFormTest, BackAndForwardRetraceVisitedFolders)
{
    openDrive();
    // The drive's top is the first folder shown.
    EXPECT_EQ(CurDisk->MoveHistory.CurElement, CurDisk->RootElement);
    EXPECT_FALSE(button("tbBack")->isEnabled());

    clickNode(0);
    clickNode(Docs);
    clickNode(Sub);
    EXPECT_TRUE(button("tbBack")->isEnabled());
    EXPECT_FALSE(button("tbForward")->isEnabled());

    button("tbBack")->click();
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Docs));
    button("tbBack")->click();
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(0));
    EXPECT_TRUE(button("tbForward")->isEnabled());
    button("tbForward")->click();
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Docs));

    // A new folder drops the forward list.
    clickNode(Music);
    EXPECT_FALSE(button("tbForward")->isEnabled());
    EXPECT_EQ(shown(), element(Music));

    // Back runs to the drive's top and stops there.
    for (int i = 0; i < 10; ++i) {
        button("tbBack")->click();
        tree()->FlushChangeReport();
    }
    EXPECT_EQ(shown(), CurDisk->RootElement);
    EXPECT_FALSE(button("tbBack")->isEnabled());
    EXPECT_TRUE(button("tbForward")->isEnabled());

    // Without a drive both buttons are disabled.
    action("actDriveClose")->trigger();
    EXPECT_FALSE(button("tbBack")->isEnabled());
    EXPECT_FALSE(button("tbForward")->isEnabled());
}

TEST_F(MainFormTest, BackWalksRepeatedVisitsOneByOne)
{
    openDrive();
    clickNode(0);
    clickNode(Docs);  // A
    clickNode(Music); // B
    clickNode(Docs);  // A
    clickNode(Music); // B
    QList<TBaseElement*> seen;
    for (int i = 0; i < 3; ++i) {
        button("tbBack")->click();
        tree()->FlushChangeReport();
        seen << shown();
    }
    EXPECT_EQ(seen, (QList<TBaseElement*>{element(Docs), element(Music), element(Docs)}));
}

TEST_F(MainFormTest, AFailedSaveOfTheSettingsIsTold)
{
    // A regular file where the settings folder should be: the save cannot succeed.
    const QString blocked = temp.filePath(QStringLiteral("blocked"));
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const TRegistryStore::TFileOverride::Scope blockedFile(blocked + QStringLiteral("/settings.conf"));
    form.reset();
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_TRUE(prompt.asked().first().text.startsWith(QLatin1String("Can't save the settings to ")));
}
