#include "viewers/ui/TFileViewerForm.h"

#include "disk/TBaseElement.h"
#include "periphery/ExecModal.h"
#include "periphery/THelpWindow.h"
#include "periphery/TWindowSizeMemory.h"
#include "settings/Messages.h"
#include "settings/ui/LanguageForms.h"
#include "util/Utils.h"
#include "viewers/TByteSource.h"
#include "viewers/TFileByteSource.h"
#include "viewers/TTextPager.h"
#include "viewers/ui/THexDump.h"
#include "viewers/ui/TPictureLoader.h"

#include <QActionGroup>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>

namespace {

// Bytes a picture's format is judged from.
constexpr int64_t PictureHeadBytes = 64 * 1024;

const char* const HelpKeyword = "/files/basics.quickstart.html";

} // namespace

TFileViewerForm::TFileViewerForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FileViewerForm"));
    setWindowTitle(QStringLiteral("File Viewer"));
    setSizeGripEnabled(true);

    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    QMenu* file = MainMenu->addMenu(QStringLiteral("File"));
    miFileClose = file->addAction(QStringLiteral("Close"));
    miFileClose->setObjectName(QStringLiteral("miFileClose"));
    QMenu* view = MainMenu->addMenu(QStringLiteral("View"));
    miViewAsIs = view->addAction(QStringLiteral("As Is"));
    miViewAsIs->setObjectName(QStringLiteral("miViewAsIs"));
    miViewText = view->addAction(QStringLiteral("Text"));
    miViewText->setObjectName(QStringLiteral("miViewText"));
    miViewHex = view->addAction(QStringLiteral("Hex"));
    miViewHex->setObjectName(QStringLiteral("miViewHex"));
    auto* modes = new QActionGroup(this);
    for (QAction* mode : {miViewAsIs, miViewText, miViewHex}) {
        mode->setCheckable(true);
        modes->addAction(mode);
    }
    QMenu* help = MainMenu->addMenu(QStringLiteral("Help"));
    miHelpContents = help->addAction(QStringLiteral("Contents"));
    miHelpContents->setObjectName(QStringLiteral("miHelpContents"));
    miHelpHints = help->addAction(QStringLiteral("Viewer Hints"));
    miHelpHints->setObjectName(QStringLiteral("miHelpHints"));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Notebook = new QStackedWidget(Panel1);
    Notebook->setObjectName(QStringLiteral("Notebook"));
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    panelLayout->addWidget(Notebook);

    // Text: one page of the file at a time, with the way to the pages before and after.
    auto* textPage = new QWidget(Notebook);
    textPage->setObjectName(QStringLiteral("Text"));
    TextView = new QPlainTextEdit(textPage);
    TextView->setObjectName(QStringLiteral("TextView"));
    TextView->setReadOnly(true);
    TextView->setFont(FixedPitchFont());
    TextView->setLineWrapMode(QPlainTextEdit::NoWrap);
    TextPreviousButton = new QPushButton(QStringLiteral("< &Previous page"), textPage);
    TextPreviousButton->setObjectName(QStringLiteral("TextPreviousButton"));
    TextNextButton = new QPushButton(QStringLiteral("&Next page >"), textPage);
    TextNextButton->setObjectName(QStringLiteral("TextNextButton"));
    TextPageLabel = new QLabel(textPage);
    TextPageLabel->setObjectName(QStringLiteral("TextPageLabel"));
    for (QPushButton* button : {TextPreviousButton, TextNextButton})
        button->setAutoDefault(false);
    auto* pager = new QHBoxLayout;
    pager->addWidget(TextPreviousButton);
    pager->addWidget(TextNextButton);
    pager->addWidget(TextPageLabel, 1);
    auto* textLayout = new QVBoxLayout(textPage);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->addWidget(TextView, 1);
    textLayout->addLayout(pager);
    Notebook->addWidget(textPage);

    auto* hexPage = new QWidget(Notebook);
    hexPage->setObjectName(QStringLiteral("HEX"));
    HexDump = CreateHexDump(hexPage);
    Notebook->addWidget(hexPage);

    auto* nativePage = new QWidget(Notebook);
    nativePage->setObjectName(QStringLiteral("AsIs"));
    PictureLabel = new QLabel(nativePage);
    PictureLabel->setObjectName(QStringLiteral("PictureLabel"));
    PictureLabel->setAlignment(Qt::AlignCenter);
    PictureLabel->setWordWrap(true);
    PictureLabel->setTextFormat(Qt::PlainText);
    PictureLabel->setMinimumSize(1, 1);
    PictureLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* nativeLayout = new QVBoxLayout(nativePage);
    nativeLayout->setContentsMargins(0, 0, 0, 0);
    nativeLayout->addWidget(PictureLabel);
    Notebook->addWidget(nativePage);
    Notebook->setCurrentIndex(pgHEX);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu);
    layout->addWidget(Panel1, 1);
    layout->addWidget(StatusBar1);
    resize(382, 278);

    m_loader = new TPictureLoader(this);
    connect(m_loader, &TPictureLoader::Loaded, this, [this](const QImage& image) {
        m_picture = image;
        scalePicture();
    });
    connect(m_loader, &TPictureLoader::Failed, this, [this](const QString& reason) {
        m_picture = QImage();
        PictureLabel->setPixmap(QPixmap());
        PictureLabel->setText(reason);
    });

    connect(miFileClose, &QAction::triggered, this, &QDialog::close);
    connect(miViewAsIs, &QAction::triggered, this, [this] { SetViewMode(fvmNative); });
    connect(miViewText, &QAction::triggered, this, [this] { SetViewMode(fvmText); });
    connect(miViewHex, &QAction::triggered, this, [this] { SetViewMode(fvmHEX); });
    connect(miHelpContents, &QAction::triggered, this,
            [this] { ShowHelpPage(QString::fromLatin1(HelpKeyword), this); });
    connect(TextPreviousButton, &QPushButton::clicked, this, [this] {
        if (m_pager)
            m_pager->PreviousPage();
        showTextPage();
    });
    connect(TextNextButton, &QPushButton::clicked, this, [this] {
        if (m_pager)
            m_pager->NextPage();
        showTextPage();
    });
    connect(HexDump, &THexDump::CurrentLineChanged, this, &TFileViewerForm::updateStatus);
    // The chosen language replaces the built-in texts.
    // The size the user left the window with.
    TWindowSizeMemory::Keep(this);
    UpdateLanguage(this);
    m_title = windowTitle(); // the file's name goes before it
}

