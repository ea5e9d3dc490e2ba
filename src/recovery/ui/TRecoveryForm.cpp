#include "recovery/ui/TRecoveryForm.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TElementsList.h"
#include "periphery/ExecModal.h"
#include "periphery/TFolderBrowse.h"
#include "periphery/THelpWindow.h"
#include "periphery/TImageLists.h"
#include "periphery/TWindowSizeMemory.h"
#include "recovery/TRecoveryRun.h"
#include "recovery/ui/TFileRecoveryLoadForm.h"
#include "recovery/ui/TStateTreeView.h"
#include "recovery/ui/TWizardTreeBuilder.h"
#include "settings/Messages.h"
#include "settings/Settings.h"
#include "settings/ui/LanguageForms.h"
#include "util/TUserPrompt.h"
#include "util/Utils.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QRadioButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTextOption>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    // Names come from the disk: never let one be read as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* makeBoldLabel(QWidget* parent, const char* name, const QString& text, qreal scale = 1.0)
{
    QLabel* label = makeLabel(parent, name, text);
    QFont font = label->font();
    font.setBold(true);
    if (scale != 1.0)
        font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

// A row of widgets from the left, the rest of the row left empty.
QHBoxLayout* leftRow(std::initializer_list<QWidget*> widgets, int indent = 0)
{
    auto* row = new QHBoxLayout;
    if (indent > 0)
        row->addSpacing(indent);
    for (QWidget* widget : widgets)
        row->addWidget(widget);
    row->addStretch(1);
    return row;
}

// The picture at the wizard's left side.
QPixmap wizardPicture(const QSize& size)
{
    QPixmap picture(size);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0.0, QColor(0x1f, 0x3c, 0x6e));
    gradient.setColorAt(1.0, QColor(0x7f, 0xa7, 0xd9));
    painter.fillRect(picture.rect(), gradient);
    const QIcon drive = TImageLists::FileIcon(TImageLists::fiDrive, true);
    if (!drive.isNull())
        drive.paint(&painter, QRect(size.width() / 2 - 24, 40, 48, 48));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    painter.setFont(font);
    painter.drawText(QRect(0, 100, size.width(), 60), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     QStringLiteral("Recovery Wizard"));
    return picture;
}

} // namespace

// ---- Window ------------------------------------------------------------------------------

