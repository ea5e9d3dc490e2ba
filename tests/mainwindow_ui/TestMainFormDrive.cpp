#include "TMainFormFixture.h"

#include "disk/ui/TScanDiskForm.h"
#include "settings/ui/TPrefsForm.h"

#include <optional>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

// Opening, closing and failing to open a drive, and the window's state around it.

TEST_F(MainFormTest, StartsEmptyWithOnlyDriveIndependentCommands)
{
    EXPECT_EQ(form->windowTitle().left(11), QStringLiteral("Brevant Pro"));
    EXPECT_EQ(form->size(), QSize(766, 577));
    EXPECT_EQ(list()->GetViewStyle(), TFilesListView::vsDetails);
    EXPECT_TRUE(action("actViewReport")->isChecked());
    EXPECT_TRUE(action("actViewArrangeIconsByName")->isChecked());
    EXPECT_TRUE(action("actViewArrangeIconsByAZ")->isChecked());
    EXPECT_EQ(model()->SortMarkImage(0), 1);
    EXPECT_EQ(form->LastColumn, 0);

    for (const char* name :
         {"actDriveSelectDrive", "actDriveExit", "actOptionsPreferences", "actHelpContents", "actHelpAbout",
          "actHelpRecoveryGuide", "actHelpSearchForHelpOn", "actHelpHomepage"})
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    for (const char* name : {"actDriveClose", "actDriveFindFile", "actDriveInfo", "actFileRecover",
                             "actFileProperties", "actFileView", "actDriveSearchData"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
    for (const char* name : {"tbRecover", "tbSearch", "tbBack", "tbForward", "tbUp"})
        EXPECT_FALSE(button(name)->isEnabled()) << name;
    EXPECT_FALSE(tree()->isEnabled());
    EXPECT_FALSE(list()->isEnabled());
    EXPECT_TRUE(action("actFileViewAsHex")->isVisible());

    // Cancelling the drive selection changes nothing.
    action("actDriveSelectDrive")->trigger();
    EXPECT_EQ(selectCalls, 1);
    EXPECT_EQ(CurDisk, nullptr);
    EXPECT_FALSE(action("actDriveClose")->isEnabled());
}

TEST_F(MainFormTest, OpensDriveThroughStartScan)
{
    GlobalRecoveryFull = false;
    chooseFullScan = true;
    openDrive();

    ASSERT_NE(CurDisk, nullptr);
    EXPECT_EQ(engine->LastInitializedDisk(), 1);
    EXPECT_TRUE(engine->LastFullScan());
    EXPECT_TRUE(GlobalRecoveryFull);
    EXPECT_EQ(form->DriveId, 1);
    EXPECT_EQ(form->DriveChar, 'D');
    EXPECT_EQ(ScanDiskForm, nullptr);
    EXPECT_TRUE(form->findChild<QMenuBar*>(QStringLiteral("ActionMainMenuBar"))->isEnabled());
    EXPECT_TRUE(form->findChild<QWidget*>(QStringLiteral("ToolBarPanel"))->isEnabled());

    // The drive's top node, expanded, selected, with the root folder and the invented folders.
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree()->topLevelItem(0);
    EXPECT_EQ(top->text(0), QStringLiteral("D: logical drive"));
    EXPECT_EQ(top->data(0, TFoldersTreeView::ImageIndexRole).toInt(), 0);
    EXPECT_TRUE(top->isExpanded());
    EXPECT_EQ(tree()->currentItem(), top);
    EXPECT_TRUE(childNodes(top).contains(QStringLiteral("D:")));
    EXPECT_TRUE(listed().contains(QStringLiteral("D:")));
    EXPECT_EQ(listed().size(), top->childCount());

    for (const char* name : {"actDriveClose", "actDriveFindFile", "actDriveInfo"})
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    EXPECT_TRUE(button("tbSearch")->isEnabled());
    EXPECT_TRUE(tree()->isEnabled());
    EXPECT_TRUE(list()->isEnabled());
    // The tree has the focus on an element: recover and properties, not the viewers.
    EXPECT_TRUE(action("actFileRecover")->isEnabled());
    EXPECT_TRUE(button("tbRecover")->isEnabled());
    EXPECT_FALSE(action("actFileView")->isEnabled());
    EXPECT_FALSE(button("tbBack")->isEnabled());
    EXPECT_FALSE(button("tbUp")->isEnabled());

    // Closing empties both views and disables the drive commands again.
    action("actDriveClose")->trigger();
    EXPECT_EQ(CurDisk, nullptr);
    EXPECT_EQ(tree()->topLevelItemCount(), 0);
    EXPECT_EQ(model()->rowCount(), 0);
    EXPECT_FALSE(action("actDriveInfo")->isEnabled());
    EXPECT_FALSE(button("tbRecover")->isEnabled());
}

TEST_F(MainFormTest, SelectingAnotherDriveReplacesTheOpenOne)
{
    openDrive();
    form->ChangeFolder(element(Sub));
    tree()->FlushChangeReport();
    ASSERT_EQ(shown(), element(Sub));
    ASSERT_FALSE(CurDisk->MoveHistory.BackElements.IsEmpty());

    // Cancelling the selection keeps the open drive.
    chooseDrive = -1;
    action("actDriveSelectDrive")->trigger();
    ASSERT_NE(CurDisk, nullptr);
    EXPECT_EQ(shown(), element(Sub));

    // Choosing the same drive again runs the analysis from scratch with a new history.
    openDrive();
    EXPECT_EQ(engine->Calls.DiskInitialize, 2);
    ASSERT_NE(CurDisk, nullptr);
    EXPECT_EQ(shown(), CurDisk->RootElement);
    EXPECT_TRUE(CurDisk->MoveHistory.BackElements.IsEmpty());
    EXPECT_EQ(tree()->topLevelItemCount(), 1);
}

TEST_F(MainFormTest, FailedAnalysisLeavesNoDrive)
{
    engine->SetFailInitialize(true);
    openDrive();
    EXPECT_EQ(CurDisk, nullptr);
    EXPECT_EQ(tree()->topLevelItemCount(), 0);
    ASSERT_FALSE(prompt.asked().isEmpty());
    EXPECT_TRUE(prompt.asked().last().text.startsWith(QStringLiteral("Can't initialize disk!\n")));
    EXPECT_TRUE(form->findChild<QMenuBar*>(QStringLiteral("ActionMainMenuBar"))->isEnabled());
    EXPECT_TRUE(form->findChild<QWidget*>(QStringLiteral("ToolBarPanel"))->isEnabled());
    EXPECT_FALSE(action("actDriveClose")->isEnabled());
}

TEST_F(MainFormTest, CancelledScanLeavesNoDriveAndBarsWereDisabledMeanwhile)
{
    bool barsDisabled = false;
    QString headline;
    engine->SetOnFileGetNext([&](int64_t call) {
        if (call != 3 || !ScanDiskForm)
            return;
        barsDisabled = !form->findChild<QMenuBar*>(QStringLiteral("ActionMainMenuBar"))->isEnabled() &&
                       !form->findChild<QWidget*>(QStringLiteral("ToolBarPanel"))->isEnabled();
        headline = ScanDiskForm->Step1Label->text();
        ScanDiskForm->reject(); // Cancel, no confirmation asked
    });
    openDrive();
    EXPECT_TRUE(barsDisabled);
    EXPECT_EQ(headline, QStringLiteral("Searching for lost files and folders on drive D:"));
    EXPECT_EQ(CurDisk, nullptr);
    EXPECT_EQ(tree()->topLevelItemCount(), 0);
    EXPECT_TRUE(form->findChild<QMenuBar*>(QStringLiteral("ActionMainMenuBar"))->isEnabled());
    EXPECT_LT(engine->Calls.FileGetNext, 11);
}

TEST_F(MainFormTest, ClosingAsksWhenConfirmationIsOn)
{
    GlobalConfirmExit = true;
    prompt.queue(TUserPrompt::Answer::No);
    action("actDriveExit")->trigger();
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked()[0].text, QStringLiteral("Are you sure you want to quit Brevant?"));
    EXPECT_EQ(prompt.asked()[0].caption, QStringLiteral("Confirmation"));
    EXPECT_EQ(prompt.asked()[0].buttons, TUserPrompt::Buttons::YesNo);
    EXPECT_TRUE(form->isVisible());

    prompt.queue(TUserPrompt::Answer::Yes);
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());

    // Without confirmation the window closes at once.
    GlobalConfirmExit = false;
    form->show();
    const int asked = prompt.asked().size();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(prompt.asked().size(), asked);
}

