#include "viewers/ui/TFilePropertiesForm.h"

#include "support/TestApp.h"
#include "disk/TBaseElement.h"
#include "periphery/THelpWindow.h"
#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "viewers/TFileProperties.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QThreadPool>
#include <QTest>
#include <QTimer>

#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <functional>

namespace {

class FilePropertiesFormTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testApp(); }
    void TearDown() override { delete THelpWindow::Instance(false); }

    // Runs inspect on the modal window the call opens, then closes it with OK.
    static bool runModal(const std::function<bool()>& call, const std::function<void(QWidget*)>& inspect)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            seen = modal != nullptr;
            if (!modal)
                return;
            inspect(modal);
            if (auto* ok = modal->findChild<QPushButton*>(QStringLiteral("Button1")))
                ok->click();
        });
        const bool result = call();
        QCoreApplication::processEvents();
        return result && seen;
    }

    static QString text(QWidget* w, const char* name)
    {
        auto* edit = w->findChild<QLineEdit*>(QLatin1String(name));
        return edit ? edit->text() : QStringLiteral("<missing>");
    }

    static int visibleImage(QWidget* w)
    {
        int shown = -1;
        for (int i = 0; i < TFilePropertiesForm::ImageCount; ++i) {
            auto* image = w->findChild<QLabel*>(QStringLiteral("GeneralFileImage%1").arg(i));
            if (image && image->isVisibleTo(w)) {
                if (shown >= 0)
                    return -2; // more than one
                shown = i;
            }
        }
        return shown;
    }
};

} // namespace

TEST_F(FilePropertiesFormTest, StartsWithPlaceholdersAndOnlyTheGeneralPage)
{
    TFilePropertiesForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Properties"));
    EXPECT_EQ(form.size(), QSize(359, 416));
    const char* fields[] = {"GeneralFileNameEdit",       "GeneralFileIdEdit",       "GeneralFileStatusEdit",
                            "GeneralFileTypeEdit",       "GeneralFileLocationEdit", "GeneralFileSizeEdit",
                            "GeneralFileSizeOnDiskEdit", "GeneralFileCreatedEdit",  "GeneralFileModifiedEdit",
                            "GeneralFileAccessedEdit"};
    for (const char* name : fields) {
        auto* edit = form.findChild<QLineEdit*>(QLatin1String(name));
        ASSERT_NE(edit, nullptr) << name;
        EXPECT_EQ(edit->text(), QStringLiteral("---")) << name;
        EXPECT_TRUE(edit->isReadOnly()) << name;
    }
    EXPECT_EQ(visibleImage(&form), -1);
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl"));
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), 2);
    EXPECT_TRUE(pages->isTabVisible(0));
    EXPECT_FALSE(pages->isTabVisible(1));
    EXPECT_EQ(pages->currentIndex(), 0);
}

TEST_F(FilePropertiesFormTest, ShowsADeletedFileAndALiveFolderWithDeletedContent)
{
    TBaseElement root;
    root.TrueID = 0;
    root.Name = QStringLiteral("D:");
    root.Flags = flag_IS_DIRECTORY | flag_HAS_CHILD_DELETED;
    TBaseElement file;
    file.TrueID = 33;
    file.Name = QStringLiteral("report.txt");
    file.Flags = flag_IS_DELETED;
    file.Size = 4096;
    file.Parent = &root;
    file.Recovery = TRecoverability::Rating::Partial;
    file.RecoveryPercent = 40;

    ASSERT_TRUE(runModal([&] { return ShowFileProperties(&file); },
                         [&](QWidget* w) {
                             EXPECT_EQ(w->windowTitle(), QStringLiteral("report.txt Properties"));
                             EXPECT_EQ(text(w, "GeneralFileNameEdit"), QStringLiteral("report.txt"));
                             EXPECT_EQ(text(w, "GeneralFileIdEdit"), QStringLiteral("33"));
                             EXPECT_EQ(text(w, "GeneralFileStatusEdit"), QStringLiteral("Deleted"));
                             EXPECT_EQ(text(w, "GeneralFileLocationEdit"), QStringLiteral("D:\\"));
                             EXPECT_EQ(text(w, "GeneralFileSizeOnDiskEdit"), text(w, "GeneralFileSizeEdit"));
                             EXPECT_EQ(visibleImage(w), TFileProperties::fpDeletedFile);
                             // The rated file has its Recovery page, the folder below has none.
                             auto* pages = w->findChild<QTabWidget*>(QStringLiteral("PageControl"));
                             EXPECT_TRUE(pages->isTabVisible(1));
                             EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("RecoveryVerdictLabel"))->text(),
                                       QStringLiteral("Partially possible"));
                             EXPECT_TRUE(w->findChild<QPlainTextEdit*>(QStringLiteral("RecoveryMemo"))
                                             ->toPlainText()
                                             .startsWith(QStringLiteral("Partly overwritten: 40 %")));
                         }));

    ASSERT_TRUE(
        runModal([&] { return ShowFileProperties(&root); },
                 [&](QWidget* w) {
                     EXPECT_EQ(text(w, "GeneralFileStatusEdit"), QStringLiteral("Live, but contain deleted"));
                     EXPECT_EQ(text(w, "GeneralFileTypeEdit"), QStringLiteral("Folder"));
                     EXPECT_EQ(text(w, "GeneralFileLocationEdit"), QStringLiteral("\\"));
                     EXPECT_EQ(visibleImage(w), TFileProperties::fpFolderWithDeleted);
                     EXPECT_FALSE(w->findChild<QTabWidget*>(QStringLiteral("PageControl"))->isTabVisible(1));
                 }));
}

