#include "settings/ui/TPrefsForm.h"
#include "periphery/ExecModal.h"

#include "periphery/TFolderBrowse.h"
#include "periphery/THelpWindow.h"
#include "settings/Language.h"
#include "settings/Settings.h"
#include "settings/ui/LanguageForms.h"
#include "settings/ui/TFTPAccountEditForm.h"
#include "util/Utils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <limits>

int LastPreferencesSelectedTab = 0;

namespace {

const char* const WindowHelpKeyword = "/files/prefs.html";
const QString DefaultLanguageCaption = QStringLiteral("English (Default)");
constexpr int LanguageFileRole = Qt::UserRole;
constexpr int DefaultLogSizeMaxKb = 1024;

template<typename T> T* named(T* object, const char* name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = named(new QPushButton(text, parent), name);
    button->setAutoDefault(false);
    return button;
}

// Edits and spinners take the window's background when they can be edited and the button
// face when they cannot.
void enableField(QWidget* field, bool enabled)
{
    field->setEnabled(enabled);
    QPalette palette = field->palette();
    const QPalette standard = field->window()->palette();
    palette.setColor(QPalette::Base,
                     enabled ? standard.color(QPalette::Base) : standard.color(QPalette::Button));
    field->setPalette(palette);
}

// A caption bar at the top of a page: bold text on the button-shadow colour, indented by
// the width of three blanks (as a margin, so a translated caption keeps it too).
QLabel* captionBar(QWidget* page, const QString& text)
{
    auto* bar = new QLabel(text, page);
    bar->setObjectName(page->objectName() + QStringLiteral("CaptionPanel"));
    QFont bold = bar->font();
    bold.setBold(true);
    bar->setFont(bold);
    bar->setIndent(QFontMetrics(bold).horizontalAdvance(QStringLiteral("   ")));
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::Mid);
    bar->setMinimumHeight(bar->sizeHint().height() + 6);
    return bar;
}

// A row indented under the control above it.
QHBoxLayout* indented(std::initializer_list<QWidget*> widgets, bool stretch = false)
{
    auto* row = new QHBoxLayout();
    row->addSpacing(20);
    for (QWidget* widget : widgets)
        row->addWidget(widget);
    if (stretch)
        row->addStretch();
    return row;
}

} // namespace

QString UpCaseFirst(const QString& text)
{
    QString result = text.toLower();
    if (!result.isEmpty())
        result[0] = result[0].toUpper();
    return result;
}

