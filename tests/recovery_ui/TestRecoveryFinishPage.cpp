#include "TWizardFixture.h"

#include <QLineEdit>
#include <QScrollBar>

// What the Finish page and the log tell after runs that did not recover everything.

namespace {

QString details(const TRecoveryForm& form)
{
    return form.FinishDetailsLabel->isHidden() ? QString() : form.FinishDetailsLabel->text();
}

} // namespace

TEST_F(WizardTest, FinishPageCountsFailedAndSkippedFiles)
{
    // The deleted files a.txt and Old/b.txt are ticked: a's copy fails, b is there and kept.
    engine.SetCopy(a->TrueID, "", VANTREL_RECOVERY_READ_ERROR);
    write(out + QStringLiteral("/Docs/Old/b.txt"), "old");
    TScriptedPrompt prompt;
    prompt.queue(TUserPrompt::Answer::No);
    wizard({root}, [&](TRecoveryForm& form) {
        runFromFiles(form);
        form.NextButton->click();
        ASSERT_EQ(form.PageControl->currentIndex(), int(TRecoveryForm::pgFinish));
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("0"));
        EXPECT_EQ(details(form), QStringLiteral("Failed: 1\nSkipped: 1"));

        // A run into a fresh folder that recovers everything says nothing more.
        engine.SetCopy(a->TrueID, "aaaaa");
        form.BackButton->click();
        form.BackButton->click();
        form.DestinationFolderEdit->setText(temp.filePath(QStringLiteral("fresh")));
        form.NextButton->click();
        form.NextButton->click();
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("2"));
        EXPECT_EQ(details(form), QString());
    });
}

TEST_F(WizardTest, FinishPageTellsWhyTheRunWasRefused)
{
    TScriptedPrompt prompt;
    wizard({root}, [&](TRecoveryForm& form) {
        form.NextButton->click();
        form.DestinationFolderEdit->setText(QStringLiteral("relative/out"));
        form.NextButton->click();
        form.NextButton->click();
        EXPECT_EQ(engine.Calls.FileRecovery, 0);
        const QStringList lines = log(form);
        ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(lines[1].contains(QStringLiteral("relative/out"))) << lines[1].toStdString();
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("0"));
        EXPECT_EQ(details(form), lines[1]);
    });
}

TEST_F(WizardTest, LongLogLinesWrapInsteadOfScrollingSideways)
{
    const QString deep = out + QLatin1Char('/') + QString(120, QLatin1Char('x')) + QLatin1Char('/') +
                         QString(120, QLatin1Char('y'));
    TScriptedPrompt prompt;
    wizard({root}, [&](TRecoveryForm& form) {
        form.NextButton->click();
        form.DestinationFolderEdit->setText(deep);
        form.NextButton->click();
        ASSERT_EQ(form.PageControl->currentIndex(), int(TRecoveryForm::pgProgress));
        EXPECT_EQ(read(deep + QStringLiteral("/Docs/a.txt")), "aaaaa");
        QTest::qWait(10);
        const QScrollBar* sideways = form.ProgressLog->horizontalScrollBar();
        EXPECT_EQ(sideways->maximum(), 0);
        EXPECT_GT(form.ProgressLog->document()->lineCount(), log(form).size())
            << "the long lines take more than one line each";
    });
}
