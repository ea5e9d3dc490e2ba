#include "TWizardFixture.h"
#include "periphery/TFolderBrowse.h"
#include "recovery/TRecoveryRun.h"
#include "util/TPlatform.h"

#include <QLineEdit>
#include <QTimer>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>

// The wizard driven through its buttons over the scripted engine.

namespace {

// Answers questions through a function, so a test can look at the wizard while a run
// waits for the answer.
class TCallbackPrompt final : public TUserPrompt
{
public:
    explicit TCallbackPrompt(std::function<Answer(const QString& text, const QString& caption)> answer)
        : m_answer(std::move(answer)), m_installed(this)
    {
    }
    Answer Ask(const QString& text, const QString& caption, Buttons, Icon) override
    {
        return m_answer(text, caption);
    }

private:
    std::function<Answer(const QString&, const QString&)> m_answer;
    TInstalled::Scope m_installed;
};

// Records what the desktop is asked to open.
class TRecordingPlatform final : public TPlatform
{
public:
    TRecordingPlatform() : m_installed(this) {}
    bool OpenDocument(const QString& program, const QString& params, bool maximized) override
    {
        opened << program + QLatin1Char('|') + params + (maximized ? QStringLiteral("|max") : QString());
        return true;
    }
    bool FileTypeName(const QString&, uint32_t, QString&) override { return false; }
    QString SpecialFolder(int) override { return QString(); }
    uint32_t LogicalDrives() override { return 0; }
    QString ExecutablePath() override { return QString(); }
    bool ForceDirectories(const QString& path) override { return QDir().mkpath(path); }
    bool DirectoryExists(const QString& path) override { return QFileInfo(path).isDir(); }

    QStringList opened;

private:
    TInstalled::Scope m_installed;
};

} // namespace

TEST_F(WizardTest, OpensWithOnlyDeletedElementsTickedAndTheButtonsSetStates)
{
    a->Recovery = TRecoverability::Rating::Intact;
    b->Recovery = TRecoverability::Rating::Overwritten;
    const bool shown = wizard({root}, [&](TRecoveryForm& form) {
        const TStateTree& tree = form.FilesTreeView->Tree();
        QStringList texts;
        std::vector<int> images;
        for (TStateTree::NodeId node = 0; node < tree.Count(); ++node) {
            texts << tree.Text(node);
            images.push_back(tree.ImageIndex(node));
        }
        // Sub-folders with their content first, then the files.
        EXPECT_EQ(texts, (QStringList{"D:", "Docs", "Old", "b.txt", "a.txt", "keep.txt", "c.txt"}));
        EXPECT_EQ(images, (std::vector<int>{3, 3, 4, 1, 1, 0, 0}));
        const std::vector<int> opening{3, 3, 2, 2, 2, 1, 1};
        EXPECT_EQ(states(form), opening);
        EXPECT_EQ(form.PageControl->currentIndex(), TRecoveryForm::pgFiles);

        form.FilesCheckAllButton->click();
        EXPECT_EQ(states(form), std::vector<int>(7, 2));
        form.FilesUncheckButton->click();
        EXPECT_EQ(states(form), std::vector<int>(7, 1));
        form.FilesCheckAllButton->click();
        form.FilesCheckDeletedButton->click();
        EXPECT_EQ(states(form), opening);

        // Only the intact deleted file, with its rating beside its name.
        form.FilesCheckIntactButton->click();
        EXPECT_EQ(states(form), (std::vector<int>{3, 3, 1, 1, 2, 1, 1}));
        const QModelIndex overwritten = form.FilesTreeView->IndexOf(3);
        EXPECT_EQ(overwritten.data().toString(), QStringLiteral("b.txt  \u2014 Overwritten"));
    });
    EXPECT_TRUE(shown);
}

