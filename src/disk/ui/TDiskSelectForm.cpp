#include "disk/ui/TDiskSelectForm.h"

#include "settings/Messages.h"
#include "settings/ui/LanguageForms.h"
#include "disk/TDriveListLogic.h"
#include "disk/TImageRegistration.h"
#include "disk/TVantrelApi.h"
#include "periphery/THelpWindow.h"
#include "util/TUserPrompt.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unistd.h>
#include <utility>

namespace {

const char* const HelpKeyword = "/files/basics.quickstart.html";
constexpr int IdRole = Qt::UserRole;
constexpr int LetteredRole = Qt::UserRole + 1;

QString chooseImageFile(QWidget* parent)
{
    return QFileDialog::getOpenFileName(
        parent, QStringLiteral("Add Disk Image"), QString(),
        QStringLiteral(
            "Disk images (*.img *.dd *.raw *.bin *.iso *.001 *.E01 *.aff *.vhd *.vhdx *.vmdk *.qcow2 "
            "*.qcow);;All files (*)"));
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, bool bold = false)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    // Labels and names come from the disk: never let one be read as markup.
    label->setTextFormat(Qt::PlainText);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

QString canonicalPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

// Keeps the list frozen and the hourglass up while the list is rebuilt, also when the
// engine fails half-way.
class TFillBracket
{
public:
    explicit TFillBracket(QWidget* widget) : m_widget(widget)
    {
        m_widget->setUpdatesEnabled(false);
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~TFillBracket()
    {
        QApplication::restoreOverrideCursor();
        m_widget->setUpdatesEnabled(true);
    }
    TFillBracket(const TFillBracket&) = delete;
    TFillBracket& operator=(const TFillBracket&) = delete;

private:
    QWidget* m_widget;
};

} // namespace

TDiskSelectForm::TDiskSelectForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DiskSelectForm"));
    setWindowTitle(QStringLiteral("Disk Selection Wizard"));
    setProperty("HelpKeyword", QString::fromLatin1(HelpKeyword));
    buildControls();
    resize(564, 382);

    m_pages->setCurrentIndex(0);
    SelectedId = -1;
    CheckState();
    // The chosen language replaces the built-in texts.
    UpdateLanguage(this);
}

TDiskSelectForm::~TDiskSelectForm() = default;