TPrefsForm::TPrefsForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PrefsForm"));
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setProperty("HelpKeyword", QString::fromLatin1(WindowHelpKeyword));

    OptionsTreeView = named(new QTreeWidget(this), "OptionsTreeView");
    OptionsTreeView->setHeaderHidden(true);
    OptionsTreeView->setRootIsDecorated(false);
    OptionsTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    OptionsTreeView->setMaximumWidth(170);
    MainPageControl = named(new QTabWidget(this), "MainPageControl");
    // The pages are switched through the list only.
    MainPageControl->tabBar()->hide();

    // Page 0: where recovered files go.
    QWidget* page = DestinationTabSheet =
        addPage("DestinationTabSheet", QStringLiteral("Save Folder"), QStringLiteral("Default Folder"),
                "/files/prefs.default-folder.html");
    DestinationLabel1 = named(
        new QLabel(QStringLiteral("Default destination location where the recovered files should be saved:"),
                   page),
        "DestinationLabel1");
    DestinationLabel1->setWordWrap(true);
    DestinationFolderRadioButton =
        named(new QRadioButton(QStringLiteral("Use this local or network folder:"), page),
              "DestinationFolderRadioButton");
    DestinationFolderEdit = named(new QLineEdit(page), "DestinationFolderEdit");
    DestinationFolderBrowseButton =
        makeButton(page, "DestinationFolderBrowseButton", QStringLiteral("Browse..."));
    DestinationFTPRadioButton =
        named(new QRadioButton(QStringLiteral("Upload to FTP location"), page), "DestinationFTPRadioButton");
    DestinationFTPEdit = named(new QLineEdit(page), "DestinationFTPEdit");
    DestinationFtpAdvancedButton =
        makeButton(page, "DestinationFtpAdvancedButton", QStringLiteral("Advanced..."));
    DestinationEMailRadioButton =
        named(new QRadioButton(QStringLiteral("Send to e-mail"), page), "DestinationEMailRadioButton");
    DestinationEmailEdit = named(new QLineEdit(page), "DestinationEmailEdit");
    DestinationEmailAdvancedButton =
        makeButton(page, "DestinationEmailAdvancedButton", QStringLiteral("Advanced..."));
    // Uploading and mailing are not offered.
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             DestinationFTPRadioButton, DestinationFTPEdit, DestinationFtpAdvancedButton,
             DestinationEMailRadioButton, DestinationEmailEdit, DestinationEmailAdvancedButton})
        hidden->setVisible(false);
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(DestinationLabel1);
    layout->addWidget(DestinationFolderRadioButton);
    layout->addLayout(indented({DestinationFolderEdit, DestinationFolderBrowseButton}));
    layout->addWidget(DestinationFTPRadioButton);
    layout->addLayout(indented({DestinationFTPEdit, DestinationFtpAdvancedButton}));
    layout->addWidget(DestinationEMailRadioButton);
    layout->addLayout(indented({DestinationEmailEdit, DestinationEmailAdvancedButton}));
    layout->addStretch();

    // Page 1: what happens at start.
    page = StartupTabSheet = addPage("StartupTabSheet", QStringLiteral("&On Startup"),
                                     QStringLiteral("Startup Actions"), "/files/prefs.startup.html");
    StartupLabel1 =
        named(new QLabel(QStringLiteral("Choose actions that should be taked at the program startup:"), page),
              "StartupLabel1");
    StartupShowSplashCheckBox = named(new QCheckBox(QStringLiteral("Show splash scr&een at startup"), page),
                                      "StartupShowSplashCheckBox");
    StartupLabel2 = named(new QLabel(QStringLiteral("Default action:"), page), "StartupLabel2");
    StartupSelectDiskRadioButton = named(new QRadioButton(QStringLiteral("Open disk selecion window"), page),
                                         "StartupSelectDiskRadioButton");
    StartupSystemDiskRadioButton =
        named(new QRadioButton(QStringLiteral("Start recovery of current system disk"), page),
              "StartupSystemDiskRadioButton");
    StartupDriveLetterRadioButton =
        named(new QRadioButton(QStringLiteral("Start recovery of the following drive"), page),
              "StartupDriveLetterRadioButton");
    StartupLabel3 = named(new QLabel(QStringLiteral("Drive letter:"), page), "StartupLabel3");
    StartupComboBox = named(new QComboBox(page), "StartupComboBox");
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter)
        StartupComboBox->addItem(QString(QChar(letter)));
    StartupComboBox->setCurrentIndex(-1);
    StartupNothingRadioButton =
        named(new QRadioButton(QStringLiteral("Do nothing"), page), "StartupNothingRadioButton");
    layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(StartupLabel1);
    layout->addLayout(indented({StartupShowSplashCheckBox}, true));
    layout->addWidget(StartupLabel2);
    layout->addLayout(indented({StartupSelectDiskRadioButton}, true));
    layout->addLayout(indented({StartupSystemDiskRadioButton}, true));
    layout->addLayout(indented({StartupDriveLetterRadioButton}, true));
    auto* letterRow = indented({StartupLabel3, StartupComboBox}, true);
    letterRow->insertSpacing(0, 20);
    layout->addLayout(letterRow);
    layout->addLayout(indented({StartupNothingRadioButton}, true));
    layout->addStretch();

    // Page 2: the program log.
    page = LoggingTabSheet = addPage("LoggingTabSheet", QStringLiteral("Logging"),
                                     QStringLiteral("Logging Options"), "/files/prefs.log.html");
    LoggingEnableCheckBox =
        named(new QCheckBox(QStringLiteral("Store program log in the file"), page), "LoggingEnableCheckBox");
    LoggingLabel1 = named(new QLabel(QStringLiteral("Log filename:"), page), "LoggingLabel1");
    LoggingFilenameEdit = named(new QLineEdit(page), "LoggingFilenameEdit");
    LoggingLabel1->setBuddy(LoggingFilenameEdit);
    LoggingFileBrowseButton = makeButton(page, "LoggingFileBrowseButton", QStringLiteral("Browse..."));
    LoggingLabel2 = named(new QLabel(QStringLiteral("Logging options:"), page), "LoggingLabel2");
    LoggingRecycleRadioButton = named(new QRadioButton(QStringLiteral("Recycle log every program run"), page),
                                      "LoggingRecycleRadioButton");
    LoggingAppendRadioButton = named(new QRadioButton(QStringLiteral("Append log to previous data"), page),
                                     "LoggingAppendRadioButton");
    LoggingLabel4 = named(new QLabel(QStringLiteral("Limit log file size to"), page), "LoggingLabel4");
    LoggingLimitSpinEdit = named(new QSpinBox(page), "LoggingLimitSpinEdit");
    LoggingLimitSpinEdit->setRange(0, std::numeric_limits<int>::max());
    LoggingLabel3 = named(new QLabel(QStringLiteral("KB"), page), "LoggingLabel3");
    LoggingLabel5 = named(new QLabel(QStringLiteral("Include in log:"), page), "LoggingLabel5");
    LoggingIncludeStatusCheckBox =
        named(new QCheckBox(QStringLiteral("Status messages"), page), "LoggingIncludeStatusCheckBox");
    LoggingIncludeWarningCheckBox =
        named(new QCheckBox(QStringLiteral("Warning messages"), page), "LoggingIncludeWarningCheckBox");
    LoggingIncludeErrorsCheckBox =
        named(new QCheckBox(QStringLiteral("Error messages"), page), "LoggingIncludeErrorsCheckBox");
    LoggingIncludeDebugCheckBox =
        named(new QCheckBox(QStringLiteral("Debug messages"), page), "LoggingIncludeDebugCheckBox");
    layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(LoggingEnableCheckBox);
    layout->addLayout(indented({LoggingLabel1, LoggingFilenameEdit, LoggingFileBrowseButton}));
    layout->addLayout(indented({LoggingLabel2}, true));
    layout->addLayout(indented({LoggingRecycleRadioButton}, true));
    layout->addLayout(indented({LoggingAppendRadioButton}, true));
    layout->addLayout(indented({LoggingLabel4, LoggingLimitSpinEdit, LoggingLabel3}, true));
    layout->addLayout(indented({LoggingLabel5}, true));
    auto* include = new QGridLayout();
    include->addWidget(LoggingIncludeStatusCheckBox, 0, 0);
    include->addWidget(LoggingIncludeWarningCheckBox, 0, 1);
    include->addWidget(LoggingIncludeErrorsCheckBox, 1, 0);
    include->addWidget(LoggingIncludeDebugCheckBox, 1, 1);
    auto* includeRow = new QHBoxLayout();
    includeRow->addSpacing(40);
    includeRow->addLayout(include);
    includeRow->addStretch();
    layout->addLayout(includeRow);
    layout->addStretch();

    // Page 3: questions before acting.
    page = ConfirmationsTabSheet = addPage("ConfirmationsTabSheet", QString(),
                                           QStringLiteral("Confirmations"), "/files/prefs.confirm.html");
    ConfirmationsLabel1 = named(new QLabel(QStringLiteral("Confirmations:"), page), "ConfirmationsLabel1");
    ConfirmationsFileOverwriteCheckBox =
        named(new QCheckBox(QStringLiteral("File overwrite"), page), "ConfirmationsFileOverwriteCheckBox");
    ConfirmationsInterruptCheckBox = named(new QCheckBox(QStringLiteral("Interrupt operations (ESC)"), page),
                                           "ConfirmationsInterruptCheckBox");
    ConfirmationsExitCheckBox =
        named(new QCheckBox(QStringLiteral("Program exit"), page), "ConfirmationsExitCheckBox");
    layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(ConfirmationsLabel1);
    for (QWidget* box : std::initializer_list<QWidget*>{
             ConfirmationsFileOverwriteCheckBox, ConfirmationsInterruptCheckBox, ConfirmationsExitCheckBox})
        layout->addLayout(indented({box}, true));
    layout->addStretch();

    // Page 4: the language of the windows.
    page = LanguageTabSheet = addPage("LanguageTabSheet", QStringLiteral("&Interface Language"),
                                      QStringLiteral("Interface Language"), "/files/prefs.language.html");
    LanguageLabel1 =
        named(new QLabel(QStringLiteral("Choose your most preferred program interface language:"), page),
              "LanguageLabel1");
    LanguageListView = named(new QListWidget(page), "LanguageListView");
    LanguageListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LanguageListView->setSelectionMode(QAbstractItemView::SingleSelection);
    LanguageListView->setSortingEnabled(false);
    LanguageReadHelpLabel =
        named(new QLabel(QStringLiteral("Please press F1 button to get more information about "
                                        "localization of your \"Brevant Pro\" copy."),
                         page),
              "LanguageReadHelpLabel");
    LanguageReadHelpLabel->setWordWrap(true);
    layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(LanguageLabel1);
    layout->addWidget(LanguageListView, 1);
    layout->addWidget(LanguageReadHelpLabel);

    for (const char* caption :
         {"Default Folder", "Startup Actions", "Logging", "Confirmations", "Interface Language"})
        OptionsTreeView->addTopLevelItem(new QTreeWidgetItem({QString::fromLatin1(caption)}));
    connect(OptionsTreeView, &QTreeWidget::currentItemChanged, this, [this] { OptionsTreeViewChange(); });

    OkButton = makeButton(this, "OkButton", QStringLiteral("&OK"));
    OkButton->setDefault(true);
    CancelButton = makeButton(this, "CancelButton", QStringLiteral("&Cancel"));
    HelpButton = makeButton(this, "HelpButton", QStringLiteral("&Help"));
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpButton, &QPushButton::clicked, this, &TPrefsForm::HelpButtonClick);
    connect(DestinationFolderBrowseButton, &QPushButton::clicked, this,
            &TPrefsForm::DestinationFolderBrowseButtonClick);
    connect(LoggingFileBrowseButton, &QPushButton::clicked, this, &TPrefsForm::LoggingFileBrowseButtonClick);
    connect(DestinationFtpAdvancedButton, &QPushButton::clicked, this,
            &TPrefsForm::DestinationFtpAdvancedButtonClick);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             DestinationFolderRadioButton, DestinationFTPRadioButton, DestinationEMailRadioButton,
             StartupSelectDiskRadioButton, StartupSystemDiskRadioButton, StartupDriveLetterRadioButton,
             StartupNothingRadioButton, LoggingEnableCheckBox})
        connect(button, &QAbstractButton::toggled, this, &TPrefsForm::CheckState);

    auto* body = new QHBoxLayout();
    body->addWidget(OptionsTreeView);
    body->addWidget(MainPageControl, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);
    auto* main = new QVBoxLayout(this);
    main->addLayout(body, 1);
    main->addLayout(buttons);
    resize(597, 393);

    UpdateLanguage(this);
    CheckState();
}

