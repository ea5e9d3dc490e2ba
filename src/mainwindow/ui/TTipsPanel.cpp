#include "mainwindow/ui/TTipsPanel.h"

#include "mainwindow/TMainViewRules.h"
#include "mainwindow/TTipList.h"
#include "periphery/THelpWindow.h"
#include "settings/Settings.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStyle>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The built-in tips, one a line: a help page path, a blank and the tip.
const char* const BuiltInTips[] = {
    "/files/basics.quickstart.html Before you recover anything, analyse the disk: press Ctrl+D, choose the "
    "drive in the list and click Start Scan!. The tree of its folders and files is built, and you can browse "
    "it like a file manager.",
    "/files/howto.recover.html Never recover files to the disk they come from: the copies could be written "
    "over the very space that still holds other deleted files. Choose a second disk, a USB stick or a "
    "network folder.",
    "/files/basics.main-window.html The Recovery column of the file list tells how much of a deleted file "
    "survives: an intact file comes back whole, a partly overwritten one only in part, and of some files "
    "only the name is left.",
    "/files/howto.recover.html On the Files page of the Recovery Wizard, \"Check intact only\" ticks just "
    "the deleted files whose data is still whole, so the destination is not filled with damaged copies.",
    "/files/basics.conditions.html Deleted files whose folder has gone are not lost: they are gathered in "
    "folders named lost_folder_ and a number, directly under the drive.",
    "/files/howto.recover.html Every recovery leaves a manifest in the destination folder, "
    "recovery-manifest.csv, listing each file copied, where it came from and how the copy went.",
    "/files/howto.find-files.html Press Ctrl+F to search the whole drive, lost folders included, by name "
    "mask, date, size or id; \"Search only deleted files\" keeps just what can be recovered.",
    "/files/basics.main-window.html Look before you recover: File, View... shows a picture as it is and "
    "other files as text, and View as Hex... shows their bytes.",
    "/files/basics.main-window.html View, Show Only Deleted hides the live files and keeps only the deleted "
    "entries and the folders that lead to them.",
    "/files/howto.get-file-information.html Alt+Enter shows the properties of the selected file; for a "
    "deleted file the Recovery page says how intact its data is and which files now hold its clusters.",
    "/files/basics.open-drive.html Work from a disk image when you can: the original disk is then read only "
    "once. Add Image... in the drive selection window opens raw, E01, AFF, VHD, VHDX, VMDK and qcow2 images.",
    "/files/basics.command-line.html brevant-cli scan card.img prints every file found on an image, with "
    "its condition and how intact its data is; add --deleted-only to list only the deleted ones.",
    "/files/basics.command-line.html brevant-cli find SOURCE --mask *.jpg --deleted-only searches a drive "
    "from the command line, the way Find files does in this window.",
    "/files/basics.command-line.html brevant-cli cat SOURCE #ID writes the data of one file to standard "
    "output, ready to be piped into another program.",
    "/files/basics.conditions.html A folder with a red mark is live but holds deleted files somewhere below "
    "it: open it to get to them.",
    "/files/basics.main-window.html Click a column header to sort the file list by it; click it again to "
    "reverse the order. Backspace goes to the parent folder, Back and Forward to the folders you visited.",
    "/files/basics.open-drive.html A drive that shows \"Not ready\" needs administrator rights to be read. "
    "You can also make an image of the disk and open the image instead.",
    "/files/prefs.startup.html The Startup Actions of the preferences choose what happens when the program "
    "starts: the drive selection window, a drive of your choice, or nothing.",
    "/files/prefs.language.html The windows can show their texts in another language: choose it on the "
    "Interface Language page of the preferences.",
};

} // namespace

TTipsPanel::TTipsPanel(QSplitter* splitter, QWidget* above)
    : QWidget(splitter), m_splitter(splitter), m_height(TMainViewRules::TipsDefaultHeight),
      m_remembered(TMainViewRules::TipsDefaultHeight), m_lastDragged(TMainViewRules::TipsDefaultHeight)
{
    setObjectName(QStringLiteral("TipsPanel"));
    setMinimumHeight(1);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    buildContent();
    m_splitter->setObjectName(QStringLiteral("TipsSplitter"));
    m_splitter->setHandleWidth(4);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(above);
    m_splitter->addWidget(this);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setSizes({400, m_height});
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        const QList<int> sizes = m_splitter->sizes();
        const int height = sizes.value(1);
        if (!TMainViewRules::TipsHeightAllowed(height)) {
            m_splitter->setSizes({sizes.value(0) + height - m_lastDragged, m_lastDragged});
        } else {
            m_lastDragged = height;
            m_height = height;
        }
    });
}

