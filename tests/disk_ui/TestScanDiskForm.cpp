#include "support/TestApp.h"

#include "disk/TBaseDisk.h"
#include "disk/ui/TScanDiskForm.h"
#include "settings/Settings.h"
#include "support/TScriptedPrompt.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

namespace {

using Answer = TUserPrompt::Answer;

class ScanDiskFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApp();
        m_savedConfirm = GlobalConfirmInterrupt;
        StopScan = true; // a leftover of an earlier scan
    }
    void TearDown() override { GlobalConfirmInterrupt = m_savedConfirm; }

    bool m_savedConfirm = false;
};

TEST_F(ScanDiskFormTest, StartsWithItsControlsAndClearsTheStopFlag)
{
    TScanDiskForm form;
    EXPECT_FALSE(StopScan);
    EXPECT_EQ(form.windowTitle(), "Analyzing Drive... Please wait...");
    EXPECT_EQ(form.size(), QSize(349, 102));
    EXPECT_EQ(form.findChild<QLabel*>("Step1Label"), form.Step1Label);
    EXPECT_EQ(form.findChild<QProgressBar*>("Progress"), form.Progress);
    EXPECT_EQ(form.findChild<QLabel*>("FileLabel"), form.FileLabel);
    EXPECT_EQ(form.findChild<QPushButton*>("ButtonCancel"), form.ButtonCancel);
    EXPECT_EQ(form.findChild<QLabel*>("Step1LabelHidden"), form.Step1LabelHidden);
    EXPECT_EQ(form.Step1LabelHidden->text(), "Searching for lost files and folders on drive %s:");
    EXPECT_TRUE(form.Step1LabelHidden->isHidden());
    EXPECT_TRUE(form.Step1Label->text().isEmpty());
    EXPECT_EQ(form.ButtonCancel->text(), "Cancel");
    EXPECT_TRUE(form.ButtonCancel->isDefault());
    EXPECT_EQ(form.Progress->width(), 321);
    EXPECT_EQ(form.Progress->value(), 0);
}

TEST_F(ScanDiskFormTest, CancelAnsweredCancelKeepsScanning)
{
    GlobalConfirmInterrupt = true;
    TScriptedPrompt prompt(Answer::Cancel);
    TScanDiskForm form;
    form.show();

    form.ButtonCancel->click();
    QTest::keyClick(&form, Qt::Key_Escape);
    form.close(); // the title bar's close button
    ASSERT_EQ(prompt.asked().size(), 3);
    for (const auto& asked : prompt.asked()) {
        EXPECT_EQ(asked.text, "Are you sure you want to stop drive opening?");
        EXPECT_EQ(asked.caption, "Confirmation");
        EXPECT_EQ(asked.buttons, TUserPrompt::Buttons::OkCancel);
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(StopScan);
}

TEST_F(ScanDiskFormTest, CancelAnsweredOkStops)
{
    GlobalConfirmInterrupt = true;
    TScriptedPrompt prompt(Answer::Ok);
    TScanDiskForm form;
    form.show();

    form.ButtonCancel->click();
    EXPECT_EQ(prompt.asked().size(), 1); // asked once, not again by the close that follows
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(StopScan);
}

TEST_F(ScanDiskFormTest, CancelWithoutConfirmationStopsAtOnce)
{
    GlobalConfirmInterrupt = false;
    TScriptedPrompt prompt(Answer::Cancel);
    for (int way = 0; way < 3; ++way) {
        TScanDiskForm form;
        form.show();
        if (way == 0) {
            form.ButtonCancel->click();
        } else if (way == 1) {
            QTest::keyClick(&form, Qt::Key_Escape);
        } else {
            form.close();
        }
        EXPECT_FALSE(form.isVisible()) << way;
        EXPECT_TRUE(StopScan) << way;
    }
    EXPECT_TRUE(prompt.asked().isEmpty());
}

TEST_F(ScanDiskFormTest, PumpingServesAPendingCancel)
{
    GlobalConfirmInterrupt = false;
    TScanDiskForm form;
    form.show();
    TScanProgress& progress = form;
    progress.SetMaximum(100);
    progress.SetPosition(1);
    QCoreApplication::postEvent(form.ButtonCancel,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    EXPECT_FALSE(StopScan);
    progress.PumpMessages();
    EXPECT_TRUE(StopScan);
}

TEST_F(ScanDiskFormTest, ProgressMapsAnyCountOntoTheBar)
{
    TScanDiskForm form;
    form.SetMaximum(10);
    form.SetPosition(5);
    EXPECT_EQ(form.Progress->maximum(), 10);
    EXPECT_EQ(form.Progress->value(), 5);
    form.SetPosition(11); // past the end
    EXPECT_EQ(form.Progress->value(), 10);
    form.SetPosition(-3);
    EXPECT_EQ(form.Progress->value(), 0);

    // Counts beyond the bar's int range keep their proportion.
    const int64_t huge = int64_t(1) << 40;
    form.SetMaximum(huge);
    form.SetPosition(huge / 2);
    EXPECT_GT(form.Progress->maximum(), 1 << 30);
    EXPECT_NEAR(double(form.Progress->value()) / form.Progress->maximum(), 0.5, 1e-6);
    form.SetPosition(huge);
    EXPECT_EQ(form.Progress->value(), form.Progress->maximum());
    form.SetMaximum(std::numeric_limits<int64_t>::max());
    form.SetPosition(std::numeric_limits<int64_t>::max());
    EXPECT_EQ(form.Progress->value(), form.Progress->maximum());

    // An empty drive shows an empty bar, not a busy one; a negative count is empty too.
    form.SetMaximum(0);
    EXPECT_GT(form.Progress->maximum(), form.Progress->minimum());
    EXPECT_EQ(form.Progress->value(), 0);
    form.SetMaximum(-7);
    form.SetPosition(3);
    EXPECT_EQ(form.Progress->value(), 0);
}

TEST_F(ScanDiskFormTest, FileLabelShowsNamesAsPlainText)
{
    TScanDiskForm form;
    form.SetFileLabel("<b>report</b>.doc (42)");
    EXPECT_EQ(form.FileLabel->textFormat(), Qt::PlainText);
    EXPECT_EQ(form.FileLabel->text(), "<b>report</b>.doc (42)");

    // A long name is shortened to the label, never widening the window.
    const QString longName = QString(500, QLatin1Char('n')) + " (7)";
    form.SetFileLabel(longName);
    EXPECT_EQ(form.fileLabelText(), longName);
    EXPECT_LT(form.FileLabel->text().size(), longName.size());
    EXPECT_EQ(form.size(), QSize(349, 102));
}

TEST_F(ScanDiskFormTest, TakesTheActivationBackWhileShown)
{
    TScanDiskForm form;
    form.show();
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::setActiveWindow(&other);
    QEvent deactivation(QEvent::WindowDeactivate);
    QApplication::sendEvent(&form, &deactivation);
    QCoreApplication::processEvents();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form, 1000));

    // A question box in front keeps the activation, or it could not be answered.
    QDialog question;
    question.setWindowModality(Qt::ApplicationModal);
    question.show();
    QApplication::setActiveWindow(&question);
    QApplication::sendEvent(&form, &deactivation);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.isActiveWindow());
    question.hide();

    // Hidden, it leaves the activation where it is.
    form.hide();
    QApplication::setActiveWindow(&other);
    QApplication::sendEvent(&form, &deactivation);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.isActiveWindow());
}

} // namespace
