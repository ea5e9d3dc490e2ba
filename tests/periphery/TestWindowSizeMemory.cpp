#include "periphery/TWindowSizeMemory.h"

#include "support/TTempDir.h"
#include "support/TestApp.h"
#include "settings/Settings.h"
#include "settings/TRegistryKey.h"
#include "settings/TRegistryStore.h"
#include "settings/TWindowSizes.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<QWidget> window()
{
    auto w = std::make_unique<QWidget>();
    w->setObjectName(QStringLiteral("FileFindForm"));
    w->setMinimumSize(200, 150);
    w->resize(600, 500);
    TWindowSizeMemory::Keep(w.get());
    return w;
}

} // namespace

TEST(WindowSizeMemory, AWindowOpensWithTheSizeItWasLastClosedWith)
{
    testApp();
    TTempDir temp;
    const TRegistryStore::TFileOverride::Scope file(temp.filePath(QStringLiteral("s.conf")));
    resetSettingsToInitialValues();
    {
        auto first = window();
        first->show();
        first->resize(640, 420);
        first->hide();
    }
    EXPECT_EQ(window()->size(), QSize(640, 420));

    // Kept across a restart with the other settings.
    ASSERT_TRUE(RegSettingsWrite());
    resetSettingsToInitialValues();
    EXPECT_EQ(window()->size(), QSize(600, 500));
    RegSettingsRead();
    EXPECT_EQ(window()->size(), QSize(640, 420));

    // A maximised window leaves the stored size alone; a stored size below the minimum is raised.
    {
        auto maximised = window();
        maximised->showMaximized();
        maximised->hide();
    }
    EXPECT_EQ(TWindowSizes::Get(QStringLiteral("FileFindForm")), QSize(640, 420));
    TWindowSizes::Set(QStringLiteral("FileFindForm"), QSize(50, 40));
    EXPECT_EQ(window()->size(), QSize(200, 150));
    resetSettingsToInitialValues();
}

TEST(WindowSizeMemory, UnusableStoredSizesAreLeftOut)
{
    TTempDir temp;
    TRegistryStore store(temp.filePath(QStringLiteral("s.conf")));
    const auto put = [&](const char* window, int width, int height) {
        TRegistryKey key = store.OpenKey(RegKeyBase + QStringLiteral("\\Windows\\") + QLatin1String(window));
        key.WriteInteger(QStringLiteral("Width"), width);
        key.WriteInteger(QStringLiteral("Height"), height);
    };
    put("ViewerForm", 500, 300);
    put("Negative", -5, 300);
    put("Huge", 500, 900000);
    store.OpenKey(RegKeyBase + QStringLiteral("\\Windows\\Text")).WriteString(QStringLiteral("Width"), "5");
    ASSERT_TRUE(store.Save());
    TWindowSizes::Read(TRegistryStore(temp.filePath(QStringLiteral("s.conf"))));
    EXPECT_EQ(TWindowSizes::Get(QStringLiteral("ViewerForm")), QSize(500, 300));
    for (const char* name : {"Negative", "Huge", "Text"})
        EXPECT_FALSE(TWindowSizes::Get(QLatin1String(name)).isValid()) << name;
    TWindowSizes::Clear();
}
