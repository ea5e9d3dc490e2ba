#include "mainwindow_ui/TMainFormFixture.h"
#include "recovery/ui/TStateTreeView.h"
#include "search/ui/TFileFindForm.h"
#include "support/TTestClock.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <functional>

// The find window over the main window's drive D:, driven through its controls.

namespace {

class FindFormTest : public MainFormTest
{
protected:
    // Opens the find window from the main window's command; body drives it.
    void find(const std::function<void(TFileFindForm&)>& body)
    {
        const TFileFindForm::TModalAnswer::Scope driven([&](TFileFindForm& window) {
            window.show();
            QApplication::setActiveWindow(&window);
            EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
            body(window);
        });
        action("actDriveFindFile")->trigger();
    }
    static void search(TFileFindForm& window, const QString& mask)
    {
        window.FilenameEdit->setText(mask);
        QTest::mouseClick(window.StartButton, Qt::LeftButton);
    }
    static QStringList hits(const TFileFindForm& window)
    {
        QStringList names;
        for (int r = 0; r < window.Results().rowCount(); ++r)
            names << window.Results().Text(r, TFileListModel::colName);
        return names;
    }
    static void selectHit(TFileFindForm& window, const QString& name, bool add = false)
    {
        const int row = hits(window).indexOf(name);
        ASSERT_GE(row, 0) << name.toStdString();
        window.ResultsListView->selectionModel()->select(
            window.Results().index(row, 0),
            (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
                QItemSelectionModel::Rows);
    }
};

} // namespace

TEST_F(FindFormTest, SearchListsEachHitOnceAndGoToFileSelectsItInTheMainWindow)
{
    openDrive();
    find([&](TFileFindForm& window) {
        EXPECT_TRUE(window.CancelButton->isVisible());
        EXPECT_FALSE(window.StopButton->isVisible());
        EXPECT_FALSE(window.DateStartDateTimePicker->isEnabled());
        window.DateBetweenCheckBox->click();
        EXPECT_TRUE(window.DateStartDateTimePicker->isEnabled());
        window.DateBetweenCheckBox->click();

        search(window, QStringLiteral("*.txt"));
        // Live ones by id, then the deleted ones the live pass had not listed: none twice.
        EXPECT_EQ(hits(window), (QStringList{"deep.txt", "old.txt", "readme.txt"}));
        EXPECT_EQ(window.StatusText(1), QStringLiteral("Found 3 files and 0 folders."));
        EXPECT_FALSE(window.miFileGoTo->isEnabled());

        selectHit(window, QStringLiteral("deep.txt"));
        EXPECT_TRUE(window.miFileGoTo->isEnabled());
        window.ResultsListView->setFocus();
        QTest::keyClick(window.ResultsListView, Qt::Key_Return);
        EXPECT_EQ(window.result(), QDialog::Accepted);
    });
    EXPECT_EQ(shown(), element(Sub));
    EXPECT_EQ(model()->ElementAt(list()->SelectedRow()), element(Deep));
}

TEST_F(FindFormTest, StopEndsOnePassWhileRecoverStillWorks)
{
    openDrive();
    const TEveryTurnClock everyTurn;
    QStringList recovered;
    const TRecoveryForm::TModalAnswer::Scope wizard([&](TRecoveryForm& wizardForm) {
        const TStateTree& tree = wizardForm.FilesTreeView->Tree();
        for (TStateTree::NodeId node : tree.Children(-1))
            recovered << tree.Text(node);
    });
    find([&](TFileFindForm& window) {
        // At the first turn the live pass hands over: Stop is pressed there, by Esc.
        bool seen = false;
        QTimer::singleShot(0, &window, [&] {
            seen = true;
            EXPECT_TRUE(window.StopButton->isVisible());
            EXPECT_FALSE(window.StartButton->isEnabled());
            EXPECT_FALSE(window.FilenameEdit->isEnabled());
            QTest::keyClick(&window, Qt::Key_Escape);
        });
        search(window, QStringLiteral("*"));
        EXPECT_TRUE(seen);
        EXPECT_TRUE(window.isVisible()) << "Esc during a search stops, it does not close";
        // The deleted passes still ran after the stopped live pass.
        const QStringList found = hits(window);
        for (const char* name : {"deep.txt", "old.txt", "gone.bin", "orphan.dat", "Trash"})
            EXPECT_TRUE(found.contains(QLatin1String(name))) << name;
        EXPECT_FALSE(found.contains(QStringLiteral("song.mp3")));

        selectHit(window, QStringLiteral("old.txt"));
        selectHit(window, QStringLiteral("gone.bin"), true);
        window.miFileRecover->trigger();
    });
    EXPECT_EQ(recovered, (QStringList{"old.txt", "gone.bin"}));
}

TEST_F(FindFormTest, BadMaskOrIdIsToldAndLeavesNoResults)
{
    openDrive();
    TBaseElement* before = shown();
    find([&](TFileFindForm& window) {
        search(window, QStringLiteral("*"));
        ASSERT_GT(window.Results().rowCount(), 0);
        search(window, QStringLiteral("[abc"));
        EXPECT_EQ(window.Results().rowCount(), 0);
        window.FilenameEdit->setText(QStringLiteral("*"));
        window.IdEdit->setText(QStringLiteral("seven"));
        QTest::mouseClick(window.StartButton, Qt::LeftButton);
        EXPECT_EQ(window.Results().rowCount(), 0);
        EXPECT_TRUE(window.StartButton->isEnabled());

        // With an id, the name does not matter.
        window.IdEdit->setText(QString::number(Song));
        search(window, QStringLiteral("nothing"));
        EXPECT_EQ(hits(window), QStringList{"song.mp3"});
        window.CancelButton->click();
    });
    ASSERT_GE(prompt.asked().size(), 2);
    const int n = prompt.asked().size();
    EXPECT_EQ(prompt.asked()[n - 2].text, QStringLiteral("'[abc' is an invalid mask at (5)"));
    EXPECT_EQ(prompt.asked()[n - 1].text, QStringLiteral("'seven' is not a valid integer value"));
    EXPECT_EQ(shown(), before) << "a window closed with Cancel goes nowhere";
}
