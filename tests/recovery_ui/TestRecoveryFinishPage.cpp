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

TEST_F(WizardTest, FinishPageCountsFailedAndSkippedFilesAndTheLogWraps)
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

        // A run into a fresh folder that recovers everything says nothing more; its long
        // log lines wrap instead of needing a sideways scroll.
        engine.SetCopy(a->TrueID, "aaaaa");
        form.BackButton->click();
        form.BackButton->click();
        form.DestinationFolderEdit->setText(temp.filePath(QString(120, QLatin1Char('x')) + QLatin1Char('/') +
                                                          QString(120, QLatin1Char('y'))));
        form.NextButton->click();
        QTest::qWait(10);
        EXPECT_EQ(form.ProgressLog->horizontalScrollBar()->maximum(), 0);
        EXPECT_GT(form.ProgressLog->document()->lineCount(), log(form).size()) << "long lines take several";
        form.NextButton->click();
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("2"));
        EXPECT_EQ(details(form), QString());
    });
}

TEST_F(WizardTest, FinishPageCountsDamagedCopiesApartAndTheRunLeavesAManifest)
{
    a->Recovery = TRecoverability::Rating::Partial;
    a->RecoveryPercent = 50;
    b->Recovery = TRecoverability::Rating::Intact;
    wizard({root}, [&](TRecoveryForm& form) {
        runFromFiles(form);
        form.NextButton->click();
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("1"));
        EXPECT_EQ(details(form), QStringLiteral("Recovered, damaged: 1"));
        EXPECT_TRUE(log(form).contains(QStringLiteral("Manifest written: ") + out +
                                       QStringLiteral("/recovery-manifest.csv")))
            << log(form).join(QLatin1Char('\n')).toStdString();
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
