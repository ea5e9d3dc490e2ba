#include "mainwindow/TMainLayout.h"

#include "support/TTempDir.h"
#include "settings/Settings.h"
#include "settings/TRegistryKey.h"
#include "settings/TRegistryStore.h"

#include <gtest/gtest.h>

namespace {

TMainLayout changedLayout()
{
    TMainLayout layout;
    layout.WindowShowCmd = TMainLayout::swShowMaximized;
    layout.SetNormalRect(QRect(40, 30, 700, 500));
    layout.ToolBarVisible = false;
    layout.FoldersPanelSize = 250;
    layout.FoldersPanelVisible = false;
    layout.ColumnWidths = {200, 80, 90, 100, 60, 140};
    layout.TipsPanelSize = 1;
    layout.StatusBarVisible = false;
    return layout;
}

} // namespace

TEST(MainLayout, StoredValuesReadBackWithTheirTypes)
{
    TTempDir temp;
    TRegistryStore store(temp.filePath(QStringLiteral("s.conf")));
    const TMainLayout written = changedLayout();
    written.Write(store);
    ASSERT_TRUE(store.Save());

    // The flags and show state are 4 bytes, least significant first; edges are integers.
    const TRegistryStore again(temp.filePath(QStringLiteral("s.conf")));
    EXPECT_EQ(again.ReadBinary(RegKeyMainWindow, QStringLiteral("WindowShowCmd")),
              QByteArray("\x03\x00\x00\x00", 4));
    EXPECT_EQ(again.ReadInteger(RegKeyMainWindow, QStringLiteral("WindowNormalPositionHeight")), 740);
    EXPECT_EQ(again.ReadInteger(RegKeyMainWindow, QStringLiteral("WindowNormalPositionWidth")), 530);
    EXPECT_EQ(again.ReadBool(RegKeyMainWindow, QStringLiteral("FoldersPanelVisible")), false);

    TMainLayout read;
    EXPECT_EQ(read.Read(again), int(TMainLayout::ValueCount));
    EXPECT_EQ(read.NormalRect(), QRect(40, 30, 700, 500));
    EXPECT_TRUE(read.RestoresMaximized());
    EXPECT_FALSE(read.ToolBarVisible);
    EXPECT_EQ(read.FoldersPanelSize, 250);
    EXPECT_FALSE(read.FoldersPanelVisible);
    EXPECT_EQ(read.ColumnWidths, written.ColumnWidths);
    EXPECT_EQ(read.TipsPanelSize, 1);
    EXPECT_FALSE(read.StatusBarVisible);
}

TEST(MainLayout, ReadingStopsAtTheFirstMissingOrWronglyTypedValue)
{
    TTempDir temp;
    TRegistryStore store(temp.filePath(QStringLiteral("s.conf")));
    changedLayout().Write(store);
    TRegistryKey key = store.OpenKey(RegKeyMainWindow);

    // A text where an integer belongs: everything from the column widths on keeps its state.
    key.WriteString(QStringLiteral("FilesListColumnName"), QStringLiteral("200"));
    TMainLayout layout;
    EXPECT_EQ(layout.Read(store), int(TMainLayout::vColumnName));
    EXPECT_EQ(layout.FoldersPanelSize, 250);
    EXPECT_EQ(layout.ColumnWidths[0], 150);
    EXPECT_EQ(layout.TipsPanelSize, 75);
    EXPECT_TRUE(layout.StatusBarVisible);

    // Flags of the wrong size are as unusable as missing ones: nothing is read.
    key.WriteBinary(QStringLiteral("WindowFlags"), QByteArray(2, '\0'));
    EXPECT_EQ(TMainLayout().Read(store), 0);
    EXPECT_EQ(TMainLayout().Read(TRegistryStore(temp.filePath(QStringLiteral("none.conf")))), 0);
}

TEST(MainLayout, AWindowOffTheScreensIsBroughtBack)
{
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    // On the second screen, and half outside the first with its title bar reachable: kept.
    EXPECT_EQ(TMainLayout::OnVisibleScreen(QRect(2000, 100, 700, 500), screens), QRect(2000, 100, 700, 500));
    EXPECT_EQ(TMainLayout::OnVisibleScreen(QRect(-300, 50, 700, 500), screens), QRect(-300, 50, 700, 500));
    // On a screen that has gone, or with its title bar above the top: centred on the primary.
    EXPECT_EQ(TMainLayout::OnVisibleScreen(QRect(3500, 100, 700, 500), screens), QRect(610, 290, 700, 500));
    EXPECT_EQ(TMainLayout::OnVisibleScreen(QRect(100, -200, 700, 500), screens), QRect(610, 290, 700, 500));
    // Larger than the screens together: cut to their size where it stands.
    EXPECT_EQ(TMainLayout::OnVisibleScreen(QRect(10, 10, 90000, 90000), screens), QRect(10, 10, 3200, 1080));
    // Too large for the primary screen: fitted to it.
    EXPECT_EQ(TMainLayout::OnVisibleScreen(QRect(5000, 0, 2500, 1500), screens), QRect(0, 0, 1920, 1080));
}