TRecoveryForm::TRecoveryForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RecoveryForm"));
    setWindowTitle(QStringLiteral("Recovery Wizard"));
    setProperty("HelpKeyword", QString::fromLatin1(HelpKeyword));
    setSizeGripEnabled(true);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("WizardImage"));
    picture->setPixmap(wizardPicture(QSize(150, 350)));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);

    PageControl = new QStackedWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    const char* const pageNames[] = {"FilesPage", "DestinationPage", "ProgressPage", "FinishPage"};
    for (const char* name : pageNames) {
        auto* page = new QWidget(PageControl);
        page->setObjectName(QLatin1String(name));
        PageControl->addWidget(page);
    }
    buildFilesPage(PageControl->widget(pgFiles));
    buildDestinationPage(PageControl->widget(pgDestination));
    buildProgressPage(PageControl->widget(pgProgress));
    buildFinishPage(PageControl->widget(pgFinish));
    PageControl->setCurrentIndex(pgFiles);

    BackButton = makeButton(this, "BackButton", QStringLiteral("< &Back"));
    NextButton = makeButton(this, "NextButton", QStringLiteral("&Next >"));
    NextButton->setAutoDefault(true);
    NextButton->setDefault(true);
    CloseButton = makeButton(this, "CloseButton", QStringLiteral("&Close"));
    HelpButton = makeButton(this, "HelpButton", QStringLiteral("&Help"));

    // The picture on the left, the pages beside it, the buttons below; longer texts (another
    // language) make the window grow from its first size.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 8, 7);
    layout->setHorizontalSpacing(8);
    layout->addWidget(picture, 0, 0, 2, 1);
    auto* pages = new QVBoxLayout;
    pages->setContentsMargins(0, 8, 0, 0);
    pages->addWidget(PageControl);
    layout->addLayout(pages, 0, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->setSpacing(2);
    buttons->addWidget(BackButton);
    buttons->addWidget(NextButton);
    buttons->addSpacing(10);
    buttons->addWidget(CloseButton);
    buttons->addSpacing(10);
    buttons->addWidget(HelpButton);
    layout->addLayout(buttons, 1, 1);
    layout->setRowStretch(0, 1);
    layout->setColumnStretch(1, 1);
    resize(606, 390);

    connect(BackButton, &QPushButton::clicked, this, &TRecoveryForm::BackButtonClick);
    connect(NextButton, &QPushButton::clicked, this, &TRecoveryForm::NextButtonClick);
    connect(CloseButton, &QPushButton::clicked, this, &TRecoveryForm::reject);
    connect(FilesCheckAllButton, &QPushButton::clicked, this, &TRecoveryForm::FilesCheckAllButtonClick);
    connect(FilesCheckDeletedButton, &QPushButton::clicked, this,
            &TRecoveryForm::FilesCheckDeletedButtonClick);
    connect(FilesCheckIntactButton, &QPushButton::clicked, this, &TRecoveryForm::FilesCheckIntactButtonClick);
    connect(FilesUncheckButton, &QPushButton::clicked, this, &TRecoveryForm::FilesUncheckButtonClick);
    connect(DestinationFolderBrowseButton, &QPushButton::clicked, this,
            &TRecoveryForm::DestinationFolderBrowseButtonClick);
    connect(FinishButtonExplore, &QPushButton::clicked, this, &TRecoveryForm::FinishButtonExploreClick);
    connect(FinishButtonFeedback, &QPushButton::clicked, this, &TRecoveryForm::FinishButtonFeedbackClick);
    // Checking a destination by click or by program recomputes the controls.
    for (QRadioButton* radio :
         {DestinationFolderRadioButton, DestinationFTPRadioButton, DestinationEmailRadioButton})
        connect(radio, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                CheckState();
        });

    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this,
            [this] { ShowHelpPage(QString::fromLatin1(HelpKeyword), this); });

    FormCreate();
    CheckState();
    // The chosen language replaces the built-in texts.
    // The size the user left the window with.
    TWindowSizeMemory::Keep(this);
    UpdateLanguage(this);
}

TRecoveryForm::~TRecoveryForm() = default;

void TRecoveryForm::buildFilesPage(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(makeLabel(page, "FilesLabel", QStringLiteral("Files selected for recovery:")));
    FilesTreeView = new TStateTreeView(page);
    FilesTreeView->setObjectName(QStringLiteral("FilesTreeView"));
    FilesTreeView->setIndentation(19);
    FilesTreeView->SetStateIgnore(0);
    FilesTreeView->setStateRecursion(true);
    layout->addWidget(FilesTreeView, 1);
    FilesCheckAllButton = makeButton(page, "FilesCheckAllButton", QStringLiteral("Check all"));
    FilesCheckDeletedButton =
        makeButton(page, "FilesCheckDeletedButton", QStringLiteral("Check deleted only"));
    FilesCheckIntactButton = makeButton(page, "FilesCheckIntactButton", QStringLiteral("Check intact only"));
    FilesUncheckButton = makeButton(page, "FilesUncheckButton", QStringLiteral("Uncheck all"));
    layout->addLayout(
        leftRow({FilesCheckAllButton, FilesCheckDeletedButton, FilesCheckIntactButton, FilesUncheckButton}));
    layout->addSpacing(4);
    layout->addWidget(makeLabel(page, "FilesNextLabel", QStringLiteral("Click Next to continue...")));
}

