#include "periphery/THelpWindow.h"

#include "settings/Messages.h"
#include "util/TUserPrompt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

// The pages live in the window library, which is linked statically; registering
// them by hand keeps the linker from dropping them.
static void initHelpResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(periphery_help);
        return true;
    }();
    (void)done;
}

namespace {

const QString helpRoot = QStringLiteral(":/help");

QString readPage(const QString& page)
{
    QFile file(THelpWindow::PageResource(page));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Plain text of a page, lower-case, for the search field.
const QHash<QString, QString>& pageTexts()
{
    static const QHash<QString, QString> texts = [] {
        QHash<QString, QString> result;
        static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
        for (const QString& page : THelpWindow::Pages()) {
            QString text = readPage(page);
            text.replace(tags, QStringLiteral(" "));
            text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
            text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
            text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
            result.insert(page, text.toLower());
        }
        return result;
    }();
    return texts;
}

// Topics in reading order; pages not named here follow, grouped by kind, by name.
int pageRank(const QString& page)
{
    static const QStringList order = {
        QLatin1String(THelpWindow::ContentsPage),
        QStringLiteral("/files/basics.quickstart.html"),
        QStringLiteral("/files/basics.open-drive.html"),
        QStringLiteral("/files/basics.main-window.html"),
        QStringLiteral("/files/basics.conditions.html"),
        QStringLiteral("/files/howto.recover.html"),
        QStringLiteral("/files/howto.find-files.html"),
        QStringLiteral("/files/howto.get-information.html"),
        QStringLiteral("/files/howto.get-file-information.html"),
        QStringLiteral("/files/basics.command-line.html"),
        QStringLiteral("/files/prefs.html"),
    };
    const int known = order.indexOf(page);
    if (known >= 0)
        return known;
    if (page.startsWith(QLatin1String("/files/basics.")))
        return order.size();
    if (page.startsWith(QLatin1String("/files/howto.")))
        return order.size() + 1;
    if (page.startsWith(QLatin1String("/files/prefs")))
        return order.size() + 2;
    return order.size() + 3;
}

// Shows the help window in front of the window that asked for it. A modal window blocks
// every window except those it is the transient parent of, so while one is open it
// becomes the help window's owner, which keeps the help usable.
void showInFrontOf(THelpWindow* window, QWidget* parent)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner && parent)
        owner = parent->window();
    if (owner == window)
        owner = nullptr;
    window->winId(); // the native window, whose owner is set below
    if (QWindow* handle = window->windowHandle())
        handle->setTransientParent(owner ? owner->windowHandle() : nullptr);
    window->show();
    window->raise();
    window->activateWindow();
}

QPointer<THelpWindow>& instancePointer()
{
    static QPointer<THelpWindow> window;
    return window;
}

} // namespace

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    initHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Brevant Pro Help"));
    // An open help window never keeps the program running once its windows are closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(820, 580);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* searchLabel = new QLabel(QStringLiteral("&Search:"), left);
    SearchEdit = new QLineEdit(left);
    SearchEdit->setObjectName(QStringLiteral("SearchEdit"));
    SearchEdit->setPlaceholderText(QStringLiteral("Type words to find"));
    SearchEdit->setClearButtonEnabled(true);
    searchLabel->setBuddy(SearchEdit);
    TopicsList = new QListWidget(left);
    TopicsList->setObjectName(QStringLiteral("TopicsList"));
    leftLayout->addWidget(searchLabel);
    leftLayout->addWidget(SearchEdit);
    leftLayout->addWidget(TopicsList);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout();
    BackButton = new QToolButton(right);
    BackButton->setObjectName(QStringLiteral("BackButton"));
    BackButton->setText(QStringLiteral("Back"));
    ForwardButton = new QToolButton(right);
    ForwardButton->setObjectName(QStringLiteral("ForwardButton"));
    ForwardButton->setText(QStringLiteral("Forward"));
    HomeButton = new QToolButton(right);
    HomeButton->setObjectName(QStringLiteral("HomeButton"));
    HomeButton->setText(QStringLiteral("Contents"));
    buttons->addWidget(BackButton);
    buttons->addWidget(ForwardButton);
    buttons->addWidget(HomeButton);
    buttons->addStretch();
    HelpBrowser = new QTextBrowser(right);
    HelpBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links are followed here, so that a broken link reports the missing page and
    // web addresses go to the desktop's browser.
    HelpBrowser->setOpenLinks(false);
    rightLayout->addLayout(buttons);
    rightLayout->addWidget(HelpBrowser);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 600});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);

    BackButton->setEnabled(false);
    ForwardButton->setEnabled(false);
    connect(BackButton, &QToolButton::clicked, HelpBrowser, &QTextBrowser::backward);
    connect(ForwardButton, &QToolButton::clicked, HelpBrowser, &QTextBrowser::forward);
    connect(HomeButton, &QToolButton::clicked, this, [this] { OpenPage(QLatin1String(ContentsPage)); });
    connect(HelpBrowser, &QTextBrowser::backwardAvailable, BackButton, &QToolButton::setEnabled);
    connect(HelpBrowser, &QTextBrowser::forwardAvailable, ForwardButton, &QToolButton::setEnabled);
    connect(HelpBrowser, &QTextBrowser::sourceChanged, this, &THelpWindow::browserSourceChanged);
    connect(HelpBrowser, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { linkClicked(url); });
    connect(SearchEdit, &QLineEdit::textChanged, this, &THelpWindow::SetSearchText);
    connect(TopicsList, &QListWidget::itemActivated, this, [this] { topicActivated(); });
    connect(TopicsList, &QListWidget::itemClicked, this, [this] { topicActivated(); });

    fillTopics();
}

