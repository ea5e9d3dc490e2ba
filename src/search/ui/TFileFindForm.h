#pragma once

#include "search/TSearchCriteria.h"
#include "search/TSearchSink.h"
#include "util/TOverride.h"

#include <QDialog>

#include <functional>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTreeView;
class TBaseElement;
class TFileListModel;

// The find window: searches the open drive by name mask, id, creation date, age, size
// and condition, lists the hits, and from the list goes to a hit in the main window,
// recovers the selected hits or shows a hit's properties. Recover and Properties work
// while a search runs; the window serves its messages between tested elements.
class TFileFindForm : public QDialog, public TSearchSink
{
    Q_OBJECT

public:
    explicit TFileFindForm(QWidget* parent = nullptr);
    ~TFileFindForm() override;

    // Handlers.
    void FormCreate();
    bool FormCanResize(int newWidth, int newHeight) const;
    void CheckState();
    void StartButtonClick();
    void StopButtonClick();
    void miFileGoToClick();
    void miFileRecoverClick();
    void miFilePropertiesClick();
    void ResultsListViewClick();
    void ResultsListViewSelectItem();
    void ResultsListViewMouseDown();

    // The criteria as the fields hold them now.
    TSearchCriteria Criteria() const;
    // The element of the first selected result, in list order; null when none.
    TBaseElement* SelectedElement() const;
    const TFileListModel& Results() const { return *m_results; }
    QString StatusText(int panel) const;

    bool Searching = false;
    bool Stop = false;
    TBaseElement* GotoElement = nullptr;

    QLabel* FilenameLabel;
    QLineEdit* FilenameEdit;
    QLabel* IdLabel;
    QLineEdit* IdEdit;
    QCheckBox* DateBetweenCheckBox;
    QDateTimeEdit* DateStartDateTimePicker;
    QLabel* DateLabel;
    QDateTimeEdit* DateEndDateTimePicker;
    QCheckBox* AgeCheckBox;
    QSpinBox* AgeSpinEdit;
    QComboBox* AgeComboBox;
    QCheckBox* SizeCheckBox;
    QComboBox* SizeSignComboBox;
    QSpinBox* SizeValueSpinEdit;
    QComboBox* SizeUnitComboBox;
    QCheckBox* SearchOnlyDeletedCheckBox;
    QPushButton* StartButton;
    QPushButton* CancelButton;
    QPushButton* StopButton;
    QPushButton* HelpButton;
    QLabel* ResultsLabel;
    QTreeView* ResultsListView;
    QStatusBar* StatusBar;
    QMenu* FilesPopupMenu;
    QAction* miFileGoTo;
    QAction* miFileRecover;
    QAction* miFileProperties;

    // Drives the window in place of its modal loop while a scope of it lasts.
    using TModalAnswer = TOverride<TFileFindForm, std::function<void(TFileFindForm& form)>>;

public slots:
    // Close while a search runs: every pass ends, then the window closes.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The search's sink.
    void AddResult(TBaseElement* element) override;
    void ShowStatus(const QString& progress, const QString& detail) override;
    void PumpMessages() override;
    bool TakeStop() override;

    // Moves the hits found since the last turn into the list.
    void flushResults();
    std::vector<TBaseElement*> selectedElements() const;

    TFileListModel* m_results;
    QLabel* m_statusPanels[2];
    std::vector<TBaseElement*> m_pending;
    bool m_closePending = false;
};

// Shows the find window modally over the open drive. Returns the element the user chose
// with "Go to file", null when the window was closed otherwise.
TBaseElement* FindFile(QWidget* parent = nullptr);