void TDiskSelectForm::buildControls()
{
    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    // White top panel with the headline and a drive picture.
    auto* panelTop = new QFrame(this);
    panelTop->setObjectName(QStringLiteral("PanelTop"));
    panelTop->setAutoFillBackground(true);
    QPalette topPalette = panelTop->palette();
    topPalette.setColor(QPalette::Window, Qt::white);
    topPalette.setColor(QPalette::WindowText, Qt::black);
    panelTop->setPalette(topPalette);
    panelTop->setMinimumHeight(60);
    auto* topLayout = new QHBoxLayout(panelTop);
    topLayout->setContentsMargins(16, 8, 16, 8);
    topLayout->addWidget(
        makeLabel(panelTop, "LabelTop", QStringLiteral("Select drive to recover data from"), true));
    topLayout->addStretch(1);
    auto* image = makeLabel(panelTop, "ImageTop", QString());
    image->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(40, 40));
    topLayout->addWidget(image);
    mainLayout->addWidget(panelTop);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("BevelTop"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    mainLayout->addWidget(line);

    // The page control: only the page contents show, never a tab strip.
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl"));
    mainLayout->addWidget(m_pages, 1);

    // First page: the drive list and the chosen drive's information.
    auto* page1 = new QWidget(m_pages);
    page1->setObjectName(QStringLiteral("TabSheet1"));
    auto* page1Layout = new QGridLayout(page1);
    page1Layout->setContentsMargins(12, 8, 12, 4);
    page1Layout->addWidget(makeLabel(page1, "Page1Label1", QStringLiteral("Select the drive for recovery:")),
                           0, 0, 1, 2);

    m_tree = new QTreeWidget(page1);
    m_tree->setObjectName(QStringLiteral("Page1TreeView"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(false);
    m_tree->setItemsExpandable(false);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->setIndentation(16);
    // The selection stays visible when the list does not have the focus.
    QPalette treePalette = m_tree->palette();
    treePalette.setColor(QPalette::Inactive, QPalette::Highlight,
                         treePalette.color(QPalette::Active, QPalette::Highlight));
    treePalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         treePalette.color(QPalette::Active, QPalette::HighlightedText));
    m_tree->setPalette(treePalette);
    page1Layout->addWidget(m_tree, 1, 0, 3, 1);

    auto* panelInfo = new QFrame(page1);
    panelInfo->setObjectName(QStringLiteral("Page1PanelInfo"));
    panelInfo->setFrameShape(QFrame::StyledPanel);
    auto* infoLayout = new QGridLayout(panelInfo);
    infoLayout->setColumnStretch(1, 1);
    const QString unset = QStringLiteral("#");
    struct InfoRow
    {
        const char* captionName;
        const char* caption;
        const char* valueName;
        bool bold;
        QLabel** value;
    };
    const InfoRow rows[] = {
        {"Page1InfoCaptionDriveId", "Drive Id:", "Page1InfoLabelDriveId", false, &m_infoDriveId},
        {"Page1InfoCaptionDriveLetter", "Letter:", "Page1InfoLabelDriveLetter", true, &m_infoLetter},
        {"Page1InfoCaptionDriveSN", "S/N:", "Page1InfoLabelDriveSN", false, &m_infoSerial},
        {"Page1InfoCaptionDriveVolLabel", "Label:", "Page1InfoLabelDriveVolLabel", true, &m_infoLabel},
        {"Page1InfoCaptionDriveType", "Type:", "Page1InfoLabelDriveType", true, &m_infoType},
        {"Page1InfoCaptionDriveFileSystem", "File System:", "Page1InfoLabelDriveFileSystem", true,
         &m_infoFileSystem},
        {"Page1InfoCaptionDriveTotalSpace", "Total Space:", "Page1InfoLabelDriveTotalSpace", true,
         &m_infoTotalSpace},
        {"Page1InfoCaptionDriveStatus", "Status:", "Page1InfoLabelDriveStatus", true, &m_infoStatus},
    };
    int row = 0;
    for (const InfoRow& r : rows) {
        QLabel* caption = makeLabel(panelInfo, r.captionName, QString::fromLatin1(r.caption));
        infoLayout->addWidget(caption, row, 0);
        *r.value = makeLabel(panelInfo, r.valueName, unset, r.bold);
        (*r.value)->setTextInteractionFlags(Qt::TextSelectableByMouse);
        infoLayout->addWidget(*r.value, row, 1);
        if (r.value == &m_infoStatus) {
            m_infoStatusCaption = caption;
        }
        ++row;
    }
    page1Layout->addWidget(panelInfo, 1, 1);

    m_hint = makeLabel(page1, "Page1LabelHint", Messages::NeedsRights.Text());
    m_hint->setWordWrap(true);
    m_hint->setVisible(false);
    page1Layout->addWidget(m_hint, 2, 1);

    m_buttonAddImage = makeButton(page1, "ButtonAddImage", QStringLiteral("Add Image..."));
    m_buttonAddImage->setToolTip(QStringLiteral("Add a disk image file to the list"));
    page1Layout->addWidget(m_buttonAddImage, 3, 1, Qt::AlignRight | Qt::AlignBottom);
    page1Layout->setColumnStretch(0, 1);
    page1Layout->setColumnMinimumWidth(1, 250);
    page1Layout->setRowStretch(2, 1);
    m_pages->addWidget(page1);

    // Second page: the scan method.
    auto* page2 = new QWidget(m_pages);
    page2->setObjectName(QStringLiteral("TabSheet2"));
    auto* page2Layout = new QVBoxLayout(page2);
    page2Layout->setContentsMargins(16, 12, 16, 8);
    QFont bold = font();
    bold.setBold(true);
    m_radioFast = new QRadioButton(QStringLiteral("Fast Scan (undelete files)"), page2);
    m_radioFast->setObjectName(QStringLiteral("Page2RadioFast"));
    m_radioFast->setFont(bold);
    m_radioFast->setChecked(true);
    page2Layout->addWidget(m_radioFast);
    auto* page2Label1 =
        makeLabel(page2, "Page2Label1",
                  QStringLiteral("Search and undelete deleted files. This method searches for files "
                                 "by reading current filesystem."));
    page2Label1->setWordWrap(true);
    page2Layout->addWidget(page2Label1);
    m_radioFull = new QRadioButton(QStringLiteral("Full Scan (recovery files)"), page2);
    m_radioFull->setObjectName(QStringLiteral("Page2RadioFull"));
    m_radioFull->setFont(bold);
    m_radioFull->setEnabled(false);
    page2Layout->addWidget(m_radioFull);
    auto* page2Label2 =
        makeLabel(page2, "Page2Label2",
                  QStringLiteral("Search every sector on your drive. Recover deleted and lost files "
                                 "with destroyed file system information."));
    page2Label2->setWordWrap(true);
    page2Label2->setEnabled(false);
    page2Layout->addWidget(page2Label2);
    m_searchKnown = new QCheckBox(QStringLiteral("Search for known data structures"), page2);
    m_searchKnown->setObjectName(QStringLiteral("Page2CheckBoxSearchKnown"));
    m_searchKnown->setVisible(false);
    page2Layout->addWidget(m_searchKnown);
    page2Layout->addStretch(1);
    m_pages->addWidget(page2);

    // Bottom panel with the buttons.
    auto* panelBottom = new QFrame(this);
    panelBottom->setObjectName(QStringLiteral("PanelBottom"));
    panelBottom->setFrameShape(QFrame::NoFrame);
    auto* bottomLayout = new QHBoxLayout(panelBottom);
    bottomLayout->setContentsMargins(12, 8, 12, 10);
    m_buttonHelp = makeButton(panelBottom, "ButtonHelp", QStringLiteral("&Help (F1)"));
    m_buttonBack = makeButton(panelBottom, "ButtonBack", QStringLiteral("< &Back"));
    m_buttonBack->setVisible(false);
    m_buttonNext = makeButton(panelBottom, "ButtonNext", QStringLiteral("&Next >"));
    m_buttonStart = makeButton(panelBottom, "ButtonStart", QStringLiteral("Start Scan!"));
    m_buttonClose = makeButton(panelBottom, "ButtonClose", QStringLiteral("&Cancel"));
    bottomLayout->addWidget(m_buttonHelp);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(m_buttonBack);
    bottomLayout->addWidget(m_buttonNext);
    bottomLayout->addWidget(m_buttonStart);
    bottomLayout->addWidget(m_buttonClose);
    mainLayout->addWidget(panelBottom);

    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { Page1TreeViewChange(); });
    connect(m_tree, &QTreeWidget::itemClicked, this, [this] { Page1TreeViewChange(); });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { Page1TreeViewDblClick(); });
    connect(m_searchKnown, &QCheckBox::clicked, this, [this] { CheckState(); });
    connect(m_buttonHelp, &QPushButton::clicked, this,
            [this] { ShowHelpPage(QString::fromLatin1(HelpKeyword), this); });
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, m_buttonHelp, &QPushButton::click);
    connect(m_buttonBack, &QPushButton::clicked, this, [this] { ButtonBackClick(); });
    connect(m_buttonNext, &QPushButton::clicked, this, [this] { ButtonNextClick(); });
    connect(m_buttonStart, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_buttonClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_buttonAddImage, &QPushButton::clicked, this, [this] { ButtonAddImageClick(); });
}

