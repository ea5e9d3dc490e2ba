#include "TMainFormFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>

// Browsing the open drive: tree clicks, list keys, folder moves, the deleted-only filter.

TEST_F(MainFormTest, ClickingFoldersShowsTheirContent)
{
    openDrive();
    clickNode(0); // the root folder "D:"
    EXPECT_EQ(shown(), element(0));
    EXPECT_EQ(form->AddressComboBox()->currentText(), QStringLiteral("D:\\"));
    EXPECT_EQ(listed(), (QStringList{"Docs", "Even", "Music", "Odd", "readme.txt", "Trash"}));
    // The first row in sort order is the only selected one.
    EXPECT_EQ(list()->SelectedRows(), QList<int>{0});

    // Node children are sorted and carry their images.
    QTreeWidgetItem* root = tree()->FindNode(element(0));
    EXPECT_EQ(childNodes(root), (QStringList{"Docs", "Even", "Music", "Odd", "Trash"}));
    QTreeWidgetItem* docs = tree()->FindNode(element(Docs));
    EXPECT_EQ(docs->data(0, TFoldersTreeView::ImageIndexRole).toInt(), 7);
    EXPECT_EQ(docs->data(0, TFoldersTreeView::SelectedImageIndexRole).toInt(), 8);
    EXPECT_EQ(tree()->FindNode(element(Music))->data(0, TFoldersTreeView::ImageIndexRole).toInt(), 3);
    EXPECT_EQ(tree()->FindNode(element(Trash))->data(0, TFoldersTreeView::ImageIndexRole).toInt(), 5);

    clickNode(Docs);
    EXPECT_EQ(form->AddressComboBox()->currentText(), QStringLiteral("D:\\Docs\\"));
    EXPECT_EQ(listed(), (QStringList{"old.txt", "report.doc", "Sub"}));
    const int sub = listed().indexOf(QStringLiteral("Sub"));
    EXPECT_EQ(model()->Text(sub, TFileListModel::colType), QStringLiteral("Folder"));
    EXPECT_EQ(model()->Text(sub, TFileListModel::colCondition), QStringLiteral("Contain Deleted"));
    EXPECT_EQ(model()->ImageIndex(sub), 7);
    const int old = listed().indexOf(QStringLiteral("old.txt"));
    EXPECT_EQ(model()->Text(old, TFileListModel::colSize), QStringLiteral("2 KB"));
    EXPECT_EQ(model()->Text(old, TFileListModel::colCondition), QStringLiteral("Deleted"));
    EXPECT_EQ(model()->ImageIndex(old), 10);

    // An empty folder: no rows, no selection.
    clickNode(Sub);
    form->ChangeFolder(element(Deep)); // a file: goes to its folder
    EXPECT_EQ(shown(), element(Sub));
    EXPECT_EQ(listed(), QStringList{"deep.txt"});
}

// A click on a node below an expanded sibling closes the sibling, so the rows move
// under the mouse between press and release; the node pressed stays the one shown.
TEST_F(MainFormTest, TreeHighlightListAndCommandsAgreeAfterClicksThatCloseASibling)
{
    openDrive();
    clickNode(0);
    const auto expectShown = [&](int64_t id, const char* path) {
        QTRY_VERIFY_WITH_TIMEOUT(!tree()->ChangeReportPending(), 5000);
        QCoreApplication::processEvents();
        QTreeWidgetItem* node = tree()->FindNode(element(id));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(tree()->currentItem(), node) << path;
        EXPECT_EQ(tree()->selectedItems(), QList<QTreeWidgetItem*>{node}) << path;
        EXPECT_EQ(form->AddressComboBox()->currentText(), QLatin1String(path));
        EXPECT_EQ(CurDisk->MoveHistory.CurElement, element(id)) << path;
        tree()->setFocus();
        form->CheckState();
        EXPECT_EQ(form->SelectedElements(), QList<TBaseElement*>{element(id)}) << path;
    };
    // Without flushing the delayed report: it arrives on its own, as for a user.
    const auto click = [&](int64_t id) {
        QTreeWidgetItem* node = tree()->FindNode(element(id));
        ASSERT_NE(node, nullptr);
        const QPoint at = tree()->visualItemRect(node).center();
        QTest::mouseMove(tree()->viewport(), at);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    };

    click(Docs); // opens Docs: Sub appears below it
    expectShown(Docs, "D:\\Docs\\");
    click(Even); // closes Docs: Even moves up one row, Music comes under the mouse
    expectShown(Even, "D:\\Even\\");
    EXPECT_EQ(model()->rowCount(), 1000);
    click(Docs);
    expectShown(Docs, "D:\\Docs\\");
    click(Trash); // the last node: after Docs closes, nothing is under the mouse
    expectShown(Trash, "D:\\Trash\\");
    EXPECT_EQ(listed(), QStringList{"gone.bin"});
}

