#include "TMainFormFixture.h"

#include "mainwindow/TMainLayout.h"
#include "settings/TRegistryKey.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>

// The main window's layout: written with the settings when the window goes, read back on
// the next window's first activation.
namespace {

class MainFormLayoutTest : public MainFormTest
{
protected:
    // Ends this window (which saves the settings) and starts the next one.
    void restart()
    {
        form.reset();
        form = std::make_unique<TMainForm>();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->FormActivate();
        QCoreApplication::processEvents();
    }
    QWidget* widget(const char* name) const
    {
        auto* w = form->findChild<QWidget*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void changeLayout()
    {
        form->setGeometry(QRect(20, 30, 640, 480));
        list()->SetColumnWidth(0, 222);
        list()->SetColumnWidth(4, 33);
        list()->SetColumnWidth(5, 99);
        form->SetTipsPanelHeight(120);
        action("actViewFolders")->trigger();
        action("actViewStatusBar")->trigger();
        action("actViewToolBar")->trigger();
    }
};

} // namespace

TEST_F(MainFormLayoutTest, TheNextWindowComesBackAsTheUserLeftIt)
{
    changeLayout();
    restart();
    EXPECT_EQ(form->geometry(), QRect(20, 30, 640, 480));
    EXPECT_EQ(list()->ColumnWidth(0), 222);
    EXPECT_EQ(list()->ColumnWidth(4), 33);
    EXPECT_EQ(list()->ColumnWidth(5), 99);
    EXPECT_EQ(form->TipsPanelHeight(), 120);
    EXPECT_TRUE(widget("FoldersPanel")->isHidden());
    EXPECT_FALSE(action("actViewFolders")->isChecked());
    EXPECT_EQ(form->findChild<QSplitter*>(QStringLiteral("FoldersSplitter"))->handleWidth(), 0);
    EXPECT_TRUE(widget("StatusBar")->isHidden());
    EXPECT_FALSE(action("actViewStatusBar")->isChecked());
    EXPECT_TRUE(widget("ToolBarPanel")->isHidden());
    EXPECT_FALSE(action("actViewToolBar")->isChecked());

    // Shown again, the folder panel has its width back; a hidden tips panel stays hidden.
    action("actViewFolders")->trigger();
    EXPECT_FALSE(widget("FoldersPanel")->isHidden());
    action("actViewTips")->trigger();
    restart();
    EXPECT_EQ(form->TipsPanelHeight(), 1);
    EXPECT_FALSE(action("actViewTips")->isChecked());
    action("actViewTips")->trigger();
    EXPECT_EQ(form->TipsPanelHeight(), 75);
}

TEST_F(MainFormLayoutTest, AMissingFlagsValueRestoresNothing)
{
    changeLayout();
    form.reset();
    {
        TRegistryStore store;
        store.OpenKey(RegKeyMainWindow).WriteInteger(QStringLiteral("WindowFlags"), 0); // not binary
        ASSERT_TRUE(store.Save());
    }
    restart();
    EXPECT_EQ(list()->ColumnWidth(0), 150);
    EXPECT_FALSE(widget("FoldersPanel")->isHidden());
    EXPECT_FALSE(widget("StatusBar")->isHidden());
    EXPECT_EQ(form->TipsPanelHeight(), 75);
}

TEST_F(MainFormLayoutTest, APlacementOffTheScreensIsPulledBack)
{
    form.reset();
    {
        TMainLayout layout;
        layout.SetNormalRect(QRect(9000, 9000, 500, 400));
        TRegistryStore store;
        layout.Write(store);
        ASSERT_TRUE(store.Save());
    }
    restart();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.intersects(form->geometry()));
    EXPECT_EQ(form->geometry().size(), QSize(500, 400).boundedTo(screen.size()));
}

TEST_F(MainFormLayoutTest, AMaximisedWindowComesBackMaximised)
{
    form->setGeometry(QRect(30, 40, 600, 450));
    form->showMaximized();
    QCoreApplication::processEvents();
    restart();
    EXPECT_TRUE(form->isMaximized());
    form->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->geometry(), QRect(30, 40, 600, 450));
}