THelpWindow* THelpWindow::Instance(bool create)
{
    QPointer<THelpWindow>& window = instancePointer();
    if (!window && create) {
        window = new THelpWindow();
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, window,
                             [] { delete instancePointer().data(); });
    }
    return window;
}

QString THelpWindow::NormalizePage(const QString& page)
{
    QString path = page.trimmed();
    const int hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        path.truncate(hash);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    return QDir::cleanPath(path);
}

QString THelpWindow::PageResource(const QString& page)
{
    return helpRoot + NormalizePage(page);
}

bool THelpWindow::PageExists(const QString& page)
{
    initHelpResources();
    const QString path = NormalizePage(page);
    // Only pages inside the help folder count; ".." cannot climb out of it.
    if (!path.startsWith(QLatin1String("/files/")) || !path.endsWith(QLatin1String(".html")))
        return false;
    return QFile::exists(PageResource(path));
}

QStringList THelpWindow::Pages()
{
    initHelpResources();
    QStringList pages;
    const QStringList names =
        QDir(helpRoot + QStringLiteral("/files")).entryList({QStringLiteral("*.html")}, QDir::Files);
    for (const QString& name : names)
        pages.append(QStringLiteral("/files/") + name);
    std::sort(pages.begin(), pages.end(), [](const QString& a, const QString& b) {
        const int ra = pageRank(a), rb = pageRank(b);
        return ra != rb ? ra < rb : a < b;
    });
    return pages;
}

QString THelpWindow::PageTitle(const QString& page)
{
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = title.match(readPage(page));
    if (match.hasMatch())
        return match.captured(1).simplified();
    return NormalizePage(page).section(QLatin1Char('/'), -1);
}

QStringList THelpWindow::SearchPages(const QString& words)
{
    const QStringList parts = words.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList result;
    for (const QString& page : Pages()) {
        const QString text = pageTexts().value(page);
        if (std::all_of(parts.begin(), parts.end(), [&](const QString& w) { return text.contains(w); }))
            result.append(page);
    }
    return result;
}

bool THelpWindow::OpenPage(const QString& page)
{
    if (!PageExists(page))
        return false;
    const QString path = NormalizePage(page);
    const int hash = page.indexOf(QLatin1Char('#'));
    QUrl url(QStringLiteral("qrc") + helpRoot + path);
    if (hash >= 0)
        url.setFragment(page.mid(hash + 1));
    HelpBrowser->setSource(url);
    m_currentPage = path;
    return true;
}

void THelpWindow::FocusSearch()
{
    SearchEdit->setFocus();
    SearchEdit->selectAll();
}

void THelpWindow::SetSearchText(const QString& text)
{
    if (SearchEdit->text() != text)
        SearchEdit->setText(text); // comes back here through textChanged
    else
        fillTopics();
}

QStringList THelpWindow::ListedPages() const
{
    QStringList pages;
    for (int i = 0; i < TopicsList->count(); ++i)
        pages.append(TopicsList->item(i)->data(Qt::UserRole).toString());
    return pages;
}

void THelpWindow::fillTopics()
{
    const QString text = SearchEdit->text().trimmed();
    const QStringList pages = text.isEmpty() ? Pages() : SearchPages(text);
    TopicsList->clear();
    for (const QString& page : pages) {
        auto* item = new QListWidgetItem(PageTitle(page), TopicsList);
        item->setData(Qt::UserRole, page);
        if (page == m_currentPage)
            TopicsList->setCurrentItem(item);
    }
}

void THelpWindow::browserSourceChanged(const QUrl& url)
{
    // The browser reports the new address before source() returns it.
    if (url.scheme() == QLatin1String("qrc"))
        m_currentPage = NormalizePage(url.path().mid(helpRoot.size() - 1));
    for (int i = 0; i < TopicsList->count(); ++i) {
        if (TopicsList->item(i)->data(Qt::UserRole).toString() == m_currentPage) {
            TopicsList->setCurrentRow(i);
            return;
        }
    }
    TopicsList->setCurrentRow(-1);
}

void THelpWindow::linkClicked(const QUrl& url)
{
    const QUrl target = HelpBrowser->source().resolved(url);
    if (target.scheme() != QLatin1String("qrc")) {
        QDesktopServices::openUrl(target);
        return;
    }
    QString page = target.path().mid(helpRoot.size() - 1);
    if (target.hasFragment())
        page += QLatin1Char('#') + target.fragment();
    if (NormalizePage(page) == m_currentPage && target.hasFragment()) {
        HelpBrowser->scrollToAnchor(target.fragment());
        return;
    }
    if (!OpenPage(page))
        TUserPrompt::Current().ShowError(Messages::HelpNotOpened.Text().arg(NormalizePage(page)));
}

void THelpWindow::topicActivated()
{
    if (QListWidgetItem* item = TopicsList->currentItem()) {
        const QString page = item->data(Qt::UserRole).toString();
        if (page != m_currentPage)
            OpenPage(page);
    }
}

bool ShowHelpPage(const QString& page, QWidget* parent)
{
    if (!THelpWindow::PageExists(page)) {
        TUserPrompt::Current().ShowError(Messages::HelpNotOpened.Text().arg(page));
        return false;
    }
    THelpWindow* window = THelpWindow::Instance();
    window->OpenPage(page);
    showInFrontOf(window, parent);
    return true;
}

bool ShowHelpIndex(QWidget* parent)
{
    THelpWindow* window = THelpWindow::Instance();
    if (window->CurrentPage().isEmpty())
        window->OpenPage(QLatin1String(THelpWindow::ContentsPage));
    showInFrontOf(window, parent);
    window->FocusSearch();
    return true;
}
