#include "periphery/THelpWindow.h"

#include "support/TestApp.h"
#include "TestConfig.h"
#include "support/TScriptedPrompt.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

class HelpWindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testApp(); }
    void TearDown() override { delete THelpWindow::Instance(false); }
};

// The page of the topic the index highlights.
QString highlighted(THelpWindow* window)
{
    auto* topics = window->findChild<QListWidget*>(QStringLiteral("TopicsList"));
    QListWidgetItem* item = topics ? topics->currentItem() : nullptr;
    return item ? item->data(Qt::UserRole).toString() : QString();
}

QString pageSource(const QString& page)
{
    QFile file(THelpWindow::PageResource(page));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST_F(HelpWindowTest, EveryPageTheProgramOpensExists)
{
    // The pages windows and commands open by their help keywords.
    const char* opened[] = {
        "/files/basics.contents.html",
        "/files/basics.quickstart.html",
        "/files/howto.get-information.html",
        "/files/howto.get-file-information.html",
        "/files/prefs.html",
        "/files/prefs.default-folder.html",
        "/files/prefs.startup.html",
        "/files/prefs.log.html",
        "/files/prefs.confirm.html",
        "/files/prefs.language.html",
    };
    for (const char* page : opened)
        EXPECT_TRUE(THelpWindow::PageExists(QLatin1String(page))) << page;
    EXPECT_EQ(THelpWindow::Pages().first(), QLatin1String(THelpWindow::ContentsPage));
}

TEST_F(HelpWindowTest, EveryPageInTheSourceTreeIsCompiledInWithATitle)
{
    const QDir dir(QStringLiteral(BREVANT_SOURCE_DIR "/help/files"));
    const QStringList names = dir.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    QStringList onDisk;
    for (const QString& name : names)
        onDisk.append(QStringLiteral("/files/") + name);
    QStringList compiled = THelpWindow::Pages();
    onDisk.sort();
    compiled.sort();
    EXPECT_EQ(compiled, onDisk) << "help/files and the resource list differ";

    for (const QString& page : compiled) {
        const QString title = THelpWindow::PageTitle(page);
        EXPECT_FALSE(title.isEmpty()) << qPrintable(page);
        EXPECT_FALSE(title.endsWith(QLatin1String(".html"))) << qPrintable(page) << " has no <title>";
        // The compiled page is the committed page, byte for byte.
        QFile source(dir.filePath(page.section(QLatin1Char('/'), -1)));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(source.readAll()), pageSource(page)) << qPrintable(page);
    }
}

TEST_F(HelpWindowTest, LinksBetweenPagesResolveAndEveryPageIsReachable)
{
    static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    static const QRegularExpression anchor(QStringLiteral("(?:id|name)=\"([^\"]*)\""));
    QSet<QString> reached{QLatin1String(THelpWindow::ContentsPage)};
    for (const QString& page : THelpWindow::Pages()) {
        const QString text = pageSource(page);
        for (auto it = href.globalMatch(text); it.hasNext();) {
            const QUrl link(it.next().captured(1));
            if (!link.scheme().isEmpty()) {
                EXPECT_TRUE(link.scheme() == QLatin1String("https") ||
                            link.scheme() == QLatin1String("mailto"))
                    << qPrintable(page) << ": " << qPrintable(link.toString());
                continue;
            }
            const QUrl target = QUrl(QStringLiteral("qrc:/help") + page).resolved(link);
            const QString targetPage = target.path().mid(5);
            ASSERT_TRUE(THelpWindow::PageExists(targetPage))
                << qPrintable(page) << " links to missing " << qPrintable(link.toString());
            reached.insert(targetPage);
            if (target.hasFragment()) {
                QStringList anchors;
                for (auto a = anchor.globalMatch(pageSource(targetPage)); a.hasNext();)
                    anchors.append(a.next().captured(1));
                EXPECT_TRUE(anchors.contains(target.fragment()))
                    << qPrintable(page) << " links to missing anchor " << qPrintable(link.toString());
            }
        }
    }
    for (const QString& page : THelpWindow::Pages())
        EXPECT_TRUE(reached.contains(page)) << qPrintable(page) << " is linked from no page";
}

TEST_F(HelpWindowTest, MissingPageReportsItsPathAndOpensNothing)
{
    TScriptedPrompt prompt;
    EXPECT_FALSE(ShowHelpPage(QStringLiteral("/files/no-such-page.html")));
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked().at(0).text, QStringLiteral("Can't open help file (/files/no-such-page.html)."));
    EXPECT_EQ(prompt.asked().at(0).caption, QStringLiteral("Error"));
    EXPECT_EQ(THelpWindow::Instance(false), nullptr);

    // Paths that leave the help folder, or name other resources, are not pages.
    for (const char* page : {"/files/../../icons/ICON_MainImageList_0.png", "/../icons/splash_drive.png",
                             "/files/", "", "/files/basics.contents.htm"})
        EXPECT_FALSE(THelpWindow::PageExists(QLatin1String(page))) << page;
}