TFileViewerForm::~TFileViewerForm()
{
    // The views let go of the source before it goes.
    HexDump->SetSource(nullptr);
    m_pager.reset();
}

std::shared_ptr<TByteSource> TFileViewerForm::SourceFor(TBaseElement* element)
{
    if (const auto& factory = TSourceFactory::Get())
        return factory(element);
    if (!element || element->IsFolder())
        return nullptr;
    auto* source = new TFileByteSource(*element);
    // A deleted file's data may stop before its recorded size: the status bar tells.
    if (element->IsDeleted())
        source->probeReadable();
    // A worker still reading may hold the last reference: the source is then deleted on
    // its own thread, as a QObject must be.
    return std::shared_ptr<TByteSource>(source, [](TByteSource* s) {
        if (QThread::currentThread() == s->thread())
            delete s;
        else
            QMetaObject::invokeMethod(
                s, [s] { delete s; }, Qt::QueuedConnection);
    });
}

void TFileViewerForm::Open(TFileViewMode mode, TBaseElement* element, std::shared_ptr<TByteSource> source)
{
    Element = element;
    m_source = std::move(source);
    m_problem.clear();
    if (!element)
        m_problem = Messages::ViewNoFile.Text();
    else if (element->IsFolder())
        m_problem = Messages::ViewFolder.Text();
    else if (element->Flags & flag_NO_DATA)
        m_problem = Messages::ViewNameOnly.Text();
    else if (!m_source)
        m_problem = Messages::ViewUnreadable.Text();
    if (element)
        setWindowTitle(element->GetName() + QLatin1Char(' ') + m_title);
    if (m_source && m_problem.isEmpty()) {
        HexDump->SetSource(m_source.get());
        m_pager = std::make_unique<TTextPager>(*m_source);
        connect(m_pager.get(), &TTextPager::PageReady, this, &TFileViewerForm::showTextPage);
        connect(m_source.get(), &TByteSource::changed, this, [this] {
            updateStatus();
            if (ViewMode == fvmNative && !m_pictureChecked)
                showPicture();
        });
    }
    SetViewMode(mode);
}

void TFileViewerForm::SetViewMode(TFileViewMode mode)
{
    ViewMode = mode;
    miViewAsIs->setChecked(mode == fvmNative);
    miViewText->setChecked(mode == fvmText);
    miViewHex->setChecked(mode == fvmHEX);
    switch (mode) {
    case fvmText:
        Notebook->setCurrentIndex(pgText);
        if (m_pager && !m_pager->Shown())
            m_pager->ShowPage(0);
        showTextPage();
        break;
    case fvmNative:
        showPicture();
        break;
    case fvmHEX:
    default:
        Notebook->setCurrentIndex(pgHEX);
        break;
    }
    updateStatus();
}

