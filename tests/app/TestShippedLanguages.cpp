#include "TestConfig.h"
#include "disk/TBaseElement.h"
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
#include "settings/TMessage.h"
#include "settings/ui/LanguageForms.h"
#include "settings/ui/TFTPAccountEditForm.h"
#include "settings/ui/TPrefsForm.h"
#include "util/Utils.h"
#include "viewers/TFileProperties.h"
#include "viewers/ui/TFilePropertiesForm.h"
#include "viewers/ui/TFileViewerForm.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

// The language files shipped with the program: every window created with one shows its
// translated title, and every key names a control that exists, so a renamed control
// cannot silently lose its translation.
namespace {

using TMake = std::function<std::unique_ptr<QWidget>()>;

template<typename T> TMake make()
{
    return [] { return std::make_unique<T>(); };
}

std::vector<TMake> allWindows()
{
    return {make<TMainForm>(),       make<TDiskSelectForm>(),
            make<TScanDiskForm>(),   make<TDrivePropertiesForm>(),
            make<TRecoveryForm>(),   make<TFileRecoveryLoadForm>(),
            make<TFileFindForm>(),   make<TFilePropertiesForm>(),
            make<TFileViewerForm>(), make<TAboutForm>(),
            make<TPrefsForm>(),      make<TFTPAccountEditForm>()};
}

void checkWindows(const QString& fileName)
{
    const TLanguageFolder::Scope folder(QStringLiteral(BREVANT_SOURCE_DIR "/lang"));
    CurrentLanguageFile = LoadLanguage(fileName);
    ASSERT_NE(CurrentLanguageFile, nullptr) << qPrintable(fileName);
    const TLanguageFile& table = *CurrentLanguageFile;
    static const QRegularExpression component(
        QStringLiteral("^[^.]+\\.([^.\\[]+)\\.(caption|hint|items\\[\\d+\\]|columns\\[\\d+\\]\\.caption)$"));
    for (const TMake& create : allWindows()) {
        const std::unique_ptr<QWidget> window = create();
        const QString name = window->objectName();
        const QString title = table.ReadString(name, name + QStringLiteral(".Caption"), QString());
        EXPECT_FALSE(title.isEmpty()) << qPrintable(name);
        EXPECT_EQ(window->windowTitle(), title) << qPrintable(name);
        // The window's own hint: what the main window's status bar says when nothing is pointed at.
        const QString hint = table.ReadString(name, name + QStringLiteral(".Hint"), QString());
        if (!hint.isEmpty()) {
            EXPECT_EQ(window->statusTip(), hint.mid(hint.indexOf(QLatin1Char('|')) + 1)) << qPrintable(name);
        }
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

// The English file holds the built-in texts as the windows have them, so it is a complete
// list of what a translation can replace. Set BREVANT_WRITE_ENGLISH_LNG to a path to write
// it anew after changing a window.
TEST(ShippedLanguages, EnglishFileHoldsTheBuiltInTexts)
{
    resetSettingsToInitialValues();
    CurrentLanguageFile.reset();
    ReadVerInfo(); // the titles that name the product
    QString text =
        QStringLiteral("; Brevant Pro - the built-in English texts, written by the tests from the windows.\n"
                       "; Each section is a window; keys are Window.Control.Property.\n"
                       "; The section Messages holds the texts composed at run time.\n");
    for (const TMake& create : allWindows()) {
        const std::unique_ptr<QWidget> window = create();
        text += QStringLiteral("\n[%1]\n").arg(window->objectName()) +
                ReadProps(window.get()).join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    text += QStringLiteral("\n[Messages]\n");
    for (const TMessage* message : TMessage::All())
        text += message->Key() + QLatin1Char('=') + message->Original() + QLatin1Char('\n');
    const QString target = qEnvironmentVariable("BREVANT_WRITE_ENGLISH_LNG");
    if (!target.isEmpty()) {
        QFile out(target);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text.toUtf8());
    }
    QFile shipped(QStringLiteral(BREVANT_SOURCE_DIR "/lang/English.lng"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(shipped.readAll()), text)
        << "lang/English.lng is out of date; write it with BREVANT_WRITE_ENGLISH_LNG";
    // Every key a translation gives exists in the English file.
    const TLanguageFile english = TLanguageFile::Parse(text.toUtf8());
    const TLanguageFolder::Scope folder(QStringLiteral(BREVANT_SOURCE_DIR "/lang"));
    for (const char* name : {"Dutch.lng", "Russian.lng"}) {
        const std::unique_ptr<TLanguageFile> translation = LoadLanguage(QLatin1String(name));
        ASSERT_NE(translation, nullptr);
        QStringList sections{QStringLiteral("Messages")};
        for (const TMake& create : allWindows())
            sections << create()->objectName();
        for (const QString& section : sections) {
            for (const QString& key : translation->Keys(section)) {
                EXPECT_TRUE(english.Contains(section, key)) << name << ": " << qPrintable(key);
                EXPECT_TRUE(
                    TLanguageFile::PlaceholdersMatch(english.ReadString(section, key, QString()),
                                                     translation->ReadString(section, key, QString())))
                    << name << ": " << qPrintable(key);
            }
        }
    }
}

// Windows that put a name or a letter into their title keep the translated title with it.
TEST(ShippedLanguages, TitlesWithANameKeepTheirTranslation)
{
    resetSettingsToInitialValues();
    const TLanguageFolder::Scope folder(QStringLiteral(BREVANT_SOURCE_DIR "/lang"));
    CurrentLanguageFile = LoadLanguage(QStringLiteral("Dutch.lng"));
    ASSERT_NE(CurrentLanguageFile, nullptr);
    TBaseElement file;
    file.Name = QStringLiteral("foto.jpg");
    TFileViewerForm viewer;
    viewer.Open(fvmHEX, &file, nullptr);
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("foto.jpg Bestandsviewer"));
    TFilePropertiesForm properties;
    properties.FillFrom(TFileProperties(file));
    EXPECT_EQ(properties.windowTitle(), QStringLiteral("foto.jpg Eigenschappen"));
    TDriveInfo info = {};
    info.Letter = 'E';
    TDrivePropertiesForm drive;
    drive.FillFrom(info);
    EXPECT_EQ(drive.windowTitle(), QStringLiteral("E: Stationseigenschappen"));
    CurrentLanguageFile.reset();
}
