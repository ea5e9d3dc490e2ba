#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;
class QToolButton;

// The program's help viewer: the HTML pages under help/files, compiled into the
// program as resources (":/help/files/..."), shown in one window with a list of
// topics, a search field and links between the pages. There is one help window
// per run; it stays in front of the window that last asked for it, is usable while a
// modal window is open, and closes with the main window.
class THelpWindow : public QWidget
{
    Q_OBJECT

public:
    // The page a help window opens on when no page is asked for.
    static constexpr const char* ContentsPage = "/files/basics.contents.html";

    explicit THelpWindow(QWidget* parent = nullptr);

    // The help window of this run, created on first use (nullptr when create is
    // false and none exists yet).
    static THelpWindow* Instance(bool create = true);

    // Shows a page given by its path ("/files/basics.quickstart.html", with an
    // optional "#anchor"). Returns false, changing nothing, when the page does not
    // exist.
    bool OpenPage(const QString& page);
    // Path of the page on show, without anchor; empty before the first page.
    QString CurrentPage() const { return m_currentPage; }
    // Moves the focus to the search field, for "Search for Help on...".
    void FocusSearch();
    // Narrows the topic list to the pages containing every word of text.
    void SetSearchText(const QString& text);
    // Page paths of the topics listed now, in list order.
    QStringList ListedPages() const;

    // Page paths are "/files/<name>.html"; these map them to the compiled-in pages.
    static QString NormalizePage(const QString& page);
    static QString PageResource(const QString& page);
    static bool PageExists(const QString& page);
    // Every page path in reading order: contents, basics, how-to, preferences.
    static QStringList Pages();
    static QString PageTitle(const QString& page);
    // Pages whose text contains every word of words (case-insensitive), in Pages() order.
    static QStringList SearchPages(const QString& words);

private:
    void fillTopics();
    void browserSourceChanged(const QUrl& url);
    void linkClicked(const QUrl& url);
    void topicActivated();

    QLineEdit* SearchEdit;
    QListWidget* TopicsList;
    QTextBrowser* HelpBrowser;
    QToolButton* BackButton;
    QToolButton* ForwardButton;
    QToolButton* HomeButton;
    QString m_currentPage;
};

// Shows a help page in the help window (a path such as "/files/basics.quickstart.html")
// in front of parent's window, or of the modal window open now.
// A missing page shows "Can't open help file (%s)." with the page path, caption
// "Error", through TUserPrompt, and returns false.
bool ShowHelpPage(const QString& page, QWidget* parent = nullptr);
// Shows the help window with its search field focused ("Search for Help on...").
bool ShowHelpIndex(QWidget* parent = nullptr);