TPrefsForm::~TPrefsForm() = default;

QWidget* TPrefsForm::addPage(const char* name, const QString& tab, const QString& caption,
                             const char* helpKeyword)
{
    auto* page = named(new QWidget(), name);
    page->setProperty("HelpKeyword", QString::fromLatin1(helpKeyword));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(captionBar(page, caption));
    MainPageControl->addTab(page, tab);
    return page;
}

void TPrefsForm::CheckState()
{
    const bool folder = DestinationFolderRadioButton->isChecked();
    enableField(DestinationFolderEdit, folder);
    DestinationFolderBrowseButton->setEnabled(folder);
    const bool ftp = DestinationFTPRadioButton->isChecked();
    enableField(DestinationFTPEdit, ftp);
    DestinationFtpAdvancedButton->setEnabled(ftp);
    const bool mail = DestinationEMailRadioButton->isChecked();
    enableField(DestinationEmailEdit, mail);
    DestinationEmailAdvancedButton->setEnabled(mail);
    const bool letter = StartupDriveLetterRadioButton->isChecked();
    enableField(StartupComboBox, letter);
    StartupLabel3->setEnabled(letter);
    const bool logging = LoggingEnableCheckBox->isChecked();
    enableField(LoggingFilenameEdit, logging);
    enableField(LoggingLimitSpinEdit, logging);
    for (QWidget* control : std::initializer_list<QWidget*>{
             LoggingLabel1, LoggingFileBrowseButton, LoggingLabel2, LoggingRecycleRadioButton,
             LoggingAppendRadioButton, LoggingLabel4, LoggingLabel3, LoggingLabel5,
             LoggingIncludeStatusCheckBox, LoggingIncludeWarningCheckBox, LoggingIncludeErrorsCheckBox,
             LoggingIncludeDebugCheckBox})
        control->setEnabled(logging);
}

