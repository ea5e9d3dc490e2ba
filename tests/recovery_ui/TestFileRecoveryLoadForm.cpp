#include "support/TScriptedPrompt.h"
#include "support/TestApp.h"
#include "recovery/ui/TFileRecoveryLoadForm.h"
#include "settings/Settings.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The loading window's cancel: granted at once without confirmations, else only on OK.

namespace {

class LoadForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApp();
        saved = GlobalConfirmInterrupt;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override { GlobalConfirmInterrupt = saved; }

    bool saved = false;
    TFileRecoveryLoadForm form;
};

} // namespace

TEST_F(LoadForm, StartsEmptyWithItsTexts)
{
    TFileRecoveryLoadForm fresh;
    EXPECT_FALSE(fresh.isVisible());
    EXPECT_FALSE(fresh.StopLoad);
    EXPECT_EQ(fresh.windowTitle(), QStringLiteral("Loading file list... "));
    EXPECT_EQ(fresh.Step1Label->text(), QStringLiteral("Please wait..."));
    EXPECT_TRUE(fresh.Label1->text().isEmpty());
    EXPECT_TRUE(fresh.ButtonCancel->isDefault());
}

TEST_F(LoadForm, CancelWithoutConfirmationStopsAtOnce)
{
    GlobalConfirmInterrupt = false;
    TScriptedPrompt prompt;
    QTest::mouseClick(form.ButtonCancel, Qt::LeftButton);
    EXPECT_TRUE(form.StopLoad);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(prompt.asked().isEmpty());
}

TEST_F(LoadForm, ConfirmedCancelAsksAndOnlyOkStops)
{
    GlobalConfirmInterrupt = true;
    TScriptedPrompt prompt;
    prompt.queue(TUserPrompt::Answer::Cancel);
    QTest::mouseClick(form.ButtonCancel, Qt::LeftButton);
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked()[0].text, QStringLiteral("Are you sure you want to stop file list load?"));
    EXPECT_EQ(prompt.asked()[0].caption, QStringLiteral("Confirmation"));
    EXPECT_EQ(prompt.asked()[0].buttons, TUserPrompt::Buttons::OkCancel);
    EXPECT_FALSE(form.StopLoad);
    EXPECT_TRUE(form.isVisible());

    // Esc and the close box ask the same way; OK stops and only hides the window.
    prompt.queue(TUserPrompt::Answer::Ok);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(prompt.asked().size(), 2);
    EXPECT_TRUE(form.StopLoad);
    EXPECT_FALSE(form.isVisible());
}
