#include "disk/ui/TScanDiskForm.h"

#include "settings/ui/LanguageForms.h"
#include "disk/TBaseDisk.h"
#include "periphery/THelpWindow.h"
#include "util/TUserPrompt.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <memory>
#include <limits>

TScanDiskForm* ScanDiskForm = nullptr;

namespace {

const char* const HelpKeyword = "/files/basics.quickstart.html";

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    // Names come from the disk: never let one be read as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TScanDiskForm::TScanDiskForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ScanDiskForm"));
    setWindowTitle(QStringLiteral("Analyzing Drive... Please wait..."));
    setProperty("HelpKeyword", QString::fromLatin1(HelpKeyword));

    Step1Label = makeLabel(this, "Step1Label", QString());
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setMaximumHeight(17);
    Progress->setTextVisible(false);
    Progress->setRange(0, 0);
    SetMaximum(0);
    // The path being read is shortened to the label's width; it never widens the window.
    FileLabel = makeLabel(this, "FileLabel", QString());
    FileLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Step1LabelHidden = makeLabel(this, "Step1LabelHidden",
                                 QStringLiteral("Searching for lost files and folders on drive %s:"));
    Step1LabelHidden->setVisible(false);

    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 6, 14, 6);
    layout->setSpacing(3);
    layout->addWidget(Step1Label);
    layout->addWidget(Progress);
    layout->addWidget(FileLabel);
    layout->addWidget(ButtonCancel, 0, Qt::AlignHCenter);
    resize(349, 102);
    // Placed now: the file label shortens names to its width before the window shows.
    layout->activate();
    // The button only asks the window to close; the close request decides.
    connect(ButtonCancel, &QPushButton::clicked, this, &QWidget::close);

    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this,
            [this] { ShowHelpPage(QString::fromLatin1(HelpKeyword), this); });

    StopScan = false;
    // The chosen language replaces the built-in texts.
    UpdateLanguage(this);
}

TScanDiskForm::~TScanDiskForm()
{
    if (ScanDiskForm == this) {
        ScanDiskForm = nullptr;
    }
}

void TScanDiskForm::SetMaximum(int64_t maximum)
{
    m_maximum = std::max<int64_t>(maximum, 0);
    constexpr int64_t barMax = std::numeric_limits<int>::max();
    m_scale = m_maximum / barMax + 1;
    // A range of 0..0 would show a busy animation; an empty range shows an empty bar.
    Progress->setRange(0, std::max(1, static_cast<int>(m_maximum / m_scale)));
    Progress->setValue(0);
}

void TScanDiskForm::SetPosition(int64_t position)
{
    const int64_t clamped = std::clamp<int64_t>(position, 0, m_maximum);
    Progress->setValue(static_cast<int>(clamped / m_scale));
}

void TScanDiskForm::SetFileLabel(const QString& text)
{
    m_fileLabelText = text;
    showFileLabel();
}

void TScanDiskForm::showFileLabel()
{
    const QFontMetrics metrics(FileLabel->font());
    FileLabel->setText(metrics.elidedText(m_fileLabelText, Qt::ElideMiddle, FileLabel->width()));
}

void TScanDiskForm::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    showFileLabel();
}

void TScanDiskForm::PumpMessages()
{
    QCoreApplication::processEvents();
}

void TScanDiskForm::reject()
{
    if (!RequestStopScan()) {
        return; // the user wants the analysis to go on
    }
    QDialog::reject();
}

bool TScanDiskForm::event(QEvent* e)
{
    const bool handled = QDialog::event(e);
    if (e->type() == QEvent::WindowDeactivate && isVisible()) {
        // Taken back once the activation change is complete, so that the window
        // that took it (and is not one of our own questions) gives it up again.
        QPointer<TScanDiskForm> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self) {
                self->takeActivationBack();
            }
        });
    }
    return handled;
}

void TScanDiskForm::takeActivationBack()
{
    if (!isVisible() || isActiveWindow()) {
        return;
    }
    // A question box (the stop confirmation) must keep the activation to be answered.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != this) {
        return;
    }
    raise();
    activateWindow();
    ButtonCancel->setFocus();
}

bool AnalyzeDrive(int driveId, char driveLetter, bool fullScan, QWidget* parent)
{
    auto scanForm = std::make_unique<TScanDiskForm>(parent);
    ScanDiskForm = scanForm.get();
    scanForm->show();
    scanForm->repaint();
    CloseCurDisk();
    scanForm->Step1Label->setText(scanForm->Step1LabelHidden->text().replace(
        QStringLiteral("%s"), QString(QChar::fromLatin1(driveLetter))));

    bool analysed = false;
    try {
        CurDisk = CreateDisk(driveId);
        analysed = CurDisk->AnalyzeDisk(scanForm.get(), fullScan);
    } catch (const std::exception& e) {
        TUserPrompt::Current().ShowError(QStringLiteral("Error: ") + QString::fromUtf8(e.what()));
    } catch (...) {
        analysed = false;
    }
    // A model the analysis could not finish is not shown as an open drive.
    if (!analysed)
        CloseCurDisk();
    ScanDiskForm = nullptr;
    return analysed;
}