TEST_F(WizardTest, PageButtonsFollowThePagesAndTheRun)
{
    write(out + QStringLiteral("/Docs/a.txt"), "old");
    std::vector<bool> duringRun;
    wizard({root}, [&](TRecoveryForm& form) {
        TCallbackPrompt inspecting([&](const QString&, const QString&) {
            duringRun = {form.ScanMode, form.BackButton->isEnabled(), form.NextButton->isEnabled(),
                         form.CloseButton->isEnabled()};
            return TUserPrompt::Answer::Yes;
        });
        EXPECT_FALSE(form.BackButton->isEnabled());
        EXPECT_TRUE(form.NextButton->isEnabled());
        EXPECT_TRUE(form.CloseButton->isEnabled());
        EXPECT_EQ(form.ProgressTotalFilesLabel->text(), QStringLiteral("#"));
        EXPECT_EQ(form.ProgressCurrentFilenameLabel->text(), QStringLiteral("#"));

        form.NextButton->click();
        EXPECT_EQ(form.PageControl->currentIndex(), TRecoveryForm::pgDestination);
        EXPECT_TRUE(form.BackButton->isEnabled());
        EXPECT_TRUE(form.DestinationFolderRadioButton->isChecked());
        EXPECT_TRUE(form.DestinationFolderEdit->isEnabled());
        EXPECT_EQ(form.DestinationFolderEdit->text(), out);
        EXPECT_FALSE(form.DestinationFTPEdit->isVisibleTo(&form));

        form.NextButton->click(); // the run
        EXPECT_EQ(duringRun, (std::vector<bool>{true, false, false, false}));
        EXPECT_EQ(form.PageControl->currentIndex(), TRecoveryForm::pgProgress);
        EXPECT_TRUE(form.BackButton->isEnabled());
        EXPECT_TRUE(form.NextButton->isEnabled());
        EXPECT_TRUE(form.CloseButton->isEnabled());
        EXPECT_EQ(form.ProgressTotalFilesLabel->text(), QStringLiteral("2"));
        EXPECT_EQ(form.ProgressProcessedFilesLabel->text(), QStringLiteral("2"));
        EXPECT_EQ(form.ProgressCurrentFilenameLabel->text(),
                  QStringLiteral("a.txt (") + FormatSize(5) + QStringLiteral(")"));
        EXPECT_EQ(form.ProgressTotalProgressBar->value(), form.ProgressTotalProgressBar->maximum());
        // The engine's report of the last copy reached the current bar.
        EXPECT_EQ(form.ProgressCurrentProgressBar->value(), form.ProgressCurrentProgressBar->maximum());

        form.NextButton->click();
        EXPECT_EQ(form.PageControl->currentIndex(), TRecoveryForm::pgFinish);
        EXPECT_FALSE(form.NextButton->isEnabled());
        EXPECT_TRUE(form.BackButton->isEnabled());
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("2"));

        // Back to Destination and Next again: a second run; the log keeps the first.
        form.BackButton->click();
        EXPECT_EQ(form.PageControl->currentIndex(), TRecoveryForm::pgProgress);
        form.BackButton->click();
        form.NextButton->click();
        EXPECT_EQ(log(form).count(QStringLiteral("Recovery started.")), 2);
        EXPECT_EQ(log(form).count(QStringLiteral("Recovery finished.")), 2);
    });
    EXPECT_EQ(read(out + QStringLiteral("/Docs/Old/b.txt")), "bbb");
    EXPECT_EQ(read(out + QStringLiteral("/Docs/a.txt")), "aaaaa");
}

TEST_F(WizardTest, CloseDuringARunWaitsForTheRunToEnd)
{
    bool hiddenDuringRun = true;
    wizard({root}, [&](TRecoveryForm& form) {
        write(out + QStringLiteral("/Docs/Old/b.txt"), "old");
        TCallbackPrompt prompt([&](const QString&, const QString&) {
            form.reject();
            QTest::keyClick(&form, Qt::Key_Escape);
            hiddenDuringRun = !form.isVisible();
            return TUserPrompt::Answer::Yes;
        });
        runFromFiles(form);
        EXPECT_FALSE(hiddenDuringRun);
        EXPECT_EQ(log(form).last(), QStringLiteral("Recovery finished."));
        EXPECT_FALSE(form.isVisible()) << "the close request is served after the run";
        EXPECT_EQ(form.result(), QDialog::Rejected);
    });
    EXPECT_EQ(read(out + QStringLiteral("/Docs/a.txt")), "aaaaa");
}

TEST_F(WizardTest, OverwriteQuestionAnsweredNoThenYes)
{
    write(out + QStringLiteral("/Docs/a.txt"), "old");
    const QString target = out + QStringLiteral("/Docs/a.txt");
    TScriptedPrompt prompt;
    prompt.queue(TUserPrompt::Answer::No);
    wizard({root}, [&](TRecoveryForm& form) {
        runFromFiles(form);
        ASSERT_EQ(prompt.asked().size(), 1);
        EXPECT_EQ(prompt.asked()[0].text,
                  QStringLiteral("File \"%1\" already exists. Do you want to overwrite it?").arg(target));
        EXPECT_EQ(prompt.asked()[0].caption, QStringLiteral("Confirmation"));
        EXPECT_EQ(prompt.asked()[0].buttons, TUserPrompt::Buttons::YesNo);
        EXPECT_TRUE(log(form).contains(QStringLiteral("File skipped ") + target));
        EXPECT_EQ(read(target), "old");
        form.NextButton->click();
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("1")) << "the skipped file is not counted";

        // Again from Destination; both files exist now and both are overwritten.
        form.BackButton->click();
        form.BackButton->click();
        prompt.queue(TUserPrompt::Answer::Yes);
        prompt.queue(TUserPrompt::Answer::Yes);
        form.NextButton->click();
        EXPECT_EQ(prompt.asked().size(), 3);
        EXPECT_EQ(read(target), "aaaaa");
        form.NextButton->click();
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("2"));
    });
}