void TTipsPanel::buildContent()
{
    // The tip texts: never shown, but a language file replaces their lines.
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("TipsMemo"));
    m_memo->hide();
    QStringList tips;
    for (const char* tip : BuiltInTips)
        tips << QString::fromUtf8(tip);
    m_memo->setPlainText(tips.join(QLatin1Char('\n')));

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("TipsImage"));
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(24, 24));
    image->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* title = new QLabel(QStringLiteral("Did you know..."), this);
    title->setObjectName(QStringLiteral("TipsTitleLabel"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("TipsCloseButton"));
    m_close->setText(QStringLiteral("x"));
    m_close->setAutoRaise(true);
    m_close->setFocusPolicy(Qt::NoFocus);
    m_close->setToolTip(QStringLiteral("Close"));
    m_close->setStatusTip(QStringLiteral("Close tip of the day panel"));
    connect(m_close, &QToolButton::clicked, this, &TTipsPanel::CloseClicked);

    m_text = new QTextEdit(this);
    m_text->setObjectName(QStringLiteral("TipsRichEdit"));
    m_text->setReadOnly(true);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setBackgroundRole(QPalette::ToolTipBase);
    m_text->viewport()->setBackgroundRole(QPalette::ToolTipBase);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_text->setContextMenuPolicy(Qt::NoContextMenu);
    m_text->setMinimumHeight(1);
    // The tip is read with the mouse; the keyboard stays with the tree and the list.
    m_text->setFocusPolicy(Qt::NoFocus);

    m_next = makeLink("TipsLabelNext", QStringLiteral("Next Tip"));
    m_prev = makeLink("TipsLabelPrev", QStringLiteral("Prev Tip"));

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(title, 1);
    header->addWidget(m_close);
    auto* links = new QHBoxLayout;
    links->setContentsMargins(0, 0, 0, 0);
    links->addStretch(1);
    links->addWidget(m_prev);
    links->addSpacing(12);
    links->addWidget(m_next);
    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(1);
    right->addLayout(header);
    right->addWidget(m_text, 1);
    right->addLayout(links);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->addWidget(image);
    layout->addLayout(right, 1);

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("TipsPopupMenu"));
    const auto item = [this](const char* name, const QString& text) {
        QAction* action = m_popup->addAction(text);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    connect(item("TipsMenuNext", QStringLiteral("Next Tip")), &QAction::triggered, this,
            &TTipsPanel::TipsMenuNextClick);
    connect(item("TipsMenuPrevious", QStringLiteral("Previous Tip")), &QAction::triggered, this,
            &TTipsPanel::TipsMenuPreviousClick);
    m_popup->addSeparator();
    m_moreInfo = item("TipsMenuMoreInformation", QStringLiteral("More Information"));
    m_moreInfo->setEnabled(false);
    connect(m_moreInfo, &QAction::triggered, this, &TTipsPanel::TipsMenuMoreInformationClick);
    connect(item("TipsMenuHelpContents", QStringLiteral("Help Contents")), &QAction::triggered, this,
            &TTipsPanel::HelpContentsClicked);
    m_popup->addSeparator();
    connect(item("TipsMenuClose", QStringLiteral("Close Tips Panel")), &QAction::triggered, this,
            &TTipsPanel::CloseClicked);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_popup->popup(mapToGlobal(pos)); });
}

QLabel* TTipsPanel::makeLink(const char* name, const QString& text)
{
    auto* link = new QLabel(text, this);
    link->setObjectName(QLatin1String(name));
    QFont underlined = link->font();
    underlined.setUnderline(true);
    link->setFont(underlined);
    link->setCursor(Qt::PointingHandCursor);
    link->setForegroundRole(QPalette::WindowText);
    link->installEventFilter(this);
    return link;
}

bool TTipsPanel::eventFilter(QObject* watched, QEvent* event)
{
    auto* link = qobject_cast<QLabel*>(watched);
    if (!link || (link != m_next && link != m_prev))
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter: {
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        link->setPalette(palette);
        break;
    }
    case QEvent::Leave:
        link->setPalette(QPalette());
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            link->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            if (link == m_next)
                TipsMenuNextClick();
            else
                TipsMenuPreviousClick();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TTipsPanel::UpdateTips()
{
    const TTipList tips(m_memo->toPlainText().split(QLatin1Char('\n')));
    m_text->clear();
    m_moreInfoPage.clear();
    GlobalLastTip = tips.Valid(GlobalLastTip);
    const TTipList::TTip tip = tips.At(GlobalLastTip);
    if (!tip.Text.isEmpty()) {
        m_moreInfoPage = tip.MoreInfoPage;
        m_text->setPlainText(tip.Text);
    }
    m_moreInfo->setEnabled(!m_moreInfoPage.isEmpty());
}

void TTipsPanel::TipsMenuNextClick()
{
    GlobalLastTip = TTipList(m_memo->toPlainText().split(QLatin1Char('\n'))).Next(GlobalLastTip);
    UpdateTips();
}

void TTipsPanel::TipsMenuPreviousClick()
{
    GlobalLastTip = TTipList(m_memo->toPlainText().split(QLatin1Char('\n'))).Previous(GlobalLastTip);
    UpdateTips();
}

void TTipsPanel::TipsMenuMoreInformationClick()
{
    if (!m_moreInfoPage.isEmpty())
        ShowHelpPage(m_moreInfoPage, window());
}

QString TTipsPanel::TipText() const
{
    return m_text->toPlainText();
}

void TTipsPanel::SetHeight(int height)
{
    const QList<int> sizes = m_splitter->sizes();
    const int total = std::max(sizes.value(0) + sizes.value(1), height + 1);
    m_splitter->setSizes({total - height, height});
    m_height = height;
    // The splitter above a hidden panel is one pixel high too.
    m_splitter->setHandleWidth(height == 1 ? 1 : 4);
    if (TMainViewRules::TipsHeightAllowed(height))
        m_lastDragged = height;
}

bool TTipsPanel::Toggle()
{
    if (m_height == 1) {
        SetHeight(TMainViewRules::TipsRestoredHeight(m_remembered));
    } else {
        m_remembered = m_height;
        SetHeight(1);
    }
    return m_height > 1;
}
