#include "TestConfig.h"
#include "disk/ui/TDiskSelectForm.h"
#include "disk/ui/TDrivePropertiesForm.h"
#include "disk/ui/TScanDiskForm.h"
#include "mainwindow/ui/TMainForm.h"
#include "periphery/TAboutForm.h"
#include "recovery/ui/TFileRecoveryLoadForm.h"
#include "recovery/ui/TRecoveryForm.h"
#include "search/ui/TFileFindForm.h"
#include "settings/Language.h"
#include "settings/Settings.h"
#include "settings/ui/TFTPAccountEditForm.h"
#include "settings/ui/TPrefsForm.h"
#include "viewers/ui/TFilePropertiesForm.h"
#include "viewers/ui/TFileViewerForm.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The language files shipped with the program: every window created with one shows its
// translated title, and every key names a control that exists, so a renamed control
// cannot silently lose its translation.
namespace {

using TMake = std::function<std::unique_ptr<QWidget>()>;

template<typename T> TMake make()
{
    return [] { return std::make_unique<T>(); };
}

void checkWindows(const QString& fileName)
{
    const TLanguageFolder::Scope folder(QStringLiteral(BREVANT_SOURCE_DIR "/lang"));
    CurrentLanguageFile = LoadLanguage(fileName);
    ASSERT_NE(CurrentLanguageFile, nullptr) << qPrintable(fileName);
    const TLanguageFile& table = *CurrentLanguageFile;
    static const QRegularExpression component(
        QStringLiteral("^[^.]+\\.([^.\\[]+)\\.(caption|hint|items\\[\\d+\\]|columns\\[\\d+\\]\\.caption)$"));
    for (const TMake& create :
         {make<TMainForm>(), make<TDiskSelectForm>(), make<TScanDiskForm>(), make<TDrivePropertiesForm>(),
          make<TRecoveryForm>(), make<TFileRecoveryLoadForm>(), make<TFileFindForm>(),
          make<TFilePropertiesForm>(), make<TFileViewerForm>(), make<TAboutForm>(), make<TPrefsForm>(),
          make<TFTPAccountEditForm>()}) {
        const std::unique_ptr<QWidget> window = create();
        const QString name = window->objectName();
        const QString title = table.ReadString(name, name + QStringLiteral(".Caption"), QString());
        EXPECT_FALSE(title.isEmpty()) << qPrintable(name);
        EXPECT_EQ(window->windowTitle(), title) << qPrintable(name);
        for (const QString& key : table.Keys(name)) {
            const QRegularExpressionMatch match = component.match(key);
            if (!match.hasMatch())
                continue;
            bool found = false;
            for (const QObject* child : window->findChildren<QObject*>())
                found = found || child->objectName().compare(match.captured(1), Qt::CaseInsensitive) == 0;
            EXPECT_TRUE(found) << qPrintable(name) << ": " << qPrintable(key);
        }
    }
    CurrentLanguageFile.reset();
}

} // namespace

TEST(ShippedLanguages, EveryWindowShowsItsTranslatedTitle)
{
    resetSettingsToInitialValues();
    checkWindows(QStringLiteral("Dutch.lng"));
    checkWindows(QStringLiteral("Russian.lng"));
    resetSettingsToInitialValues();
}
