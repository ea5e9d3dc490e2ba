#include "viewers/ui/TFilePropertiesForm.h"

#include "settings/ui/LanguageForms.h"
#include "disk/TBaseElement.h"
#include "mainwindow/TMainViewRules.h"
#include "periphery/THelpWindow.h"
#include "periphery/TOkHelpButtons.h"
#include "periphery/TImageLists.h"
#include "viewers/TFileProperties.h"
#include "periphery/TWindowSizeMemory.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QThreadPool>
#include <QVBoxLayout>

namespace {

QFrame* newBevel(QWidget* parent)
{
    auto* bevel = new QFrame(parent);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    return bevel;
}

} // namespace

TFilePropertiesForm::TFilePropertiesForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PropertiesForm"));
    setWindowTitle(QStringLiteral("Properties"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    resize(359, 416);
    if (TImageLists::FileImagesLarge().isEmpty())
        TImageLists::LoadApplicationImages();

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));

    auto* general = new QWidget();
    general->setObjectName(QStringLiteral("GeneralTabSheet"));
    auto* grid = new QGridLayout(general);
    grid->setColumnMinimumWidth(0, 80);
    grid->setColumnStretch(1, 1);
    int row = 0;

    for (int i = 0; i < ImageCount; ++i) {
        GeneralFileImage[i] = new QLabel(general);
        GeneralFileImage[i]->setObjectName(QStringLiteral("GeneralFileImage%1").arg(i));
        GeneralFileImage[i]->setPixmap(
            TImageLists::FileIcon(TMainViewRules::KindImageIndex(static_cast<TElementKind>(i)), true)
                .pixmap(TImageLists::FileLargeSize, TImageLists::FileLargeSize));
        GeneralFileImage[i]->setFixedSize(TImageLists::FileLargeSize, TImageLists::FileLargeSize);
        GeneralFileImage[i]->hide();
        grid->addWidget(GeneralFileImage[i], row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    }
    GeneralFileNameEdit = newValue(QStringLiteral("GeneralFileNameEdit"));
    grid->addWidget(GeneralFileNameEdit, row++, 1);
    grid->addWidget(newBevel(general), row++, 0, 1, 2);

    auto addRow = [&](const QString& caption, const QString& name) {
        QLineEdit* edit = newValue(name);
        auto* label = new QLabel(caption, general);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row++, 1);
        return edit;
    };
    GeneralFileIdEdit = addRow(QStringLiteral("Id:"), QStringLiteral("GeneralFileIdEdit"));
    GeneralFileStatusEdit = addRow(QStringLiteral("Status:"), QStringLiteral("GeneralFileStatusEdit"));
    GeneralFileFoundEdit = addRow(QStringLiteral("Found:"), QStringLiteral("GeneralFileFoundEdit"));
    grid->addWidget(newBevel(general), row++, 0, 1, 2);
    GeneralFileTypeEdit = addRow(QStringLiteral("Type:"), QStringLiteral("GeneralFileTypeEdit"));
    GeneralFileLocationEdit = addRow(QStringLiteral("Location:"), QStringLiteral("GeneralFileLocationEdit"));
    GeneralFileSizeEdit = addRow(QStringLiteral("Size:"), QStringLiteral("GeneralFileSizeEdit"));
    GeneralFileSizeOnDiskEdit =
        addRow(QStringLiteral("Size on disk"), QStringLiteral("GeneralFileSizeOnDiskEdit"));
    grid->addWidget(newBevel(general), row++, 0, 1, 2);
    GeneralFileCreatedEdit = addRow(QStringLiteral("Created:"), QStringLiteral("GeneralFileCreatedEdit"));
    GeneralFileModifiedEdit = addRow(QStringLiteral("Modified:"), QStringLiteral("GeneralFileModifiedEdit"));
    GeneralFileAccessedEdit = addRow(QStringLiteral("Accessed:"), QStringLiteral("GeneralFileAccessedEdit"));
    grid->setRowStretch(row, 1);
    PageControl->addTab(general, QStringLiteral("General"));

    // Recovery details: shown for a deleted file the analysis rated.
    auto* recovery = new QWidget();
    recovery->setObjectName(QStringLiteral("RecoveryTabSheet"));
    auto* recoveryLayout = new QVBoxLayout(recovery);
    recoveryLayout->addWidget(new QLabel(QStringLiteral("Recovery is:"), recovery));
    RecoveryVerdictLabel = new QLabel(QStringLiteral("Possible/Impossible/Partially possible"), recovery);
    RecoveryVerdictLabel->setObjectName(QStringLiteral("RecoveryVerdictLabel"));
    QFont bold = RecoveryVerdictLabel->font();
    bold.setBold(true);
    RecoveryVerdictLabel->setFont(bold);
    recoveryLayout->addWidget(RecoveryVerdictLabel);
    recoveryLayout->addWidget(new QLabel(QStringLiteral("Details:"), recovery));
    RecoveryMemo = new QPlainTextEdit(recovery);
    RecoveryMemo->setObjectName(QStringLiteral("RecoveryMemo"));
    RecoveryMemo->setReadOnly(true);
    recoveryLayout->addWidget(RecoveryMemo);
    RecoveryOwnersButton = new QPushButton(QStringLiteral("Which files hold its clusters?"), recovery);
    RecoveryOwnersButton->setObjectName(QStringLiteral("RecoveryOwnersButton"));
    RecoveryOwnersButton->hide();
    connect(RecoveryOwnersButton, &QPushButton::clicked, this, &TFilePropertiesForm::askOwners);
    recoveryLayout->addWidget(RecoveryOwnersButton, 0, Qt::AlignLeft);
    m_recoveryIndex = PageControl->addTab(recovery, QStringLiteral("Recovery"));
    PageControl->setTabVisible(m_recoveryIndex, false);
    PageControl->setCurrentIndex(0);

    const TOkHelpButtons buttons(this, PageControl, HelpKeyword);
    Button1 = buttons.Ok;
    Button3 = buttons.Help;
    // The chosen language replaces the built-in texts.
    // The size the user left the window with.
    TWindowSizeMemory::Keep(this);
    UpdateLanguage(this);
    m_title = windowTitle(); // the file's name goes before it
}