TEST_F(MainFormTest, TheDelayedSelectionReportShowsTheFolder)
{
    openDrive();
    QTreeWidgetItem* root = tree()->FindNode(element(0));
    ASSERT_NE(root, nullptr);
    tree()->setCurrentItem(root);
    EXPECT_TRUE(tree()->ChangeReportPending());
    // Nothing is shown until the report arrives.
    EXPECT_FALSE(listed().contains(QStringLiteral("readme.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(listed().contains(QStringLiteral("readme.txt")), 5000);
    EXPECT_EQ(CurDisk->MoveHistory.CurElement, element(0));
}

TEST_F(MainFormTest, ListKeysAndDoubleClickOpenFolders)
{
    openDrive();
    clickNode(0);
    list()->SetFocus();
    QTreeView* details = list()->detailsView();

    // Enter on a folder row opens it.
    list()->SelectOnly(listed().indexOf(QStringLiteral("Docs")));
    QTest::keyClick(details, Qt::Key_Return);
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Docs));
    EXPECT_EQ(listed(), (QStringList{"old.txt", "report.doc", "Sub"}));

    // Double-click on a folder row.
    const int sub = listed().indexOf(QStringLiteral("Sub"));
    const QRect rect = details->visualRect(model()->index(sub, 0));
    QTest::mouseClick(details->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseDClick(details->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Sub));

    // Double-click and Enter on a file row do nothing.
    list()->SelectOnly(0);
    form->FilesListViewDblClick();
    QTest::keyClick(details, Qt::Key_Enter);
    EXPECT_EQ(shown(), element(Sub));

    // Backspace goes up level by level; the root folder hangs under the drive's top
    // without a parent link, so it is as far as Backspace goes.
    QTest::keyClick(details, Qt::Key_Backspace);
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Docs));
    QTest::keyClick(details, Qt::Key_Backspace);
    QTest::keyClick(details, Qt::Key_Backspace);
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(0));
}

TEST_F(MainFormTest, UpButtonAndChangeFolderGoLevelByLevel)
{
    openDrive();
    // A folder two levels below nodes that were never expanded.
    form->ChangeFolder(element(Sub));
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Sub));
    EXPECT_EQ(form->AddressComboBox()->currentText(), QStringLiteral("D:\\Docs\\Sub\\"));
    EXPECT_TRUE(list()->HasFocus());
    EXPECT_TRUE(button("tbUp")->isEnabled());

    button("tbUp")->click();
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Docs));
    button("tbUp")->click();
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(0));
    // The root folder has no parent: Up ends here.
    EXPECT_FALSE(button("tbUp")->isEnabled());
    form->tbUpClick();
    EXPECT_EQ(shown(), element(0));

    // The orphan's invented folder is reachable from the top too.
    TBaseElement* orphan = element(Orphan);
    ASSERT_NE(orphan, nullptr);
    ASSERT_NE(orphan->Parent, nullptr);
    form->ChangeFolder(orphan);
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), orphan->Parent);
    EXPECT_TRUE(listed().contains(QStringLiteral("orphan.dat")));
}

TEST_F(MainFormTest, SelectElementInListShowsAndSelectsIt)
{
    openDrive();
    form->SelectElementInLIst(element(Old));
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Docs));
    const QList<int> rows = list()->SelectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(model()->ElementAt(rows[0]), element(Old));
    EXPECT_EQ(CurDisk->MoveHistory.CurElement, element(Docs));

    form->SelectElementInLIst(element(Music));
    tree()->FlushChangeReport();
    EXPECT_EQ(shown(), element(Music));
    EXPECT_EQ(CurDisk->MoveHistory.CurElement, element(Music));

    // The drive's top has no parent: nothing happens.
    form->SelectElementInLIst(CurDisk->RootElement);
    EXPECT_EQ(shown(), element(Music));
}

TEST_F(MainFormTest, SelectedElementSurvivesTheDelayedSelectionReport)
{
    openDrive();
    // report.doc sorts after old.txt; whatever the tree still reports of the move to
    // Docs must not refill the list.
    form->SelectElementInLIst(element(Report));
    tree()->FlushChangeReport();
    QTest::qWait(3 * TFoldersTreeView::ChangeDelayMs);
    EXPECT_EQ(shown(), element(Docs));
    const QList<int> rows = list()->SelectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(model()->ElementAt(rows[0]), element(Report));
    EXPECT_EQ(model()->ElementAt(list()->currentView()->currentIndex().row()), element(Report));
    EXPECT_EQ(form->SelectedElements(), QList<TBaseElement*>{element(Report)});
}