void TRecoveryForm::buildDestinationPage(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 8, 0, 0);
    m_destinationGroup = new QButtonGroup(this);
    auto radio = [&](const char* name, const QString& text) {
        auto* button = new QRadioButton(text, page);
        button->setObjectName(QLatin1String(name));
        m_destinationGroup->addButton(button);
        layout->addWidget(button);
        return button;
    };
    // An edit indented under its choice, with the choice's button beside it.
    auto edit = [&](const char* name, QPushButton* button) {
        auto* line = new QLineEdit(page);
        line->setObjectName(QLatin1String(name));
        auto* row = new QHBoxLayout;
        row->addSpacing(18);
        row->addWidget(line, 1);
        row->addWidget(button);
        layout->addLayout(row);
        layout->addSpacing(8);
        return line;
    };
    DestinationFolderRadioButton =
        radio("DestinationFolderRadioButton", QStringLiteral("Use this local or network folder:"));
    DestinationFolderBrowseButton =
        makeButton(page, "DestinationFolderBrowseButton", QStringLiteral("Browse..."));
    DestinationFolderEdit = edit("DestinationFolderEdit", DestinationFolderBrowseButton);

    // Upload and e-mail destinations are not offered; their controls stay hidden.
    DestinationFTPRadioButton = radio("DestinationFTPRadioButton", QStringLiteral("Upload to FTP"));
    DestinationFTPAdvancedButton =
        makeButton(page, "DestinationFTPAdvancedButton", QStringLiteral("Advanced..."));
    DestinationFTPEdit = edit("DestinationFTPEdit", DestinationFTPAdvancedButton);
    DestinationEmailRadioButton = radio("DestinationEmailRadioButton", QStringLiteral("Send to e-mail"));
    DestinationEmailAdvancedButton =
        makeButton(page, "DestinationEmailAdvancedButton", QStringLiteral("Advanced..."));
    DestinationEmailEdit = edit("DestinationEmailEdit", DestinationEmailAdvancedButton);
    AdditionalRecoverAlternativeDataStreamsCheckBox =
        new QCheckBox(QStringLiteral("Recover alternative data streams (NTFS only)"), page);
    AdditionalRecoverAlternativeDataStreamsCheckBox->setObjectName(
        QStringLiteral("AdditionalRecoverAlternativeDataStreamsCheckBox"));
    layout->addWidget(AdditionalRecoverAlternativeDataStreamsCheckBox);
    AdditionalRecoverSecurityCheckBox = new QCheckBox(QStringLiteral("Recover security (NTFS only)"), page);
    AdditionalRecoverSecurityCheckBox->setObjectName(QStringLiteral("AdditionalRecoverSecurityCheckBox"));
    layout->addWidget(AdditionalRecoverSecurityCheckBox);
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             DestinationFTPRadioButton, DestinationFTPEdit, DestinationFTPAdvancedButton,
             DestinationEmailRadioButton, DestinationEmailEdit, DestinationEmailAdvancedButton,
             AdditionalRecoverAlternativeDataStreamsCheckBox, AdditionalRecoverSecurityCheckBox})
        hidden->setVisible(false);
    layout->addStretch(1);
    layout->addWidget(makeLabel(page, "DestinationNextLabel", QStringLiteral("Click Next to continue...")));
}