QLineEdit* TFilePropertiesForm::newValue(const QString& name)
{
    auto* edit = new QLineEdit(QStringLiteral("---"), this);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFrame(false);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    edit->setPalette(pal);
    return edit;
}

void TFilePropertiesForm::FillFrom(const TFileProperties& properties)
{
    setWindowTitle(properties.Name + QLatin1Char(' ') + m_title);
    for (int i = 0; i < ImageCount; ++i)
        GeneralFileImage[i]->setVisible(i == properties.ImageIndex);
    GeneralFileNameEdit->setText(properties.Name);
    GeneralFileIdEdit->setText(properties.Id);
    GeneralFileStatusEdit->setText(properties.Status);
    GeneralFileFoundEdit->setText(properties.Found);
    GeneralFileTypeEdit->setText(properties.Type);
    GeneralFileLocationEdit->setText(properties.Location);
    GeneralFileSizeEdit->setText(properties.Size);
    GeneralFileSizeOnDiskEdit->setText(properties.SizeOnDisk);
    GeneralFileCreatedEdit->setText(properties.Created);
    GeneralFileModifiedEdit->setText(properties.Modified);
    GeneralFileAccessedEdit->setText(properties.Accessed);
    PageControl->setTabVisible(m_recoveryIndex, properties.HasRecovery);
    RecoveryVerdictLabel->setText(properties.RecoveryVerdict);
    RecoveryMemo->setPlainText(properties.RecoveryDetails);
    m_ownersRecord = properties.HasRecovery ? properties.OwnersRecord : nullptr;
    RecoveryOwnersButton->setVisible(m_ownersRecord != nullptr);
    RecoveryOwnersButton->setEnabled(m_ownersRecord != nullptr);
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setCursorPosition(0);
}

void TFilePropertiesForm::askOwners()
{
    if (!m_ownersRecord)
        return;
    RecoveryOwnersButton->setEnabled(false);
    RecoveryOwnersButton->setText(QStringLiteral("Looking for the files..."));
    // The search walks the whole volume. The answer is posted back to the GUI thread and
    // dropped there when the window has closed meanwhile; the record lives as long as the task.
    QThreadPool::globalInstance()->start(
        [record = m_ownersRecord, form = QPointer<TFilePropertiesForm>(this)] {
            const TFileProperties::TOwners owners = TFileProperties::FindOwners(*record);
            const QString text = TFileProperties::OwnersText(owners);
            const bool answered = owners.Count >= 0;
            QMetaObject::invokeMethod(QCoreApplication::instance(), [form, text, answered] {
                if (form)
                    form->showOwners(text, answered);
            });
        });
}

void TFilePropertiesForm::showOwners(const QString& text, bool answered)
{
    RecoveryMemo->appendPlainText(text);
    RecoveryOwnersButton->setText(QStringLiteral("Which files hold its clusters?"));
    // An answer stands for as long as the window is open; after a failure it may be asked again.
    RecoveryOwnersButton->setEnabled(!answered);
}

void TFilePropertiesForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        ShowHelpPage(QLatin1String(HelpKeyword), this);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ShowFileProperties(TBaseElement* element, QWidget* parent)
{
    if (!element)
        return false;
    TFilePropertiesForm form(parent);
    form.FillFrom(TFileProperties(*element));
    form.exec();
    return true;
}
