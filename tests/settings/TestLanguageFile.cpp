#include "settings/Language.h"
#include "settings/Messages.h"
#include "settings/TLanguageFile.h"

#include "support/TTempDir.h"
#include "util/TFakePlatform.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString value(const TLanguageFile& file, const char* section, const char* key)
{
    return file.ReadString(QLatin1String(section), QLatin1String(key), QStringLiteral("<none>"));
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(LanguageFile, SectionsKeysAndValuesFollowTheLineRules)
{
    const TLanguageFile file = TLanguageFile::Parse("Orphan.Caption=before any section\r\n"
                                                    "[prefsform]\r\n"
                                                    "PREFSFORM.OKBUTTON.CAPTION = &Akkoord  \n"
                                                    "  PrefsForm.Formula  =  a = b = c \r"
                                                    "; PrefsForm.Commented=yes\n"
                                                    "no equals sign here\n"
                                                    "\t\n"
                                                    "PrefsForm.Empty=\n"
                                                    "[ Other ]\n"
                                                    "Orphan.Caption=in a section\n");
    EXPECT_EQ(value(file, "PrefsForm", "PrefsForm.OkButton.Caption"), QStringLiteral("&Akkoord"));
    EXPECT_EQ(value(file, "PREFSFORM", "prefsform.formula"), QStringLiteral("a = b = c"));
    EXPECT_EQ(value(file, "PrefsForm", "; PrefsForm.Commented"), QStringLiteral("<none>"));
    EXPECT_EQ(value(file, "PrefsForm", "PrefsForm.Commented"), QStringLiteral("<none>"));
    EXPECT_EQ(value(file, "PrefsForm", "no equals sign here"), QStringLiteral("<none>"));
    EXPECT_TRUE(file.Contains(QStringLiteral("PrefsForm"), QStringLiteral("PrefsForm.Empty")));
    EXPECT_EQ(value(file, "PrefsForm", "PrefsForm.Empty"), QString());
    EXPECT_EQ(value(file, "Other", "Orphan.Caption"), QStringLiteral("in a section"));
}

TEST(LanguageFile, FirstOccurrenceOfAKeyWinsAndRepeatedSectionsAddUp)
{
    const TLanguageFile file =
        TLanguageFile::Parse("[Form]\nA=first\n[Other]\nA=other\n[FORM]\na=second\nB=more\n");
    EXPECT_EQ(value(file, "Form", "A"), QStringLiteral("first"));
    EXPECT_EQ(value(file, "Form", "B"), QStringLiteral("more"));
    EXPECT_EQ(value(file, "Other", "A"), QStringLiteral("other"));
}

TEST(LanguageFile, ReadsUtf8AndFallsBackToWindows1252)
{
    const TLanguageFile utf8 = TLanguageFile::Parse("\xEF\xBB\xBF[F]\nK=\xD0\x9E\xD0\xBA \xC3\xA9\n");
    EXPECT_EQ(value(utf8, "F", "K"), QString::fromUtf8("\xD0\x9E\xD0\xBA \xC3\xA9"));
    // 0x80 is the euro sign and 0xE9 "é" in Windows-1252; neither is valid UTF-8 here.
    const TLanguageFile ansi = TLanguageFile::Parse("[F]\nK=\x80 caf\xE9\n");
    EXPECT_EQ(value(ansi, "F", "K"), QString::fromUtf8("\xE2\x82\xAC caf\xC3\xA9"));
    // A NUL ends the text.
    const TLanguageFile cut = TLanguageFile::Parse(QByteArray("[F]\nK=kept\n\0L=lost\n", 20));
    EXPECT_EQ(value(cut, "F", "K"), QStringLiteral("kept"));
    EXPECT_EQ(value(cut, "F", "L"), QStringLiteral("<none>"));
}

TEST(LanguageFile, MissingHugeAndOutsideFilesLoadNoTable)
{
    TTempDir temp;
    const TLanguageFolder::Scope folder(temp.path());
    write(temp.filePath("dutch.lng"), "[F]\nK=v\n");
    write(temp.filePath("huge.lng"), "[F]\nK=v\n" + QByteArray(TLanguageFile::MaxFileSize, ' '));
    write(temp.filePath("../outside.lng"), "[F]\nK=v\n");

    const std::unique_ptr<TLanguageFile> dutch = LoadLanguage(QStringLiteral("Dutch.lng"));
    ASSERT_NE(dutch, nullptr); // found whatever the letter case
    EXPECT_EQ(value(*dutch, "F", "K"), QStringLiteral("v"));
    EXPECT_EQ(LoadLanguage(QStringLiteral("huge.lng")), nullptr);
    EXPECT_EQ(LoadLanguage(QStringLiteral("missing.lng")), nullptr);
    EXPECT_EQ(LoadLanguage(QStringLiteral("../outside.lng")), nullptr);
    ASSERT_EQ(::mkfifo(QFile::encodeName(temp.filePath("pipe.lng")).constData(), 0600), 0);
    EXPECT_EQ(LoadLanguage(QStringLiteral("pipe.lng")), nullptr); // returns, never waits for a writer
    QFile::remove(temp.filePath("../outside.lng"));

    // Loading drops the table in use, whatever it finds.
    CurrentLanguageFile = LoadLanguage(QStringLiteral("dutch.lng"));
    ASSERT_NE(CurrentLanguageFile, nullptr);
    EXPECT_EQ(LoadLanguage(QStringLiteral("missing.lng")), nullptr);
    EXPECT_EQ(CurrentLanguageFile, nullptr);
}

TEST(LanguageFile, FolderIsBesideTheProgramElseInTheInstalledDataFolder)
{
    // An installed layout: <prefix>/bin/brevant-pro and <prefix>/share/brevant-pro/*.lng.
    TTempDir prefix;
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("share/brevant-pro")));
    TFakePlatform platform;
    platform.executable = prefix.filePath("bin/brevant-pro");
    const QString bin = prefix.filePath("bin/");
    const QString data = prefix.filePath("share/brevant-pro/");

    EXPECT_EQ(LanguageFolder(), bin); // no language files anywhere
    write(data + QStringLiteral("Dutch.lng"), "[F]\nK=installed\n");
    EXPECT_EQ(LanguageFolder(), data);
    const std::unique_ptr<TLanguageFile> installed = LoadLanguage(QStringLiteral("dutch.lng"));
    ASSERT_NE(installed, nullptr);
    EXPECT_EQ(value(*installed, "F", "K"), QStringLiteral("installed"));

    // Files beside the program, as in the build folder, come first.
    write(bin + QStringLiteral("Dutch.lng"), "[F]\nK=beside\n");
    EXPECT_EQ(LanguageFolder(), bin);
    const std::unique_ptr<TLanguageFile> beside = LoadLanguage(QStringLiteral("Dutch.lng"));
    ASSERT_NE(beside, nullptr);
    EXPECT_EQ(value(*beside, "F", "K"), QStringLiteral("beside"));
}