void TRecoveryForm::buildProgressPage(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(2);
    auto bar = [&](const char* name) {
        auto* progress = new QProgressBar(page);
        progress->setObjectName(QLatin1String(name));
        progress->setMaximumHeight(16);
        progress->setTextVisible(false);
        progress->setRange(0, 1);
        progress->setValue(0);
        layout->addWidget(progress);
        layout->addSpacing(8);
        return progress;
    };
    layout->addWidget(makeBoldLabel(page, "ProgressCurrentLabel", QStringLiteral("Current file:")));
    ProgressCurrentFilenameLabel = makeLabel(page, "ProgressCurrentFilenameLabel", QStringLiteral("#"));
    layout->addWidget(ProgressCurrentFilenameLabel);
    ProgressCurrentProgressBar = bar("ProgressCurrentProgressBar");

    layout->addWidget(makeBoldLabel(page, "ProgressTotalLabel", QStringLiteral("Total progress:")));
    auto* counts = new QGridLayout;
    counts->setHorizontalSpacing(6);
    auto pair = [&](int row, int column, const char* captionName, const QString& caption,
                    const char* valueName) {
        counts->addWidget(makeLabel(page, captionName, caption), row, column);
        QLabel* value = makeLabel(page, valueName, QStringLiteral("#"));
        counts->addWidget(value, row, column + 1);
        return value;
    };
    ProgressTotalFilesLabel =
        pair(0, 0, "ProgressTotalFilesCaption", QStringLiteral("Total files:"), "ProgressTotalFilesLabel");
    ProgressProcessedFilesLabel = pair(0, 2, "ProgressProcessedFilesCaption", QStringLiteral("Processed:"),
                                       "ProgressProcessedFilesLabel");
    ProgressTotalSizeLabel =
        pair(1, 0, "ProgressTotalSizeCaption", QStringLiteral("Total size:"), "ProgressTotalSizeLabel");
    ProgressProcessedSizeLabel = pair(1, 2, "ProgressProcessedSizeCaption", QStringLiteral("Processed size:"),
                                      "ProgressProcessedSizeLabel");
    counts->setColumnStretch(1, 1);
    counts->setColumnStretch(3, 1);
    layout->addLayout(counts);
    ProgressTotalProgressBar = bar("ProgressTotalProgressBar");

    ProgressLog = new QPlainTextEdit(page);
    ProgressLog->setObjectName(QStringLiteral("ProgressLog"));
    ProgressLog->setReadOnly(true);
    // Lines are mostly long paths: they wrap, at the window's edge even inside a name, so
    // all of a line is seen without scrolling sideways.
    ProgressLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ProgressLog->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    ProgressLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ProgressLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(ProgressLog, 1);
}

void TRecoveryForm::buildFinishPage(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(makeBoldLabel(page, "FinishLabel", QStringLiteral("Recovery finished!"), 1.4));
    layout->addSpacing(12);
    FinishLabel2 = makeBoldLabel(page, "FinishLabel2", QStringLiteral("0"));
    layout->addLayout(leftRow(
        {makeLabel(page, "FinishLabel1", QStringLiteral("You have recovered files:")), FinishLabel2}));
    FinishDetailsLabel = makeLabel(page, "FinishDetailsLabel", QString());
    FinishDetailsLabel->setWordWrap(true);
    FinishDetailsLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FinishDetailsLabel->setVisible(false);
    layout->addWidget(FinishDetailsLabel);
    FinishButtonExplore = makeButton(page, "FinishButtonExplore", QStringLiteral("Explore Recovered Files"));
    layout->addLayout(leftRow({FinishButtonExplore}));
    layout->addSpacing(12);
    QLabel* feedbackText =
        makeLabel(page, "FinishFeedbackLabel",
                  QStringLiteral("We appreciate if you write one-two lines about the files you "
                                 "have recovered. We post this information on our web site for "
                                 "others people view."));
    feedbackText->setWordWrap(true);
    layout->addWidget(feedbackText);
    FinishButtonFeedback =
        makeButton(page, "FinishButtonFeedback", QStringLiteral("Send your feedback to us!"));
    layout->addLayout(leftRow({FinishButtonFeedback}));
    QLabel* note = makeLabel(page, "FinishFeedbackNote",
                             QStringLiteral("The button opens our web site in your browser."));
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch(1);
}

// ---- Handlers ----------------------------------------------------------------------------

void TRecoveryForm::FormCreate()
{
    ScanMode = false;
    ScanComplete = false;
    FirstActivation = true;
}

