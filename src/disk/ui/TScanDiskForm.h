#pragma once

#include "disk/TScanProgress.h"

#include <QDialog>
#include <QString>

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

// The window shown while a drive is analysed: a headline, the progress of the entries
// read, the last deleted entry found, and Cancel, which stops the analysis after the
// user confirms (when confirmations are on).
class TScanDiskForm : public QDialog, public TScanProgress
{
    Q_OBJECT

public:
    explicit TScanDiskForm(QWidget* parent = nullptr);
    ~TScanDiskForm() override;

    QLabel* Step1Label = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* FileLabel = nullptr;
    // Template of the headline; "%s" stands for the drive letter.
    QLabel* Step1LabelHidden = nullptr;
    QPushButton* ButtonCancel = nullptr;

    void SetMaximum(int64_t maximum) override;
    void SetPosition(int64_t position) override;
    void SetFileLabel(const QString& text) override;
    void PumpMessages() override;

    // The full text of the last SetFileLabel (the label itself may show it shortened).
    QString fileLabelText() const { return m_fileLabelText; }

public slots:
    // Every close request (title bar, Esc, Cancel) comes here: it is granted only when
    // confirmations are off or the user confirms; then the analysis is told to stop
    // and the window hides.
    void reject() override;

protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void takeActivationBack();
    void showFileLabel();

    int64_t m_maximum = 0;
    // Counts are divided by this so that the bar's int range holds them.
    int64_t m_scale = 1;
    QString m_fileLabelText;
};

// The scan window while an analysis runs, else nil.
extern TScanDiskForm* ScanDiskForm;

// Analyses a drive into CurDisk while the scan window shows the progress; the drive open
// before is closed first. True when the analysis ran to its end; otherwise no drive is
// open (a failure has been told to the user).
bool AnalyzeDrive(int driveId, char driveLetter, bool fullScan, QWidget* parent);
