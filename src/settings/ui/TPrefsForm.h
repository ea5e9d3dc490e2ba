#pragma once

#include "util/TOverride.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class QWidget;

// The page that was showing when the preferences window was last confirmed.
extern int LastPreferencesSelectedTab;

// The preferences window: the default destination, the start-up action, logging, the
// confirmations and the interface language. It shows a copy of the settings and makes it
// the settings only on OK.
class TPrefsForm : public QDialog
{
    Q_OBJECT

public:
    explicit TPrefsForm(QWidget* parent = nullptr);
    ~TPrefsForm() override;

    // Handlers.
    void CheckState();
    void OptionsTreeViewChange();
    void DestinationFolderBrowseButtonClick();
    void LoggingFileBrowseButtonClick();
    void DestinationFtpAdvancedButtonClick();
    void HelpButtonClick();

    // Fills the controls from the settings and shows a page (-1: the last confirmed one).
    void LoadSettings(int activePageIndex);
    // Makes the controls' values the settings, with the language they choose.
    void SaveSettings();
    // Lists the built-in texts and the language files beside the program.
    void LoadLanguageItems();

    QTreeWidget* OptionsTreeView;
    QTabWidget* MainPageControl;
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;

    QWidget* DestinationTabSheet;
    QLabel* DestinationLabel1;
    QRadioButton* DestinationFolderRadioButton;
    QLineEdit* DestinationFolderEdit;
    QPushButton* DestinationFolderBrowseButton;
    QRadioButton* DestinationFTPRadioButton;
    QLineEdit* DestinationFTPEdit;
    QPushButton* DestinationFtpAdvancedButton;
    QRadioButton* DestinationEMailRadioButton;
    QLineEdit* DestinationEmailEdit;
    QPushButton* DestinationEmailAdvancedButton;

    QWidget* StartupTabSheet;
    QLabel* StartupLabel1;
    QCheckBox* StartupShowSplashCheckBox;
    QLabel* StartupLabel2;
    QRadioButton* StartupSelectDiskRadioButton;
    QRadioButton* StartupSystemDiskRadioButton;
    QRadioButton* StartupDriveLetterRadioButton;
    QLabel* StartupLabel3;
    QComboBox* StartupComboBox;
    QRadioButton* StartupNothingRadioButton;

    QWidget* LoggingTabSheet;
    QCheckBox* LoggingEnableCheckBox;
    QLabel* LoggingLabel1;
    QLineEdit* LoggingFilenameEdit;
    QPushButton* LoggingFileBrowseButton;
    QLabel* LoggingLabel2;
    QRadioButton* LoggingRecycleRadioButton;
    QRadioButton* LoggingAppendRadioButton;
    QLabel* LoggingLabel4;
    QSpinBox* LoggingLimitSpinEdit;
    QLabel* LoggingLabel3;
    QLabel* LoggingLabel5;
    QCheckBox* LoggingIncludeStatusCheckBox;
    QCheckBox* LoggingIncludeWarningCheckBox;
    QCheckBox* LoggingIncludeErrorsCheckBox;
    QCheckBox* LoggingIncludeDebugCheckBox;

    QWidget* ConfirmationsTabSheet;
    QLabel* ConfirmationsLabel1;
    QCheckBox* ConfirmationsFileOverwriteCheckBox;
    QCheckBox* ConfirmationsInterruptCheckBox;
    QCheckBox* ConfirmationsExitCheckBox;

    QWidget* LanguageTabSheet;
    QLabel* LanguageLabel1;
    QListWidget* LanguageListView;
    QLabel* LanguageReadHelpLabel;

    // Drives the window in place of its modal loop while a scope of it lasts; the window's
    // result (accept or reject) decides as the user's choice would.
    using TModalAnswer = TOverride<TPrefsForm, std::function<void(TPrefsForm& form)>>;
    // Answers the log file's save dialog while a scope of it lasts: gets the folder and
    // name to start from, returns the chosen path or an empty text for cancel.
    using TLogFileAnswer = TOverride<struct TLogFileAnswerTag,
                                     std::function<QString(const QString& folder, const QString& name)>>;

private:
    QWidget* addPage(const char* name, const QString& tab, const QString& caption, const char* helpKeyword);
};

// Shows the preferences window on page activePageIndex (-1: the page last confirmed).
// Returns true when the user confirmed with OK.
bool OpenPreferences(QWidget* parent = nullptr, int activePageIndex = -1);

// The text in lower case with its first character in upper case: "DUTCH" gives "Dutch".
QString UpCaseFirst(const QString& text);