TEST(LanguageFile, PlaceholdersMustMatchTheOriginal)
{
    const auto match = [](const char* original, const char* translated) {
        return TLanguageFile::PlaceholdersMatch(QString::fromUtf8(original), QString::fromUtf8(translated));
    };
    EXPECT_TRUE(match("Found %1 files in %2", "In %2 zijn %1 bestanden"));
    EXPECT_FALSE(match("Found %1 files in %2", "%1 bestanden gevonden"));
    EXPECT_FALSE(match("Found %1 files", "%1 bestanden in %2"));
    EXPECT_TRUE(match("Copied %s (%d bytes)", "%s gekopieerd (%d bytes)"));
    EXPECT_FALSE(match("Copied %s (%d bytes)", "%d bytes: %s"));
    EXPECT_FALSE(match("Name", "Naam %s"));
    EXPECT_TRUE(match("100% done", "100% klaar"));
    EXPECT_TRUE(match("50%% of %1", "%1 voor 50%%"));
}

TEST(LanguageFile, RunTimeTextsFallBackToTheOriginal)
{
    CurrentLanguageFile = std::make_unique<TLanguageFile>(
        TLanguageFile::Parse("[Messages]\nOk=Vond %1 bestanden\nBad=Vond %s bestanden\nEmpty=\n"));
    const QString original = QStringLiteral("Found %1 files");
    EXPECT_EQ(LanguageText("Messages", "Ok", original), QStringLiteral("Vond %1 bestanden"));
    EXPECT_EQ(LanguageText("Messages", "Bad", original), original);
    EXPECT_EQ(LanguageText("Messages", "Empty", original), original);
    EXPECT_EQ(LanguageText("Messages", "Absent", original), original);
    CurrentLanguageFile.reset();
    EXPECT_EQ(LanguageText("Messages", "Ok", original), original);
}

TEST(LanguageFile, MessagesAreTranslatedUnderTheirOwnKeys)
{
    CurrentLanguageFile = std::make_unique<TLanguageFile>(TLanguageFile::Parse(
        "[messages]\nMessages.OverwriteQuestion=Bestand \"%1\" bestaat al. Overschrijven?\n"
        "Messages.QuitQuestion=Brevant %1 afsluiten?\n"));
    EXPECT_EQ(Messages::OverwriteQuestion.Text().arg(QStringLiteral("/t/a %2.txt")),
              QStringLiteral("Bestand \"/t/a %2.txt\" bestaat al. Overschrijven?"));
    EXPECT_EQ(Messages::QuitQuestion.Text(), Messages::QuitQuestion.Original()); // a placeholder added
    CurrentLanguageFile.reset();
    QSet<QString> keys;
    for (const TMessage* message : TMessage::All()) {
        EXPECT_FALSE(keys.contains(message->Key().toLower())) << qPrintable(message->Key());
        keys.insert(message->Key().toLower());
    }
}