TEST_F(WizardTest, DestinationOnTheSourceDriveIsRefused)
{
    TScriptedPrompt prompt;
    // A full path naming the source's letter: refused by the run's letter rule.
    const QString sameDrive = out + QStringLiteral("/d:\\out");
    wizard({root}, [&](TRecoveryForm& form) {
        form.NextButton->click();
        form.DestinationFolderEdit->setText(sameDrive);
        form.NextButton->click();
        EXPECT_EQ(GlobalRecoveryDestinationFolder, sameDrive);
        ASSERT_EQ(prompt.asked().size(), 1);
        EXPECT_EQ(prompt.asked()[0].text, TRecoveryRun::SameDriveText());
        EXPECT_EQ(log(form), (QStringList{QStringLiteral("Recovery started."), TRecoveryRun::SameDriveText(),
                                          QStringLiteral("Recovery encountered fatal error.")}));
        EXPECT_EQ(engine.Calls.FileRecovery, 0);
        EXPECT_TRUE(form.BackButton->isEnabled());
        form.NextButton->click();
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("0"));

        // Back, an empty edit keeps the folder set before; a folder elsewhere passes.
        form.BackButton->click();
        form.BackButton->click();
        form.DestinationFolderEdit->clear();
        form.NextButton->click();
        EXPECT_EQ(GlobalRecoveryDestinationFolder, sameDrive);
        form.BackButton->click();
        form.DestinationFolderEdit->setText(out);
        form.NextButton->click();
        EXPECT_EQ(log(form).last(), QStringLiteral("Recovery finished."));
        EXPECT_EQ(engine.Calls.FileRecovery, 2);
    });
}

TEST_F(WizardTest, DriveLetterDestinationIsRefusedOnItsPage)
{
    TScriptedPrompt prompt;
    wizard({root}, [&](TRecoveryForm& form) {
        form.NextButton->click();
        const QString letter = QStringLiteral("C:\\Recovered Files\\");
        form.DestinationFolderEdit->setText(letter);
        form.NextButton->click();
        ASSERT_EQ(prompt.asked().size(), 1);
        EXPECT_EQ(prompt.asked()[0].text, TRecoveryRun::DestinationFormProblem(letter));
        EXPECT_EQ(form.PageControl->currentIndex(), TRecoveryForm::pgDestination);
        EXPECT_TRUE(log(form).isEmpty());
        EXPECT_EQ(engine.Calls.FileRecovery, 0);
    });
}

TEST_F(WizardTest, FailedCopiesAreNotCountedAsRecovered)
{
    engine.SetCopy(a->TrueID, "", VANTREL_RECOVERY_READ_ERROR);
    TScriptedPrompt prompt;
    wizard({root}, [&](TRecoveryForm& form) {
        runFromFiles(form);
        const QString target = out + QStringLiteral("/Docs/a.txt");
        bool failureLogged = false;
        for (const QString& line : log(form))
            failureLogged |= line.startsWith(QStringLiteral("Can't recover file: ") + target);
        EXPECT_TRUE(failureLogged) << log(form).join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(log(form).contains(QStringLiteral("Recovering file: ") + target));
        EXPECT_EQ(form.ProgressTotalFilesLabel->text(), QStringLiteral("2"));
        EXPECT_EQ(form.ProgressProcessedFilesLabel->text(), QStringLiteral("1"));
        form.NextButton->click();
        EXPECT_EQ(form.FinishLabel2->text(), QStringLiteral("1"));
    });
}

TEST_F(WizardTest, FtpDestinationStartsWithTheFolderControlsDisabled)
{
    GlobalRecoveryDestination = rdFTP;
    wizard({c}, [&](TRecoveryForm& form) {
        form.NextButton->click();
        EXPECT_TRUE(form.DestinationFTPRadioButton->isChecked());
        EXPECT_FALSE(form.DestinationFolderEdit->isEnabled());
        EXPECT_FALSE(form.DestinationFolderBrowseButton->isEnabled());
        form.DestinationFolderRadioButton->click();
        EXPECT_TRUE(form.DestinationFolderEdit->isEnabled());
        EXPECT_TRUE(form.DestinationFolderBrowseButton->isEnabled());
    });
}