void TFileViewerForm::showTextPage()
{
    if (!m_pager) {
        TextView->setPlainText(m_problem);
        TextPreviousButton->setEnabled(false);
        TextNextButton->setEnabled(false);
        TextPageLabel->clear();
        return;
    }
    const bool paged = m_pager->PageCount() > 1;
    TextPreviousButton->setVisible(paged);
    TextNextButton->setVisible(paged);
    if (!m_pager->Ready()) {
        TextPreviousButton->setEnabled(false);
        TextNextButton->setEnabled(false);
        TextPageLabel->setText(QStringLiteral("Reading..."));
        return;
    }
    QString text = m_pager->Text();
    if (m_pager->UnreadableAt() >= 0)
        text += QLatin1Char('\n') +
                Messages::ViewUnreadableFrom.Text().arg(InsertSeparator(m_pager->UnreadableAt()));
    TextView->setPlainText(text);
    TextPreviousButton->setEnabled(m_pager->HasPrevious());
    TextNextButton->setEnabled(m_pager->HasNext());
    TextPageLabel->setText(
        paged ? Messages::ViewPage.Text().arg(InsertSeparator(m_pager->PageStart()),
                                              InsertSeparator(std::max<int64_t>(m_pager->PageEnd() - 1, 0)),
                                              InsertSeparator(m_source->size()),
                                              TTextDecoder::Name(m_pager->Encoding()))
              : TTextDecoder::Name(m_pager->Encoding()));
}

void TFileViewerForm::showPicture()
{
    if (!m_source || !m_problem.isEmpty()) {
        Notebook->setCurrentIndex(pgNative);
        PictureLabel->setText(m_problem);
        return;
    }
    if (!m_pictureChecked) {
        // The format is judged from the file's first bytes, once they are there.
        const int64_t length = std::min<int64_t>(m_source->size(), PictureHeadBytes);
        m_source->prefetch(0, length);
        QByteArray head;
        head.reserve(qsizetype(length));
        for (int64_t i = 0; i < length; ++i) {
            const int value = m_source->byte(i);
            if (value == TByteSource::Pending) {
                Notebook->setCurrentIndex(pgNative);
                PictureLabel->setText(QStringLiteral("Reading..."));
                return;
            }
            if (value < 0)
                break;
            head.append(char(value));
        }
        m_pictureChecked = true;
        if (!TPictureLoader::LooksLikePicture(head)) {
            // Not a picture: as it is, the file is text.
            Notebook->setCurrentIndex(pgText);
            if (m_pager && !m_pager->Shown())
                m_pager->ShowPage(0);
            showTextPage();
            return;
        }
        m_isPicture = true;
        PictureLabel->setText(QStringLiteral("Decoding the picture..."));
        m_loader->Start(m_source);
    }
    if (ViewMode == fvmNative)
        Notebook->setCurrentIndex(m_isPicture ? pgNative : pgText);
}

void TFileViewerForm::scalePicture()
{
    if (m_picture.isNull())
        return;
    const QSize room = PictureLabel->size();
    const QImage shown = m_picture.width() > room.width() || m_picture.height() > room.height()
                             ? m_picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : m_picture;
    PictureLabel->setText(QString());
    PictureLabel->setPixmap(QPixmap::fromImage(shown));
}

void TFileViewerForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    scalePicture();
}

QString TFileViewerForm::StatusText() const
{
    return StatusBar1->currentMessage();
}

void TFileViewerForm::updateStatus()
{
    if (!m_problem.isEmpty() || !m_source) {
        StatusBar1->showMessage(m_problem);
        return;
    }
    const int64_t size = m_source->size();
    QString text = QStringLiteral("%1 bytes").arg(InsertSeparator(size));
    if (ViewMode == fvmHEX)
        text += QStringLiteral("   Offset ") +
                QString::number(HexDump->CurrentOffset(), 16).toUpper().rightJustified(8, QLatin1Char('0'));
    if (Element && Element->IsDeleted()) {
        const int64_t readable = m_source->readableLength();
        if (readable >= 0 && readable < size)
            text += QStringLiteral("   Only %1 of %2 bytes can be read")
                        .arg(InsertSeparator(readable), InsertSeparator(size));
        else if (readable >= 0)
            text += QStringLiteral("   All %1 bytes can be read").arg(InsertSeparator(size));
    }
    StatusBar1->showMessage(text);
}

bool OpenFileView(TFileViewMode mode, TBaseElement* element, QWidget* parent)
{
    TFileViewerForm form(parent);
    form.Open(mode, element, TFileViewerForm::SourceFor(element));
    ExecModal(form);
    return true;
}