TEST_F(HelpWindowTest, ShowsPagesFollowsLinksAndReportsBrokenOnes)
{
    TScriptedPrompt prompt;
    ASSERT_TRUE(ShowHelpPage(QStringLiteral("/files/basics.quickstart.html")));
    THelpWindow* window = THelpWindow::Instance(false);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->CurrentPage(), QStringLiteral("/files/basics.quickstart.html"));
    auto* browser = window->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Stop writing to the drive")));

    // A second request reuses the one window; an anchor is accepted.
    ASSERT_TRUE(ShowHelpPage(QStringLiteral("files/howto.recover.html#x")));
    EXPECT_EQ(THelpWindow::Instance(false), window);
    EXPECT_EQ(window->CurrentPage(), QStringLiteral("/files/howto.recover.html"));

    // A relative link is followed inside the help.
    emit browser->anchorClicked(QUrl(QStringLiteral("prefs.confirm.html")));
    EXPECT_EQ(window->CurrentPage(), QStringLiteral("/files/prefs.confirm.html"));
    EXPECT_TRUE(prompt.asked().isEmpty());

    // A broken link reports the page and stays where it is.
    emit browser->anchorClicked(QUrl(QStringLiteral("gone.html")));
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked().at(0).text, QStringLiteral("Can't open help file (/files/gone.html)."));
    EXPECT_EQ(window->CurrentPage(), QStringLiteral("/files/prefs.confirm.html"));

    browser->backward();
    EXPECT_EQ(window->CurrentPage(), QStringLiteral("/files/howto.recover.html"));
}

TEST_F(HelpWindowTest, SearchNarrowsTheTopicsToPagesWithEveryWord)
{
    const QStringList lost = THelpWindow::SearchPages(QStringLiteral("LOST_FOLDER_"));
    EXPECT_TRUE(lost.contains(QStringLiteral("/files/basics.conditions.html")));
    EXPECT_FALSE(lost.contains(QStringLiteral("/files/prefs.log.html")));
    // Markup is not searched, only the text.
    EXPECT_TRUE(THelpWindow::SearchPages(QStringLiteral("href")).isEmpty());
    EXPECT_TRUE(THelpWindow::SearchPages(QStringLiteral("overwrite zzqx")).isEmpty());
    EXPECT_EQ(THelpWindow::SearchPages(QString()), THelpWindow::Pages());

    ASSERT_TRUE(ShowHelpIndex());
    THelpWindow* window = THelpWindow::Instance(false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->CurrentPage(), QLatin1String(THelpWindow::ContentsPage));
    EXPECT_EQ(window->ListedPages(), THelpWindow::Pages());
    window->SetSearchText(QStringLiteral("overwrite"));
    const QStringList listed = window->ListedPages();
    EXPECT_FALSE(listed.isEmpty());
    EXPECT_LT(listed.size(), THelpWindow::Pages().size());
    EXPECT_TRUE(listed.contains(QStringLiteral("/files/prefs.confirm.html")));
    window->SetSearchText(QString());
    EXPECT_EQ(window->ListedPages(), THelpWindow::Pages());
}

TEST_F(HelpWindowTest, TheIndexHighlightsThePageShown)
{
    TScriptedPrompt prompt;
    ASSERT_TRUE(ShowHelpPage(QStringLiteral("/files/basics.quickstart.html")));
    THelpWindow* window = THelpWindow::Instance(false);
    EXPECT_EQ(highlighted(window), QStringLiteral("/files/basics.quickstart.html"));
    ASSERT_TRUE(ShowHelpPage(QStringLiteral("/files/howto.recover.html")));
    EXPECT_EQ(highlighted(window), QStringLiteral("/files/howto.recover.html"));
    auto* browser = window->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
    emit browser->anchorClicked(QUrl(QStringLiteral("prefs.confirm.html")));
    EXPECT_EQ(highlighted(window), QStringLiteral("/files/prefs.confirm.html"));
    browser->backward();
    EXPECT_EQ(highlighted(window), QStringLiteral("/files/howto.recover.html"));
}

TEST_F(HelpWindowTest, HelpAskedForByAModalWindowIsUsableAndInFrontOfIt)
{
    QWidget main;
    main.show();
    QDialog dialog(&main);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    ASSERT_TRUE(ShowHelpPage(QStringLiteral("/files/basics.quickstart.html"), &dialog));
    THelpWindow* window = THelpWindow::Instance(false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_NE(window->windowHandle(), nullptr);
    EXPECT_EQ(window->windowHandle()->transientParent(), dialog.windowHandle());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));

    // A click on a topic reaches the help window through the window system.
    auto* topics = window->findChild<QListWidget*>(QStringLiteral("TopicsList"));
    const int row =
        static_cast<int>(window->ListedPages().indexOf(QStringLiteral("/files/howto.recover.html")));
    ASSERT_GE(row, 0);
    const QPoint at = topics->viewport()->mapTo(window, topics->visualItemRect(topics->item(row)).center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(window->CurrentPage(), QStringLiteral("/files/howto.recover.html"));

    // Asked for by the main window, it stays in front of that one.
    dialog.close();
    ASSERT_TRUE(ShowHelpPage(QStringLiteral("/files/basics.contents.html"), &main));
    EXPECT_EQ(window->windowHandle()->transientParent(), main.windowHandle());
}