void TRecoveryForm::FormActivate()
{
    if (!FirstActivation)
        return;
    FirstActivation = false;
    QCoreApplication::processEvents();
    FilesCheckDeletedButtonClick();
}

bool TRecoveryForm::event(QEvent* event)
{
    if (event->type() == RecoveryLogMessage) {
        flushLog();
        return true;
    }
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void TRecoveryForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Where the platform does not activate the window, the first showing stands in for
    // the first activation.
    if (FirstActivation)
        QTimer::singleShot(0, this, &TRecoveryForm::FormActivate);
}

void TRecoveryForm::CheckState()
{
    DestinationFolderEdit->setEnabled(DestinationFolderRadioButton->isChecked());
    DestinationFolderBrowseButton->setEnabled(DestinationFolderRadioButton->isChecked());
    DestinationFTPEdit->setEnabled(DestinationFTPRadioButton->isChecked());
    DestinationFTPAdvancedButton->setEnabled(DestinationFTPRadioButton->isChecked());
    DestinationEmailEdit->setEnabled(DestinationEmailRadioButton->isChecked());
    DestinationEmailAdvancedButton->setEnabled(DestinationEmailRadioButton->isChecked());

    if (!DestinationFolderEdit->text().isEmpty())
        GlobalRecoveryDestinationFolder = DestinationFolderEdit->text();

    bool back = true, next = true, close = true;
    switch (PageControl->currentIndex()) {
    case pgFiles:
        back = false;
        break;
    case pgDestination:
        break;
    case pgProgress:
        if (ScanMode)
            back = next = close = false;
        else
            next = ScanComplete;
        break;
    default:
        next = false;
        break;
    }
    BackButton->setEnabled(back);
    NextButton->setEnabled(next);
    CloseButton->setEnabled(close);

    // Damaged copies are told apart, never among the files recovered.
    FinishLabel2->setText(QString::number(m_counters.CleanFiles()));
    const QString details = finishDetails();
    FinishDetailsLabel->setText(details);
    FinishDetailsLabel->setVisible(!details.isEmpty());
}

QString TRecoveryForm::finishDetails() const
{
    QStringList lines;
    if (m_counters.DamagedFiles != 0)
        lines << Messages::FinishDamaged.Text().arg(m_counters.DamagedFiles);
    if (m_counters.FailedFiles != 0)
        lines << Messages::FinishFailed.Text().arg(m_counters.FailedFiles);
    if (m_counters.SkippedFiles != 0)
        lines << Messages::FinishSkipped.Text().arg(m_counters.SkippedFiles);
    if (!m_refusal.isEmpty())
        lines << m_refusal;
    if (!m_manifestProblem.isEmpty())
        lines << m_manifestProblem;
    return lines.join(QLatin1Char('\n'));
}

void TRecoveryForm::NextButtonClick()
{
    if (!ScanMode) {
        // A destination this system cannot have is refused here; the page stays.
        if (PageControl->currentIndex() == pgDestination) {
            const QString destination = DestinationFolderEdit->text().isEmpty()
                                            ? GlobalRecoveryDestinationFolder
                                            : DestinationFolderEdit->text();
            if (const QString problem = TRecoveryRun::DestinationFormProblem(destination);
                !problem.isEmpty()) {
                TUserPrompt::Current().Ask(problem, Messages::Warning.Text(), TUserPrompt::Buttons::Ok,
                                           TUserPrompt::Icon::Warning);
                return;
            }
        }
        if (PageControl->currentIndex() < pgFinish)
            PageControl->setCurrentIndex(PageControl->currentIndex() + 1);
        if (PageControl->currentIndex() == pgProgress) {
            ScanComplete = false;
            ScanMode = true;
            CheckState();
            StartRecovery();
            ScanComplete = true;
            ScanMode = false;
            CheckState();
        }
    }
    CheckState();
    if (m_closePending && !ScanMode) {
        m_closePending = false;
        reject();
    }
}

