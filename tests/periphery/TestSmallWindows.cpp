#include "periphery/TAboutForm.h"
#include "periphery/TAnimatedProgressBar.h"
#include "periphery/TFolderBrowse.h"
#include "periphery/TSplashForm.h"

#include "support/TestApp.h"
#include "support/TTempDir.h"
#include "util/Utils.h"

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class SmallWindowsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testApp(); }
};

} // namespace

TEST_F(SmallWindowsTest, AboutBoxShowsProductVersionAndBuild)
{
    ReadVerInfo();
    TAboutForm form;
    auto label = [&](const char* name) {
        auto* l = form.findChild<QLabel*>(QLatin1String(name));
        return l ? l->text() : QStringLiteral("<missing>");
    };
    EXPECT_EQ(label("ProductNameLabel"), VerInfoProductName);
    EXPECT_FALSE(VerInfoProductName.isEmpty());
    EXPECT_TRUE(label("VersionLabel").startsWith(QStringLiteral("Version ") + VerInfoFileVersion));
    EXPECT_TRUE(label("VersionLabel").contains(VerInfoFileVersionBuild));
    EXPECT_EQ(label("CopyrightLabel"), VerInfoCopyright);
    EXPECT_TRUE(form.windowTitle().contains(VerInfoProductName));

    // OK closes it; ShowAboutBox returns once it is closed.
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        shown = modal && modal->objectName() == QLatin1String("AboutForm");
        if (modal)
            modal->findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
    });
    ShowAboutBox(nullptr);
    EXPECT_TRUE(shown);
}

TEST_F(SmallWindowsTest, AboutBoxVersionWithoutASeparateBuild)
{
    ReadVerInfo();
    const QString saved = VerInfoFileVersion, savedBuild = VerInfoFileVersionBuild;
    VerInfoFileVersion = QStringLiteral("2.5");
    VerInfoFileVersionBuild = QStringLiteral("2.5"); // a two-part version is its own build
    EXPECT_EQ(TAboutForm::VersionText(), QStringLiteral("Version 2.5"));
    VerInfoFileVersion = QStringLiteral("2.5.0.77");
    VerInfoFileVersionBuild = QStringLiteral("77");
    EXPECT_EQ(TAboutForm::VersionText(), QStringLiteral("Version 2.5.0.77 (build 77)"));
    VerInfoFileVersion = saved;
    VerInfoFileVersionBuild = savedBuild;
}

TEST_F(SmallWindowsTest, SplashIsABorderlessTopWindowThatClosesItselfOnce)
{
    QPointer<TSplashForm> splash = TSplashForm::ShowSplash();
    ASSERT_FALSE(splash.isNull());
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->size(), QSize(342, 400));
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_NEAR(splash->windowOpacity(), 200.0 / 255.0, 0.01);
    ASSERT_TRUE(splash->CloseTimer()->isActive());
    EXPECT_TRUE(splash->CloseTimer()->isSingleShot());
    EXPECT_EQ(splash->CloseTimer()->interval(), 3000);
    EXPECT_FALSE(splash->grab().isNull());

    splash->CloseTimerTimer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull()); // closed and freed
}

TEST_F(SmallWindowsTest, FolderBrowseStartsAtTheNearestExistingFolder)
{
    TTempDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("a/b")));
    const QString b = QDir::cleanPath(dir.filePath(QStringLiteral("a/b")));
    EXPECT_EQ(TFolderBrowse::StartFolder(b), b);
    EXPECT_EQ(TFolderBrowse::StartFolder(b + QStringLiteral("/not/yet")), b);
    EXPECT_EQ(TFolderBrowse::StartFolder(QString()), QDir::homePath());
    EXPECT_EQ(TFolderBrowse::StartFolder(QStringLiteral("  ")), QDir::homePath());
    EXPECT_EQ(TFolderBrowse::StartFolder(QStringLiteral("/")), QStringLiteral("/"));
}

TEST_F(SmallWindowsTest, FolderBrowseKeepsTheFolderOnCancel)
{
    QString asked;
    const TFolderBrowse::TAnswer::Scope cancelled([&](QWidget*, const QString& caption, QString& folder) {
        asked = caption + QLatin1Char('|') + folder;
        return false;
    });
    QString folder = QStringLiteral("/data/old");
    EXPECT_FALSE(BrowseForFolder(nullptr, QStringLiteral("Pick"), folder));
    EXPECT_EQ(folder, QStringLiteral("/data/old"));
    EXPECT_EQ(asked, QStringLiteral("Pick|/data/old"));

    const TFolderBrowse::TAnswer::Scope chosen([](QWidget*, const QString&, QString& folder) {
        folder = QStringLiteral("/mnt/rescue/");
        return true;
    });
    EXPECT_TRUE(BrowseForFolder(nullptr, QStringLiteral("Pick"), folder));
    EXPECT_EQ(folder, QStringLiteral("/mnt/rescue/"));

    // An OK with nothing chosen counts as cancel.
    const TFolderBrowse::TAnswer::Scope nothingChosen([](QWidget*, const QString&, QString& folder) {
        folder.clear();
        return true;
    });
    EXPECT_FALSE(BrowseForFolder(nullptr, QStringLiteral("Pick"), folder));
    EXPECT_EQ(folder, QStringLiteral("/mnt/rescue/"));
}

TEST_F(SmallWindowsTest, BusyBarBouncesInsideItsFrameOnlyWhileActive)
{
    TAnimatedProgressBar bar;
    bar.resize(104, 16);
    bar.Step();
    EXPECT_EQ(bar.BlockPosition(), 0); // idle: no movement
    bar.Start();
    EXPECT_TRUE(bar.IsActive());
    const int room = 100 - bar.BlockWidth();
    bool reachedEnd = false, cameBack = false;
    int last = 0;
    for (int i = 0; i < 200; ++i) {
        bar.Step();
        ASSERT_GE(bar.BlockPosition(), 0);
        ASSERT_LE(bar.BlockPosition(), room);
        reachedEnd = reachedEnd || bar.BlockPosition() == room;
        cameBack = cameBack || (reachedEnd && bar.BlockPosition() < last);
        last = bar.BlockPosition();
    }
    EXPECT_TRUE(reachedEnd);
    EXPECT_TRUE(cameBack);

    // Shrinking the bar keeps the block inside; a tiny bar does not break.
    bar.resize(10, 8);
    bar.Step();
    EXPECT_LE(bar.BlockPosition() + bar.BlockWidth(), 10);
    EXPECT_FALSE(bar.grab().isNull());
    bar.Stop();
    EXPECT_FALSE(bar.IsActive());
    EXPECT_EQ(bar.BlockPosition(), 0);
}