TEST_F(MainFormTest, DestroyingTheWindowClosesTheDriveAndSavesSettings)
{
    openDrive();
    GlobalMainSortColumn = 3;
    form.reset();
    EXPECT_EQ(CurDisk, nullptr);
    GlobalMainSortColumn = 0;
    RegSettingsRead();
    EXPECT_EQ(GlobalMainSortColumn, 3);
}

TEST_F(MainFormTest, FirstActivationRunsTheStartupActionOnce)
{
    form.reset();
    GlobalStartupDefaultAction = sdaSelectDisk;
    int hookCalls = 0;
    std::optional<TMainForm::TFirstActivation::Scope> firstActivation;
    firstActivation.emplace([&](TMainForm&) {
        ++hookCalls;
        EXPECT_EQ(selectCalls, 0); // layout and tip come before the start-up action
    });
    form = std::make_unique<TMainForm>();
    EXPECT_TRUE(form->IsFirstActivation);
    form->FormActivate();
    EXPECT_FALSE(form->IsFirstActivation);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(selectCalls, 1);
    form->FormActivate();
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(selectCalls, 1);

    // Other start-up actions open nothing.
    form.reset();
    firstActivation.reset();
    GlobalStartupDefaultAction = sdaDriveLetter;
    form = std::make_unique<TMainForm>();
    form->FormActivate();
    EXPECT_EQ(selectCalls, 1);
}

TEST_F(MainFormTest, StatusBarShowsTheLongPartOfHints)
{
    auto* status = form->findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    ASSERT_NE(status, nullptr);
    form->ShowHint(QStringLiteral("Exit|Quits the application"));
    EXPECT_EQ(status->currentMessage(), QStringLiteral("Quits the application"));
    form->ShowHint(QString());
    EXPECT_EQ(status->currentMessage(), QStringLiteral("Press F1 for help"));
    EXPECT_EQ(action("actDriveExit")->statusTip(), QStringLiteral("Quits the application"));
    EXPECT_EQ(button("tbBack")->statusTip(), QStringLiteral("Back to previously viewed folder"));
    EXPECT_EQ(button("tbBack")->toolTip(), QStringLiteral("Back"));
}

TEST_F(MainFormTest, PreferencesCommandOpensThePreferencesWindow)
{
    openDrive();
    const int before = prompt.asked().size();
    int shown = 0;
    const TPrefsForm::TModalAnswer::Scope answer([&](TPrefsForm& prefs) {
        ++shown;
        EXPECT_EQ(prefs.parentWidget(), form.get());
        prefs.reject();
    });
    action("actOptionsPreferences")->trigger();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(prompt.asked().size(), before);
}