TEST_F(WizardTest, BrowseExploreAndFeedbackReachTheDesktop)
{
    TRecordingPlatform platform;
    QString offered;
    const TFolderBrowse::TAnswer::Scope browsed([&](QWidget*, const QString&, QString& folder) {
        offered = folder;
        folder = QStringLiteral("/somewhere/else");
        return true;
    });
    wizard({c}, [&](TRecoveryForm& form) {
        form.NextButton->click();
        form.DestinationFolderBrowseButton->click();
        EXPECT_EQ(offered, out);
        EXPECT_EQ(form.DestinationFolderEdit->text(), QStringLiteral("/somewhere/else"));
        GlobalRecoveryDestinationFolder = out;
        form.FinishButtonExplore->click();
        form.FinishButtonFeedback->click();
    });
    EXPECT_EQ(platform.opened,
              (QStringList{out + QStringLiteral("||max"),
                           QString::fromLatin1(TRecoveryForm::FeedbackAddress) + QStringLiteral("||max")}));
}

TEST_F(WizardTest, LargeSelectionShowsTheLoadingWindowWhichCanCancel)
{
    TBaseElement* big = disk.Add(disk.RootElement, QStringLiteral("Big"), Folder);
    for (int i = 0; i < 150; ++i)
        disk.Add(big, QStringLiteral("f%1.bin").arg(i), 0, 1);
    TBaseElement* more = disk.Add(disk.RootElement, QStringLiteral("More"), Folder);
    for (int i = 0; i < 20; ++i)
        disk.Add(more, QStringLiteral("m%1.bin").arg(i), 0, 1);

    // Clicks Cancel of the loading window as soon as it shows.
    bool seen = false;
    bool armed = true;
    bool blocksOthers = false;
    QString label;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* load = qobject_cast<TFileRecoveryLoadForm*>(w);
            if (load && load->isVisible() && armed) {
                seen = true;
                blocksOthers = QApplication::activeModalWidget() == load;
                armed = false;
                label = load->Label1->text();
                load->ButtonCancel->click();
            }
        }
    });
    watcher.start();

    GlobalConfirmInterrupt = true;
    TScriptedPrompt prompt;
    prompt.queue(TUserPrompt::Answer::Cancel);
    int nodes = 0;
    EXPECT_TRUE(
        wizard({big, more}, [&](TRecoveryForm& form) { nodes = form.FilesTreeView->Tree().Count(); }));
    EXPECT_TRUE(seen);
    EXPECT_TRUE(blocksOthers) << "the main window must not act on the elements being added";
    EXPECT_EQ(nodes, 2 + 150 + 20) << "Cancel answered with Cancel: the loading goes on";

    seen = false;
    armed = true;
    prompt.queue(TUserPrompt::Answer::Ok);
    EXPECT_FALSE(wizard({big, more}, [](TRecoveryForm&) {})) << "a cancelled loading shows no wizard";
    EXPECT_TRUE(seen);
    EXPECT_EQ(label, QStringLiteral("More")) << "the element being added when Cancel came";

    // Plain files never show the window, however many.
    seen = false;
    armed = true;
    EXPECT_TRUE(wizard(QList<TBaseElement*>(big->ChildrenFiles.begin(), big->ChildrenFiles.end()),
                       [&](TRecoveryForm& form) { nodes = form.FilesTreeView->Tree().Count(); }));
    EXPECT_FALSE(seen);
    EXPECT_EQ(nodes, 150);
}

TEST(RecoveryFormBars, LargeCountsKeepTheirProportion)
{
    QProgressBar bar;
    const int64_t gib = int64_t(1) << 30;
    TRecoveryForm::SetBarRange(&bar, 6 * gib, 3 * gib);
    EXPECT_GT(bar.maximum(), 0);
    EXPECT_NEAR(double(bar.value()) / bar.maximum(), 0.5, 1e-6);
    TRecoveryForm::SetBarRange(&bar, 6 * gib, 6 * gib);
    EXPECT_EQ(bar.value(), bar.maximum());
    TRecoveryForm::SetBarRange(&bar, 0, 0);
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(bar.maximum(), 1) << "an empty selection shows an empty bar, not a busy one";
    TRecoveryForm::SetBarRange(&bar, 100, 250);
    EXPECT_EQ(bar.value(), bar.maximum());
}

TEST(RecoveryFormProgress, LogLinesAppearTogetherWhenEventsAreServed)
{
    TRecoveryForm form;
    form.AddLogLine(QStringLiteral("Recovery started."));
    form.AddLogLine(QStringLiteral("Recovering file: /out/a.txt"));
    EXPECT_TRUE(form.ProgressLog->toPlainText().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(form.ProgressLog->toPlainText(),
              QStringLiteral("Recovery started.\nRecovering file: /out/a.txt"));
    EXPECT_EQ(form.ProgressLog->blockCount(), 2);

    form.AddLogLine(QStringLiteral("Recovery finished."));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.ProgressLog->blockCount(), 3);
}