bool TDiskSelectForm::event(QEvent* e)
{
    const bool handled = QDialog::event(e);
    if (e->type() == QEvent::WindowActivate) {
        FormActivate();
    }
    return handled;
}

void TDiskSelectForm::FormActivate()
{
    FillDrivesList();
    const QString imagePath = std::exchange(m_pendingImagePath, QString());
    if (!imagePath.isEmpty()) {
        const int32_t device = imageDeviceId(imagePath);
        if (device >= 0) {
            // The first lettered drive of the image, else the image itself.
            for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
                QTreeWidgetItem* top = m_tree->topLevelItem(i);
                if (top->data(0, IdRole).toInt() != device) {
                    continue;
                }
                for (int c = 0; c < top->childCount(); ++c) {
                    if (top->child(c)->data(0, LetteredRole).toBool()) {
                        m_tree->setCurrentItem(top->child(c));
                        m_tree->setFocus();
                        return;
                    }
                }
                m_tree->setCurrentItem(top);
                m_tree->setFocus();
                return;
            }
        }
    }
    selectFirstNode();
}

void TDiskSelectForm::selectFirstNode()
{
    if (m_tree->topLevelItemCount() > 0) {
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
        m_tree->setFocus();
    }
}

void TDiskSelectForm::FillDrivesList()
{
    if (m_filling) {
        return; // an activation delivered while the list is being filled
    }
    m_filling = true;
    {
        const TFillBracket bracket(m_tree);
        QCoreApplication::processEvents();
        setWindowIcon(QIcon());

        const QSignalBlocker blocker(m_tree);
        m_tree->clear();

        const QList<TDriveListLogic::TDriveNode> devices =
            TDriveListLogic::ReadDrives(TVantrelApi::Current());

        auto makeItem = [](const TDriveListLogic::TDriveNode& node) {
            auto* item = new QTreeWidgetItem(QStringList{node.Text});
            item->setData(0, IdRole, node.Id);
            item->setData(0, LetteredRole, node.Lettered);
            item->setToolTip(0, node.Path);
            return item;
        };
        for (const auto& device : devices) {
            QTreeWidgetItem* top = makeItem(device);
            for (const auto& drive : device.Drives) {
                top->addChild(makeItem(drive));
            }
            m_tree->addTopLevelItem(top);
        }
        m_tree->expandAll();
    }
    m_filling = false;

    // The old selection is gone with the old nodes.
    if (SelectedId != -1) {
        Page1TreeViewChange();
    } else {
        CheckState();
    }
}

