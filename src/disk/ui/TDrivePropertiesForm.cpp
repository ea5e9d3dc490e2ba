#include "disk/ui/TDrivePropertiesForm.h"

#include "settings/Messages.h"
#include "settings/ui/LanguageForms.h"
#include "disk/TBaseDisk.h"
#include "disk/TDriveProperties.h"
#include "disk/TVantrelApi.h"
#include "periphery/THelpWindow.h"
#include "periphery/TOkHelpButtons.h"
#include "util/TUserPrompt.h"

#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>

namespace {

const QString baseCaption = QStringLiteral("Drive Properties");

QFormLayout* newPage(QTabWidget* tabs, const QString& caption, const QString& name)
{
    auto* page = new QWidget();
    page->setObjectName(name);
    auto* form = new QFormLayout(page);
    form->setLabelAlignment(Qt::AlignLeft);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    tabs->addTab(page, caption);
    return form;
}

} // namespace

TDrivePropertiesForm::TDrivePropertiesForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DrivePropertiesForm"));
    setWindowTitle(baseCaption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(359, 416);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));

    QFormLayout* general = newPage(PageControl, QStringLiteral("General"), QStringLiteral("GeneralTabSheet"));
    GeneralLetterEdit = addValue(general, QString(), QStringLiteral("GeneralLetterEdit"));
    QFont bold = GeneralLetterEdit->font();
    bold.setBold(true);
    GeneralLetterEdit->setFont(bold);
    GeneralFileSystemEdit =
        addValue(general, QStringLiteral("File System:"), QStringLiteral("GeneralFileSystemEdit"));
    GeneralStatusEdit = addValue(general, QStringLiteral("Status:"), QStringLiteral("GeneralStatusEdit"));
    GeneralVolumeLabelEdit =
        addValue(general, QStringLiteral("Volume:"), QStringLiteral("GeneralVolumeLabelEdit"));
    GeneralOEMIdEdit = addValue(general, QStringLiteral("OEM Id:"), QStringLiteral("GeneralOEMIdEdit"));
    GeneralSNEdit = addValue(general, QStringLiteral("S/N:"), QStringLiteral("GeneralSNEdit"));
    GeneralTotalSpaceEdit =
        addValue(general, QStringLiteral("Total Space:"), QStringLiteral("GeneralTotalSpaceEdit"));
    GeneralFreeSpaceEdit =
        addValue(general, QStringLiteral("Free Space:"), QStringLiteral("GeneralFreeSpaceEdit"));

    QFormLayout* info = newPage(PageControl, QStringLiteral("Information"), QStringLiteral("InfoTabSheet"));
    InfoSectorsPerClusterEdit =
        addValue(info, QStringLiteral("Sectors Per Cluster:"), QStringLiteral("InfoSectorsPerClusterEdit"));
    InfoBytesPerSectorEdit =
        addValue(info, QStringLiteral("Bytes Per Sector:"), QStringLiteral("InfoBytesPerSectorEdit"));
    InfoBytesPerClusterEdit =
        addValue(info, QStringLiteral("Bytes Per Cluster:"), QStringLiteral("InfoBytesPerClusterEdit"));
    InfoOffsetInPhysicalEdit =
        addValue(info, QStringLiteral("Offset from Physical:"), QStringLiteral("InfoOffsetInPhysicalEdit"));

    QFormLayout* capabilities =
        newPage(PageControl, QStringLiteral("Capabilities"), QStringLiteral("CapabilitiesTabSheet"));
    for (const TDriveCapability& capability : TDriveProperties::Capabilities()) {
        QLineEdit* edit = addValue(capabilities, QString::fromLatin1(capability.Caption),
                                   QString::fromLatin1(capability.Field));
        edit->setMaximumWidth(60);
        m_capabilityEdits.append(edit);
    }

    const TOkHelpButtons buttons(this, PageControl, HelpKeyword);
    Button1 = buttons.Ok;
    Button3 = buttons.Help;

    PageControl->setCurrentIndex(0);
    // The chosen language replaces the built-in texts.
    UpdateLanguage(this);
    m_title = windowTitle(); // the drive's letter and label go with it
}

QLineEdit* TDrivePropertiesForm::addValue(QFormLayout* layout, const QString& caption, const QString& name)
{
    auto* edit = new QLineEdit(QStringLiteral("---"), this);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFrame(false);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    edit->setPalette(pal);
    if (caption.isEmpty()) {
        layout->addRow(edit);
    } else {
        auto* label = new QLabel(caption, this);
        label->setBuddy(edit);
        layout->addRow(label, edit);
    }
    return edit;
}

void TDrivePropertiesForm::FillFrom(const TDriveInfo& info)
{
    setWindowTitle(TDriveProperties::Caption(info, m_title));
    const TDriveProperties texts(info);
    GeneralLetterEdit->setText(texts.Letter);
    GeneralFileSystemEdit->setText(texts.FileSystem);
    GeneralStatusEdit->setText(texts.Status);
    GeneralVolumeLabelEdit->setText(texts.VolumeLabel);
    GeneralOEMIdEdit->setText(texts.OEMId);
    GeneralSNEdit->setText(texts.SerialNumber);
    GeneralTotalSpaceEdit->setText(texts.TotalSpace);
    GeneralFreeSpaceEdit->setText(texts.FreeSpace);
    InfoSectorsPerClusterEdit->setText(texts.SectorsPerCluster);
    InfoBytesPerSectorEdit->setText(texts.BytesPerSector);
    InfoBytesPerClusterEdit->setText(texts.BytesPerCluster);
    InfoOffsetInPhysicalEdit->setText(texts.OffsetInPhysical);
    for (int i = 0; i < m_capabilityEdits.size(); ++i)
        m_capabilityEdits.at(i)->setText(texts.CapabilityValues.value(i));
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setCursorPosition(0);
    PageControl->setCurrentIndex(0);
}

void TDrivePropertiesForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        ShowHelpPage(QLatin1String(HelpKeyword), this);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ShowDriveProperties(int32_t ADiskId, QWidget* parent)
{
    const TDriveInfo* info = TVantrelApi::Current().DiskGetInformation(ADiskId);
    if (!info) {
        TUserPrompt::Current().ShowError(Messages::DriveInfoUnreadable.Text().arg(ADiskId));
        return false;
    }
    // The record is only valid until the engine's next rescan; keep a copy.
    const TDriveInfo record = *info;
    TDrivePropertiesForm form(parent);
    form.FillFrom(record);
    form.exec();
    return true;
}

void ShowDriveProperties(QWidget* parent)
{
    if (CurDisk)
        ShowDriveProperties(CurDisk->DriveId, parent);
}