TEST_F(FilePropertiesFormTest, NoElementShowsNothing)
{
    bool shown = false;
    QTimer::singleShot(0, [&] { shown = QApplication::activeModalWidget() != nullptr; });
    EXPECT_FALSE(ShowFileProperties(nullptr));
    QCoreApplication::processEvents();
    EXPECT_FALSE(shown);
}

TEST_F(FilePropertiesFormTest, HelpButtonAndF1OpenTheWindowsHelpPage)
{
    TScriptedPrompt prompt;
    TFilePropertiesForm form;
    form.findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    ASSERT_NE(THelpWindow::Instance(false), nullptr);
    EXPECT_EQ(THelpWindow::Instance(false)->CurrentPage(), QLatin1String(TFilePropertiesForm::HelpKeyword));
    delete THelpWindow::Instance(false);
    QTest::keyClick(&form, Qt::Key_F1);
    ASSERT_NE(THelpWindow::Instance(false), nullptr);
    EXPECT_TRUE(prompt.asked().isEmpty());
}

namespace {

// A deleted file some of whose clusters are in use: the Recovery page's button asks the
// engine, off the GUI thread, which live files hold them and adds the answer to the details.
TEST(FilePropertiesOwners, ButtonAddsTheEnginesAnswerToTheDetails)
{
    testApp();
    TScriptedEngine engine;
    engine.SetOwners(33, {QStringLiteral("/Keep/new1.bin"), QStringLiteral("/Keep/new2.bin")});
    engine.SetOwners(34, {}, true, QStringLiteral("No disk is initialised."));
    TBaseElement file;
    file.TrueID = 33;
    file.Name = QStringLiteral("report.txt");
    file.Flags = flag_IS_DELETED;
    file.Size = 4096;
    file.Recovery = TRecoverability::Rating::Overwritten;

    // Clicks the button and waits for the answer; whether it may be asked again goes to retry.
    auto ask = [](TFilePropertiesForm& form, bool& retry) {
        auto* button = form.findChild<QPushButton*>(QStringLiteral("RecoveryOwnersButton"));
        EXPECT_FALSE(button->isHidden());
        auto* memo = form.findChild<QPlainTextEdit*>(QStringLiteral("RecoveryMemo"));
        const int lines = memo->blockCount();
        button->click();
        EXPECT_FALSE(button->isEnabled()) << "one search at a time";
        EXPECT_TRUE(QTest::qWaitFor([&] { return memo->blockCount() > lines; }, 5000));
        retry = button->isEnabled();
        return memo->toPlainText();
    };
    bool retry = true;
    {
        TFilePropertiesForm form;
        form.FillFrom(TFileProperties(file));
        const QString memo = ask(form, retry);
        EXPECT_FALSE(retry);
        EXPECT_TRUE(memo.startsWith(QStringLiteral("Overwritten"))) << memo.toStdString();
        EXPECT_TRUE(
            memo.endsWith(QStringLiteral("Its clusters now belong to:\n/Keep/new1.bin\n/Keep/new2.bin")))
            << memo.toStdString();
    }
    file.TrueID = 34;
    file.Recovery = TRecoverability::Rating::Guess;
    {
        TFilePropertiesForm form;
        form.FillFrom(TFileProperties(file));
        EXPECT_TRUE(ask(form, retry).endsWith(QStringLiteral("could not be found: No disk is initialised.")));
        EXPECT_TRUE(retry);
    }
    // A window closed before the answer comes drops it.
    {
        auto* form = new TFilePropertiesForm;
        form->FillFrom(TFileProperties(file));
        form->findChild<QPushButton*>(QStringLiteral("RecoveryOwnersButton"))->click();
        delete form;
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(engine.OwnerCalls(), 3);
    // Free clusters have no owners to ask for.
    file.Recovery = TRecoverability::Rating::Intact;
    TFilePropertiesForm form;
    form.FillFrom(TFileProperties(file));
    EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("RecoveryOwnersButton"))->isHidden());
}

} // namespace