void TDiskSelectForm::clearInfo()
{
    for (QLabel* label : {m_infoDriveId, m_infoLetter, m_infoSerial, m_infoLabel, m_infoType,
                          m_infoFileSystem, m_infoTotalSpace, m_infoStatus}) {
        label->clear();
    }
    m_hint->setVisible(false);
}

void TDiskSelectForm::Page1TreeViewChange()
{
    SelectedId = -1;
    QTreeWidgetItem* item = m_tree->currentItem();
    TDriveInfo info{};
    bool found = false;
    if (item)
        found = TDriveListLogic::ReadDriveInfo(TVantrelApi::Current(), item->data(0, IdRole).toInt(), info);
    if (found) {
        SelectedId = info.ID;
        const TDriveListLogic::TDriveInfoTexts texts = TDriveListLogic::InfoTexts(info);
        m_infoDriveId->setText(texts.DriveId);
        m_infoSerial->setText(texts.SerialNumber);
        m_infoLabel->setText(texts.VolumeLabel);
        m_infoLetter->setText(texts.Letter);
        m_infoType->setText(texts.DriveType);
        m_infoFileSystem->setText(texts.FileSystem);
        m_infoTotalSpace->setText(texts.TotalSpace);
        m_infoStatus->setText(texts.Status);
        if (!texts.Ready) {
            const QString error = TVantrelApi::GuardedText(TVantrelApi::Current().DiskError, info.ID);
            m_hint->setText(TDriveListLogic::NotReadyHint(error, ::geteuid() == 0));
        }
        m_hint->setVisible(!texts.Ready);
    } else {
        clearInfo();
    }
    CheckState();
}

void TDiskSelectForm::Page1TreeViewDblClick()
{
    if (ValidSelection()) {
        m_buttonStart->click();
    }
}

bool TDiskSelectForm::ValidSelection() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item && item->isSelected() && TDriveListLogic::ValidSelection(item->text(0));
}

void TDiskSelectForm::CheckState()
{
    const bool valid = ValidSelection();
    if (m_pages->currentIndex() == 0) {
        m_buttonStart->setVisible(true);
        m_buttonStart->setEnabled(valid);
        m_buttonNext->setVisible(false);
        m_buttonNext->setEnabled(valid);
        m_buttonBack->setEnabled(false);
    } else {
        const bool searchKnown = m_searchKnown->isChecked();
        m_buttonStart->setVisible(!searchKnown);
        m_buttonNext->setVisible(searchKnown);
        m_buttonNext->setEnabled(true);
        m_buttonBack->setEnabled(true);
    }
    m_buttonClose->setEnabled(true);
    // Enter presses whichever of the two default buttons shows.
    if (m_buttonStart->isHidden()) {
        m_buttonNext->setDefault(true);
    } else {
        m_buttonStart->setDefault(true);
    }
}

void TDiskSelectForm::ButtonNextClick()
{
    const int page = m_pages->currentIndex();
    if (page == 0 && !ValidSelection()) {
        return;
    }
    if (page + 1 < m_pages->count()) {
        m_pages->setCurrentIndex(page + 1);
    }
    CheckState();
}

void TDiskSelectForm::ButtonBackClick()
{
    const int page = m_pages->currentIndex();
    if (page > 0) {
        m_pages->setCurrentIndex(page - 1);
    }
    CheckState();
}

void TDiskSelectForm::ButtonAddImageClick()
{
    const TImageFileChooser& chooser = TImageFileAnswer::Get();
    const QString path = chooser ? chooser(this) : chooseImageFile(this);
    if (!path.isEmpty() && addImage(path) && !chooser) {
        // The window gets the activation back from the file dialog after it closed;
        // that activation keeps the image's drive selected instead of the first node.
        m_pendingImagePath = path;
    }
}

bool TDiskSelectForm::addImage(const QString& path)
{
    QString problem;
    if (!TImageRegistration::Register(path, &problem)) {
        TUserPrompt::Current().ShowError(problem);
        return false;
    }

    m_pendingImagePath = path;
    FormActivate();
    return true;
}

int32_t TDiskSelectForm::imageDeviceId(const QString& path) const
{
    const QString wanted = canonicalPath(path);
    int32_t found = -1;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = m_tree->topLevelItem(i);
        if (!top->toolTip(0).isEmpty() && canonicalPath(top->toolTip(0)) == wanted) {
            found = top->data(0, IdRole).toInt(); // the newest registration is listed last
        }
    }
    return found;
}

int SelectDiskDrive(bool& FullScan)
{
    TDiskSelectForm form(QApplication::activeWindow());
    form.m_radioFast->setChecked(!FullScan);
    form.m_radioFull->setChecked(FullScan);
    if (form.exec() != QDialog::Accepted) {
        return -1;
    }
    FullScan = form.m_radioFull->isChecked();
    return form.SelectedId;
}