void TRecoveryForm::BackButtonClick()
{
    if (!ScanMode && PageControl->currentIndex() > pgFiles)
        PageControl->setCurrentIndex(PageControl->currentIndex() - 1);
    CheckState();
}

void TRecoveryForm::FilesCheckAllButtonClick()
{
    FilesTreeView->Tree().CheckAll();
}

void TRecoveryForm::FilesCheckDeletedButtonClick()
{
    FilesTreeView->Tree().CheckDeletedOnly();
}

void TRecoveryForm::FilesCheckIntactButtonClick()
{
    FilesTreeView->Tree().CheckIntactOnly();
}

void TRecoveryForm::FilesUncheckButtonClick()
{
    FilesTreeView->Tree().UncheckAll();
}

void TRecoveryForm::DestinationFolderBrowseButtonClick()
{
    QString folder = DestinationFolderEdit->text();
    if (BrowseForFolder(this, QStringLiteral("Select the folder for recovered files"), folder))
        DestinationFolderEdit->setText(folder);
}

void TRecoveryForm::FinishButtonExploreClick()
{
    // Opening a folder shows it in the desktop's file manager.
    ExecuteProgram(GlobalRecoveryDestinationFolder, QString(), true);
}

void TRecoveryForm::FinishButtonFeedbackClick()
{
    ExecuteProgram(QString::fromLatin1(FeedbackAddress), QString(), true);
}

void TRecoveryForm::reject()
{
    if (ScanMode) {
        m_closePending = true;
        return;
    }
    QDialog::reject();
}

// ---- The run -----------------------------------------------------------------------------

const TBaseDisk* TRecoveryForm::sourceDisk() const
{
    // The elements know their drive; the open drive stands in for a tree without one.
    const TStateTree& tree = FilesTreeView->Tree();
    for (TStateTree::NodeId node = 0; node < tree.Count(); ++node) {
        if (const TBaseElement* element = tree.Data(node); element && element->Drive)
            return element->Drive;
    }
    return CurDisk.get();
}

void TRecoveryForm::StartRecovery()
{
    const TBaseDisk* disk = sourceDisk();
    TRecoveryRun run(*this);
    // Every run leaves a manifest of what it did in the destination.
    run.SetManifest(true);
    // With logging on in the Preferences, the run's lines go to the log file too.
    std::unique_ptr<TProgramLog> programLog;
    if (TProgramLog::Options options = TProgramLog::FromSettings(); !options.Path.isEmpty()) {
        programLog = std::make_unique<TProgramLog>(std::move(options));
        run.SetProgramLog(programLog.get());
    }
    m_refusal.clear();
    m_manifestProblem.clear();
    m_runLog.clear();
    m_keepRunLog = true;
    const bool completed = run.StartRecovery(FilesTreeView->Tree(), GlobalRecoveryDestinationFolder,
                                             disk ? disk->DriveLetter : '?', disk ? disk->DriveId : -1);
    m_keepRunLog = false;
    m_counters = run.Counters();
    if (!run.ManifestError().isEmpty())
        m_manifestProblem = Messages::FinishNoManifest.Text().arg(run.ManifestError());
    // A refused run logs its reason between its opening and its closing line, before
    // anything else happens.
    if (!completed && !run.Stopped() && m_runLog.size() > 2)
        m_refusal = m_runLog.mid(1, m_runLog.size() - 2).join(QLatin1Char('\n'));
    m_runLog.clear();
    flushProgress();
    flushLog();
}

void TRecoveryForm::AddLogLine(const QString& line)
{
    // Enough for a refused run's lines; a long run's are not kept twice.
    constexpr qsizetype RunLogKept = 16;
    if (m_keepRunLog && m_runLog.size() < RunLogKept)
        m_runLog.append(line);
    if (m_pendingLog.isEmpty())
        QCoreApplication::postEvent(this, new QEvent(RecoveryLogMessage));
    m_pendingLog.append(line);
}

