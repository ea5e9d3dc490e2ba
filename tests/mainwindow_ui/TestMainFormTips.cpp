#include "TMainFormFixture.h"

#include "periphery/THelpWindow.h"

#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>

// The tips panel of the main window. The fixture's window had its first activation, which
// showed the tip after GlobalLastTip.
namespace {

class MainFormTipsTest : public MainFormTest
{
protected:
    TTipsPanel* tips() const { return form->TipsPanel(); }
    QAction* menuItem(const char* name) const
    {
        auto* item = tips()->PopupMenu()->findChild<QAction*>(QLatin1String(name));
        EXPECT_NE(item, nullptr) << name;
        return item;
    }
    void clickLink(const char* name)
    {
        auto* link = form->findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(link, nullptr) << name;
        QTest::mouseClick(link, Qt::LeftButton);
    }
    // Replaces the tip lines, as a language file would, and shows tip `index`.
    void setTips(const QString& lines, int index)
    {
        form->findChild<QPlainTextEdit*>(QStringLiteral("TipsMemo"))->setPlainText(lines);
        GlobalLastTip = index;
        tips()->UpdateTips();
    }
};

const QString FiveTips = QStringLiteral("one\n/files/howto.recover.html two\nthree\n/files/nowhere\nfive");

} // namespace

TEST_F(MainFormTipsTest, LinksAndMenuMoveThroughTheTipsAndWrapAround)
{
    setTips(FiveTips, 4);
    EXPECT_EQ(tips()->TipText(), QStringLiteral("five"));
    clickLink("TipsLabelNext");
    EXPECT_EQ(GlobalLastTip, 0);
    EXPECT_EQ(tips()->TipText(), QStringLiteral("one"));
    clickLink("TipsLabelPrev");
    EXPECT_EQ(GlobalLastTip, 4);
    menuItem("TipsMenuPrevious")->trigger();
    menuItem("TipsMenuPrevious")->trigger();
    EXPECT_EQ(tips()->TipText(), QStringLiteral("three"));
    menuItem("TipsMenuNext")->trigger();
    // A path without a blank is shown whole, with no page to open.
    EXPECT_EQ(tips()->TipText(), QStringLiteral("/files/nowhere"));
    EXPECT_FALSE(menuItem("TipsMenuMoreInformation")->isEnabled());
}

TEST_F(MainFormTipsTest, MoreInformationOpensTheTipsHelpPage)
{
    setTips(FiveTips, 1);
    EXPECT_EQ(tips()->TipText(), QStringLiteral("two"));
    ASSERT_TRUE(menuItem("TipsMenuMoreInformation")->isEnabled());
    menuItem("TipsMenuMoreInformation")->trigger();
    THelpWindow* help = THelpWindow::Instance(false);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->CurrentPage(), QStringLiteral("/files/howto.recover.html"));
    menuItem("TipsMenuHelpContents")->trigger();
    EXPECT_EQ(help->CurrentPage(), QLatin1String(THelpWindow::ContentsPage));
}

TEST_F(MainFormTipsTest, EveryBuiltInTipOpensAPageThatExists)
{
    const QStringList lines =
        form->findChild<QPlainTextEdit*>(QStringLiteral("TipsMemo"))->toPlainText().split('\n');
    EXPECT_GE(lines.size(), 15);
    for (int i = 0; i < lines.size(); ++i) {
        GlobalLastTip = i;
        tips()->UpdateTips();
        EXPECT_FALSE(tips()->TipText().isEmpty()) << i;
        EXPECT_TRUE(THelpWindow::PageExists(tips()->TipMoreInfoPage())) << qPrintable(lines[i]);
    }
}

TEST_F(MainFormTipsTest, EachStartShowsTheTipAfterTheOneShownLast)
{
    setTips(FiveTips, 2);
    form.reset(); // saves the settings
    GlobalLastTip = 0;
    RegSettingsRead();
    ASSERT_EQ(GlobalLastTip, 2);
    form = std::make_unique<TMainForm>();
    form->FormActivate();
    // The built-in tips are back; the one after index 2 is on show.
    EXPECT_EQ(GlobalLastTip, 3);
    EXPECT_FALSE(tips()->TipText().isEmpty());

    // An index beyond the list gives the first tip.
    form.reset();
    GlobalLastTip = 40;
    form = std::make_unique<TMainForm>();
    form->FormActivate();
    EXPECT_EQ(GlobalLastTip, 0);
}

TEST_F(MainFormTipsTest, ALinkIsBlueWhileTheMouseIsOverIt)
{
    auto* link = form->findChild<QLabel*>(QStringLiteral("TipsLabelNext"));
    ASSERT_NE(link, nullptr);
    const QColor normal = link->palette().color(QPalette::WindowText);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(link, &enter);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), normal);
}

TEST_F(MainFormTipsTest, CloseItemAndButtonHideThePanel)
{
    menuItem("TipsMenuClose")->trigger();
    EXPECT_EQ(form->TipsPanelHeight(), 1);
    EXPECT_FALSE(action("actViewTips")->isChecked());
    action("actViewTips")->trigger();
    EXPECT_EQ(form->TipsPanelHeight(), 75);
    button("TipsCloseButton")->click();
    EXPECT_EQ(form->TipsPanelHeight(), 1);
}