void TPrefsForm::OptionsTreeViewChange()
{
    if (QTreeWidgetItem* item = OptionsTreeView->currentItem())
        MainPageControl->setCurrentIndex(OptionsTreeView->indexOfTopLevelItem(item));
}

void TPrefsForm::DestinationFolderBrowseButtonClick()
{
    QString folder = DestinationFolderEdit->text();
    if (BrowseForFolder(this, QStringLiteral("Default Folder"), folder))
        DestinationFolderEdit->setText(folder);
}

void TPrefsForm::LoggingFileBrowseButtonClick()
{
    const QFileInfo current(LoggingFilenameEdit->text());
    const QString folder = current.path() == QLatin1String(".") ? GetProgramDir() : current.path();
    QString chosen;
    if (const auto& answer = TLogFileAnswer::Get()) {
        chosen = answer(folder, current.fileName());
    } else {
        QFileDialog dialog(this, QString(), QDir(folder).filePath(current.fileName()),
                           QStringLiteral("Text File (*.txt);;Log File (*.log)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (chosen.isEmpty())
        return;
    // A log beside the program is stored by its name alone.
    const QFileInfo file(chosen);
    const QString programDir = QDir::cleanPath(GetProgramDir());
    if (QDir::cleanPath(file.absolutePath()).compare(programDir, Qt::CaseInsensitive) == 0)
        LoggingFilenameEdit->setText(file.fileName());
    else
        LoggingFilenameEdit->setText(QDir::toNativeSeparators(file.absoluteFilePath()));
}

void TPrefsForm::DestinationFtpAdvancedButtonClick()
{
    // The FTP destination is not offered, so nothing of the editor's answer is kept.
    TFTPAccount account;
    OpenFTPAccountEditor(account, this);
}

void TPrefsForm::HelpButtonClick()
{
    QWidget* page = MainPageControl->currentWidget();
    ShowHelpPage(page ? page->property("HelpKeyword").toString() : QString::fromLatin1(WindowHelpKeyword),
                 this);
}

void TPrefsForm::LoadLanguageItems()
{
    LanguageListView->clear();
    auto* builtIn = new QListWidgetItem(DefaultLanguageCaption, LanguageListView);
    builtIn->setData(LanguageFileRole, QString());
    const QDir folder(LanguageFolder());
    for (const QString& file : folder.entryList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name)) {
        // Each file is listed by its name without the extension; choosing it stores the
        // file's own name, so a name with more dots than one still loads that file.
        const QString base = file.left(file.lastIndexOf(QLatin1Char('.')));
        auto* item = new QListWidgetItem(UpCaseFirst(base), LanguageListView);
        item->setData(LanguageFileRole, file);
    }
    LanguageListView->clearSelection();
    LanguageListView->setCurrentRow(-1);
    for (int row = 1; row < LanguageListView->count() && !GlobalLanguage.isEmpty(); ++row) {
        if (LanguageListView->item(row)
                ->data(LanguageFileRole)
                .toString()
                .compare(GlobalLanguage, Qt::CaseInsensitive) == 0) {
            LanguageListView->setCurrentRow(row);
            return;
        }
    }
    LanguageListView->setCurrentRow(0);
}

void TPrefsForm::LoadSettings(int activePageIndex)
{
    const TSettingsCopy settings = TSettingsCopy::Current();
    switch (settings.Get(GlobalRecoveryDestination)) {
    case rdFolder:
        DestinationFolderRadioButton->setChecked(true);
        break;
    case rdFTP:
        DestinationFTPRadioButton->setChecked(true);
        break;
    case rdEmail:
        DestinationEMailRadioButton->setChecked(true);
        break;
    case rdMemory:
        break;
    }
    DestinationFolderEdit->setText(settings.Get(GlobalRecoveryDestinationFolder));
    DestinationFTPEdit->setText(RemoveUrlPassword(settings.Get(GlobalRecoveryDestinationFTP)));
    DestinationEmailEdit->setText(settings.Get(GlobalRecoveryDestinationEmail));
    StartupShowSplashCheckBox->setChecked(settings.Get(GlobalStartupShowSplash));
    switch (settings.Get(GlobalStartupDefaultAction)) {
    case sdaSelectDisk:
        StartupSelectDiskRadioButton->setChecked(true);
        break;
    case sdaSystem:
        StartupSystemDiskRadioButton->setChecked(true);
        break;
    case sdaDriveLetter:
        StartupDriveLetterRadioButton->setChecked(true);
        break;
    case sdaNothing:
        StartupNothingRadioButton->setChecked(true);
        break;
    }
    const QChar letter = settings.Get(GlobalStartupDefaultActionDiskLetter);
    StartupComboBox->setCurrentIndex(letter >= u'A' && letter <= u'Z' ? letter.unicode() - u'A' : -1);
    LoggingEnableCheckBox->setChecked(settings.Get(GlobalLogEnable));
    LoggingFilenameEdit->setText(settings.Get(GlobalLogFilename));
    LoggingRecycleRadioButton->setChecked(settings.Get(GlobalLogRecycle));
    LoggingAppendRadioButton->setChecked(!settings.Get(GlobalLogRecycle));
    // A negative limit (from a hand-edited store) shows the default.
    const int limit = settings.Get(GlobalLogSizeMaxKb);
    LoggingLimitSpinEdit->setValue(limit >= 0 ? limit : DefaultLogSizeMaxKb);
    LoggingIncludeStatusCheckBox->setChecked(settings.Get(GlobalLogAddStatus));
    LoggingIncludeWarningCheckBox->setChecked(settings.Get(GlobalLogAddWarnings));
    LoggingIncludeErrorsCheckBox->setChecked(settings.Get(GlobalLogAddErrors));
    LoggingIncludeDebugCheckBox->setChecked(settings.Get(GlobalLogAddDebug));
    LoadLanguageItems();
    ConfirmationsFileOverwriteCheckBox->setChecked(settings.Get(GlobalConfirmOverwrite));
    ConfirmationsInterruptCheckBox->setChecked(settings.Get(GlobalConfirmInterrupt));
    ConfirmationsExitCheckBox->setChecked(settings.Get(GlobalConfirmExit));
    const int page = activePageIndex == -1 ? LastPreferencesSelectedTab : activePageIndex;
    MainPageControl->setCurrentIndex(page >= 0 && page < MainPageControl->count() ? page : 0);
    CheckState();
}

void TPrefsForm::SaveSettings()
{
    TSettingsCopy settings = TSettingsCopy::Current();
    if (DestinationFolderRadioButton->isChecked())
        settings.Set(GlobalRecoveryDestination, rdFolder);
    else if (DestinationFTPRadioButton->isChecked())
        settings.Set(GlobalRecoveryDestination, rdFTP);
    else if (DestinationEMailRadioButton->isChecked())
        settings.Set(GlobalRecoveryDestination, rdEmail);
    settings.Set(GlobalRecoveryDestinationFolder, DestinationFolderEdit->text());
    // A password typed into the address is not kept anywhere.
    settings.Set(GlobalRecoveryDestinationFTP, RemoveUrlPassword(DestinationFTPEdit->text()));
    settings.Set(GlobalRecoveryDestinationEmail, DestinationEmailEdit->text());
    settings.Set(GlobalStartupShowSplash, StartupShowSplashCheckBox->isChecked());
    if (StartupSelectDiskRadioButton->isChecked())
        settings.Set(GlobalStartupDefaultAction, sdaSelectDisk);
    else if (StartupSystemDiskRadioButton->isChecked())
        settings.Set(GlobalStartupDefaultAction, sdaSystem);
    else if (StartupDriveLetterRadioButton->isChecked())
        settings.Set(GlobalStartupDefaultAction, sdaDriveLetter);
    else if (StartupNothingRadioButton->isChecked())
        settings.Set(GlobalStartupDefaultAction, sdaNothing);
    const QString letter = StartupComboBox->currentIndex() >= 0 ? StartupComboBox->currentText() : QString();
    settings.Set(GlobalStartupDefaultActionDiskLetter, letter.isEmpty() ? QChar(u'?') : letter[0]);
    settings.Set(GlobalLogEnable, LoggingEnableCheckBox->isChecked());
    settings.Set(GlobalLogFilename, LoggingFilenameEdit->text());
    settings.Set(GlobalLogRecycle, !LoggingAppendRadioButton->isChecked());
    settings.Set(GlobalLogSizeMaxKb, LoggingLimitSpinEdit->value());
    settings.Set(GlobalLogAddStatus, LoggingIncludeStatusCheckBox->isChecked());
    settings.Set(GlobalLogAddWarnings, LoggingIncludeWarningCheckBox->isChecked());
    settings.Set(GlobalLogAddErrors, LoggingIncludeErrorsCheckBox->isChecked());
    settings.Set(GlobalLogAddDebug, LoggingIncludeDebugCheckBox->isChecked());
    const QListWidgetItem* language = LanguageListView->currentItem();
    const QString languageFile = language ? language->data(LanguageFileRole).toString() : QString();
    settings.Set(GlobalLanguage, languageFile);
    settings.Set(GlobalConfirmOverwrite, ConfirmationsFileOverwriteCheckBox->isChecked());
    settings.Set(GlobalConfirmInterrupt, ConfirmationsInterruptCheckBox->isChecked());
    settings.Set(GlobalConfirmExit, ConfirmationsExitCheckBox->isChecked());
    settings.Commit();
    // Windows opened from now on show the chosen language; open ones keep theirs.
    if (languageFile.isEmpty())
        CurrentLanguageFile.reset();
    else
        CurrentLanguageFile = LoadLanguage(languageFile);
    LastPreferencesSelectedTab = MainPageControl->currentIndex();
}

bool OpenPreferences(QWidget* parent, int activePageIndex)
{
    TPrefsForm form(parent);
    form.LoadSettings(activePageIndex);
    if (ExecModal(form) != QDialog::Accepted)
        return false;
    form.SaveSettings();
    return true;
}