void TRecoveryForm::flushLog()
{
    if (m_pendingLog.isEmpty())
        return;
    ProgressLog->appendPlainText(m_pendingLog.join(QLatin1Char('\n')));
    m_pendingLog.clear();
}

void TRecoveryForm::ShowCounters(const TRecoveryCounters& counters)
{
    m_counters = counters;
    m_progressPending = true;
}

void TRecoveryForm::SetCurrentFileLabel(const QString& text)
{
    m_currentFile = text;
    m_currentFilePending = true;
    m_progressPending = true;
}

void TRecoveryForm::RefreshProgress(int64_t total, int64_t position)
{
    // The run hands over the engine's latest report on this window's thread, once per
    // wait turn however often the engine reported.
    m_copyTotal = total;
    m_copyPosition = position;
    m_copyReported = true;
    m_progressPending = true;
}

void TRecoveryForm::PumpMessages()
{
    flushProgress();
    QCoreApplication::processEvents();
}

void TRecoveryForm::flushProgress()
{
    if (!m_progressPending)
        return;
    m_progressPending = false;
    ProgressTotalFilesLabel->setText(QString::number(m_counters.TotalFiles));
    ProgressProcessedFilesLabel->setText(QString::number(m_counters.ProcessedFiles));
    ProgressTotalSizeLabel->setText(FormatSize(m_counters.TotalSize));
    ProgressProcessedSizeLabel->setText(FormatSize(m_counters.ProcessedSize));
    SetBarRange(ProgressTotalProgressBar, m_counters.TotalSize, m_counters.ProcessedSize);
    if (m_currentFilePending)
        ProgressCurrentFilenameLabel->setText(m_currentFile);
    if (m_copyReported)
        SetBarRange(ProgressCurrentProgressBar, m_copyTotal, m_copyPosition);
    m_currentFilePending = false;
    m_copyReported = false;
}

void TRecoveryForm::SetBarRange(QProgressBar* bar, int64_t maximum, int64_t position)
{
    maximum = std::max<int64_t>(maximum, 0);
    position = std::clamp<int64_t>(position, 0, maximum);
    const int64_t scale = maximum / std::numeric_limits<int>::max() + 1;
    // A range of 0..0 would show a busy animation; an empty range shows an empty bar.
    bar->setRange(0, std::max(1, int(maximum / scale)));
    bar->setValue(int(position / scale));
}

// ---- Filling the tree and showing the wizard ---------------------------------------------

void StartRecoveryWizard(const TElementsList& elements, QWidget* parent)
{
    auto loadForm = std::make_unique<TFileRecoveryLoadForm>(parent);
    loadForm->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    auto form = std::make_unique<TRecoveryForm>(parent);
    form->PageControl->setCurrentIndex(TRecoveryForm::pgFiles);

    form->FilesTreeView->BeginUpdate();
    TWizardTreeBuilder(form->FilesTreeView->Tree(), *loadForm).AddElements(elements);
    form->FilesTreeView->EndUpdate();
    if (loadForm->isVisible())
        loadForm->hide();

    switch (GlobalRecoveryDestination) {
    case rdFolder:
        form->DestinationFolderRadioButton->setChecked(true);
        break;
    case rdFTP:
        form->DestinationFTPRadioButton->setChecked(true);
        break;
    case rdEmail:
        form->DestinationEmailRadioButton->setChecked(true);
        break;
    default:
        break;
    }
    form->DestinationFolderEdit->setText(GlobalRecoveryDestinationFolder);
    form->DestinationFTPEdit->setText(GlobalRecoveryDestinationFTP);
    form->DestinationEmailEdit->setText(GlobalRecoveryDestinationEmail);

    if (!loadForm->StopLoad)
        ExecModal(*form);
    form.reset();
    loadForm.reset();
}
