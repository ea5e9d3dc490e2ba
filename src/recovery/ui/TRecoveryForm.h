#pragma once

#include "util/TOverride.h"
#include "recovery/TRecoverySink.h"

#include <QDialog>
#include <QEvent>
#include <QStringList>

#include <cstdint>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class TBaseDisk;
class TElementsList;
class TStateTreeView;

// Asks the wizard to show the log lines added since the last one arrived.
inline const QEvent::Type RecoveryLogMessage = QEvent::Type(QEvent::User + 2);

// The recovery wizard: four pages passed through with Back and Next — Files (a tri-state
// check tree of the selection), Destination (the target folder), Progress (the recovery
// run) and Finish (the number of files recovered). The window shows the run's progress
// as the run's sink.
class TRecoveryForm : public QDialog, public TRecoverySink
{
    Q_OBJECT

public:
    static constexpr const char* HelpKeyword = "/files/basics.quickstart.html";
    static constexpr const char* FeedbackAddress = "https://www.tollmark.example/brevant/feedback/";

    enum Page
    {
        pgFiles = 0,
        pgDestination = 1,
        pgProgress = 2,
        pgFinish = 3
    };

    explicit TRecoveryForm(QWidget* parent = nullptr);
    ~TRecoveryForm() override;

    QPushButton* BackButton = nullptr;
    QPushButton* NextButton = nullptr;
    QPushButton* CloseButton = nullptr;
    QPushButton* HelpButton = nullptr;
    QStackedWidget* PageControl = nullptr;

    TStateTreeView* FilesTreeView = nullptr;
    QPushButton* FilesCheckAllButton = nullptr;
    QPushButton* FilesCheckDeletedButton = nullptr;
    QPushButton* FilesCheckIntactButton = nullptr;
    QPushButton* FilesUncheckButton = nullptr;

    QRadioButton* DestinationFolderRadioButton = nullptr;
    QLineEdit* DestinationFolderEdit = nullptr;
    QPushButton* DestinationFolderBrowseButton = nullptr;
    QRadioButton* DestinationFTPRadioButton = nullptr;
    QLineEdit* DestinationFTPEdit = nullptr;
    QPushButton* DestinationFTPAdvancedButton = nullptr;
    QRadioButton* DestinationEmailRadioButton = nullptr;
    QLineEdit* DestinationEmailEdit = nullptr;
    QPushButton* DestinationEmailAdvancedButton = nullptr;
    QCheckBox* AdditionalRecoverAlternativeDataStreamsCheckBox = nullptr;
    QCheckBox* AdditionalRecoverSecurityCheckBox = nullptr;

    QLabel* ProgressCurrentFilenameLabel = nullptr;
    QProgressBar* ProgressCurrentProgressBar = nullptr;
    QLabel* ProgressTotalFilesLabel = nullptr;
    QLabel* ProgressProcessedFilesLabel = nullptr;
    QLabel* ProgressTotalSizeLabel = nullptr;
    QLabel* ProgressProcessedSizeLabel = nullptr;
    QProgressBar* ProgressTotalProgressBar = nullptr;
    QPlainTextEdit* ProgressLog = nullptr;

    QLabel* FinishLabel2 = nullptr;
    // Below the count: the failed and skipped counts when not zero, and why a refused run
    // wrote nothing; hidden when there is nothing to say.
    QLabel* FinishDetailsLabel = nullptr;
    QPushButton* FinishButtonExplore = nullptr;
    QPushButton* FinishButtonFeedback = nullptr;

    bool FirstActivation = true;
    bool ScanMode = false;
    bool ScanComplete = false;

    // The counters of the last run (all zero before the first).
    const TRecoveryCounters& Counters() const { return m_counters; }

    void FormCreate();
    void FormActivate();
    void CheckState();
    void NextButtonClick();
    void BackButtonClick();
    void FilesCheckAllButtonClick();
    void FilesCheckDeletedButtonClick();
    void FilesCheckIntactButtonClick();
    void FilesUncheckButtonClick();
    void DestinationFolderBrowseButtonClick();
    void FinishButtonExploreClick();
    void FinishButtonFeedbackClick();
    // Runs the recovery of the ticked nodes into GlobalRecoveryDestinationFolder.
    void StartRecovery();
    // The run's sink.
    void AddLogLine(const QString& line) override;
    void ShowCounters(const TRecoveryCounters& counters) override;
    void SetCurrentFileLabel(const QString& text) override;
    void RefreshProgress(int64_t total, int64_t position) override;
    void PumpMessages() override;

    // Puts a 64-bit count onto a bar whose range is int: both are divided by the same
    // factor, so the proportion stays right for any size.
    static void SetBarRange(QProgressBar* bar, int64_t maximum, int64_t position);

    // Drives the filled wizard in place of its modal loop while a scope of it lasts.
    using TModalAnswer = TOverride<TRecoveryForm, std::function<void(TRecoveryForm& form)>>;

public slots:
    // Close and Esc: acted upon once a running recovery has returned.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildFilesPage(QWidget* page);
    void buildDestinationPage(QWidget* page);
    void buildProgressPage(QWidget* page);
    void buildFinishPage(QWidget* page);
    // The drive the ticked elements come from.
    const TBaseDisk* sourceDisk() const;
    // Shows the log lines waiting in m_pendingLog.
    void flushLog();
    // Shows the latest counters, file name and copy progress the run reported.
    void flushProgress();
    // The Finish page's details for the last run.
    QString finishDetails() const;

    QButtonGroup* m_destinationGroup = nullptr;
    TRecoveryCounters m_counters;
    bool m_closePending = false;

    // Log lines not shown yet. Laying out one line at a time in the log cost more than
    // copying a small file; the lines go in together whenever the window's events are
    // served, and when the run ends.
    QStringList m_pendingLog;
    // The same for the progress page's figures: a progress bar repaints at once when its
    // value moves, twice per file. They are shown when the window's events are served.
    bool m_progressPending = false;
    QString m_currentFile;
    bool m_currentFilePending = false;
    int64_t m_copyTotal = 0;
    int64_t m_copyPosition = 0;
    bool m_copyReported = false;

    // The first lines the running run logged (a refused run logs only a few), and the
    // reason the last run was refused (empty when it was not).
    QStringList m_runLog;
    bool m_keepRunLog = false;
    QString m_refusal;
    QString m_manifestProblem; // why the run's manifest could not be written
};

// Builds the wizard's check tree from elements (in the caller's order; the caller keeps
// the list), shows the wizard modally unless the user cancelled the loading, and frees
// it.
void StartRecoveryWizard(const TElementsList& elements, QWidget* parent = nullptr);