TEST_F(MainFormTest, ShowOnlyDeletedRebuildsTheTree)
{
    openDrive();
    form->ChangeFolder(element(Sub));
    tree()->FlushChangeReport();

    action("actViewOnlyDeleted")->trigger();
    tree()->FlushChangeReport();
    EXPECT_TRUE(GlobalShowOnlyDeleted);
    EXPECT_TRUE(action("actViewOnlyDeleted")->isChecked());
    // Back at the drive's top.
    EXPECT_EQ(shown(), CurDisk->RootElement);

    // A live folder without deleted content gets no node; the one with deleted content does.
    clickNode(0);
    EXPECT_EQ(childNodes(tree()->FindNode(element(0))), (QStringList{"Docs", "Trash"}));
    EXPECT_EQ(listed(), (QStringList{"Docs", "Trash"}));
    clickNode(Docs);
    EXPECT_EQ(listed(), (QStringList{"old.txt", "Sub"}));
    EXPECT_EQ(model()->Text(listed().indexOf(QStringLiteral("Sub")), TFileListModel::colCondition),
              QStringLiteral("Contain Deleted"));

    // The history survives the rebuild.
    EXPECT_FALSE(CurDisk->MoveHistory.BackElements.IsEmpty());

    action("actViewOnlyDeleted")->trigger();
    tree()->FlushChangeReport();
    EXPECT_FALSE(GlobalShowOnlyDeleted);
    EXPECT_FALSE(action("actViewOnlyDeleted")->isChecked());
    EXPECT_EQ(shown(), CurDisk->RootElement);
    clickNode(0);
    EXPECT_EQ(listed(), (QStringList{"Docs", "Even", "Music", "Odd", "readme.txt", "Trash"}));
}

TEST_F(MainFormTest, ContextMenusAndFocusDecideTheFileCommands)
{
    openDrive();
    clickNode(0);
    clickNode(Docs);
    tree()->setFocus();
    form->CheckState();
    EXPECT_EQ(form->SelectedElements(), QList<TBaseElement*>{element(Docs)});
    EXPECT_TRUE(action("actFileProperties")->isEnabled());

    list()->SetFocus();
    list()->SelectOnly(0);
    QItemSelectionModel* selection = list()->selectionModel();
    selection->select(model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form->CheckState();
    EXPECT_EQ(form->SelectedElements(), (QList<TBaseElement*>{model()->ElementAt(0), model()->ElementAt(2)}));
    EXPECT_TRUE(action("actFileProperties")->isEnabled());

    // Without a selected row the list gives nothing to act on.
    list()->ClearSelection();
    form->CheckState();
    EXPECT_FALSE(action("actFileRecover")->isEnabled());

    auto* filesMenu = form->findChild<QMenu*>(QStringLiteral("FilesPopupMenu"));
    auto* foldersMenu = form->findChild<QMenu*>(QStringLiteral("FoldersPopupMenu"));
    ASSERT_NE(filesMenu, nullptr);
    ASSERT_NE(foldersMenu, nullptr);
    EXPECT_EQ(filesMenu->actions().first(), action("actFileRecover"));
    EXPECT_EQ(filesMenu->actions().last(), action("actFileProperties"));
    EXPECT_TRUE(filesMenu->actions().at(1)->isSeparator());
}

TEST_F(MainFormTest, HourglassOnlyAboveAThousandChildren)
{
    openDrive();
    clickNode(0);
    bool busy = false;
    const QMetaObject::Connection watch =
        QObject::connect(model(), &QAbstractItemModel::modelReset, form.get(), [&] {
            busy =
                QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        });
    clickNode(Even);
    EXPECT_EQ(model()->rowCount(), 1000);
    EXPECT_FALSE(busy);
    clickNode(Odd);
    EXPECT_EQ(model()->rowCount(), 1001);
    EXPECT_TRUE(busy);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QObject::disconnect(watch);
}

TEST_F(MainFormTest, ShortcutsReachTheirCommands)
{
    openDrive();
    clickNode(0);
    list()->SetFocus();
    QTest::keyClick(list()->detailsView(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(wizardCalls, 1);
    // With the focus in the tree the wizard gets the selected folder.
    tree()->setFocus();
    form->CheckState();
    QTest::keyClick(tree(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(wizardCalls, 2);

    const int calls = selectCalls;
    chooseDrive = -1;
    QTest::keyClick(list()->detailsView(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(selectCalls, calls + 1);
    EXPECT_NE(CurDisk, nullptr);
}
