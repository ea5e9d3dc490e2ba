#include "util/FileUtils.h"

#include "support/TTempDir.h"
#include "util/TFakePlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

constexpr uint32_t driveBit(char letter)
{
    return 1u << (letter - 'A');
}

} // namespace

TEST(ExtractFilePathNoRootTest, StripsDriveAndShareRoots)
{
    EXPECT_EQ(ExtractFilePathNoRoot("C:\\a\\b.txt"), "a\\b.txt");
    EXPECT_EQ(ExtractFilePathNoRoot("D:\\Docs\\Old\\"), "Docs\\Old\\");
    EXPECT_EQ(ExtractFilePathNoRoot("\\\\srv\\share\\a\\b.txt"), "a\\b.txt");
    EXPECT_EQ(ExtractFilePathNoRoot("\\\\srv\\share\\"), "");
    EXPECT_EQ(ExtractFilePathNoRoot("\\\\srv\\share"), "");
    EXPECT_EQ(ExtractFilePathNoRoot("\\\\srv"), "");
    EXPECT_EQ(ExtractFilePathNoRoot("C:\\"), "");
    EXPECT_EQ(ExtractFilePathNoRoot("ab"), "");
    EXPECT_EQ(ExtractFilePathNoRoot("C:x\\y"), "");
    EXPECT_EQ(ExtractFilePathNoRoot("dir\\file"), "");
    EXPECT_EQ(ExtractFilePathNoRoot(""), "");
}

TEST(MyDriveValidTest, ChecksOnlyDriveRootsAgainstTheDriveMask)
{
    TFakePlatform platform;
    platform.drives = driveBit('C') | driveBit('D');
    EXPECT_TRUE(MyDriveValid("C:\\"));
    EXPECT_TRUE(MyDriveValid("d:\\"));
    EXPECT_FALSE(MyDriveValid("Z:\\"));
    EXPECT_FALSE(MyDriveValid("1:\\")) << "a character below A is no drive";
    EXPECT_FALSE(MyDriveValid("~:\\")) << "a character past the 32 bits is no drive";
    EXPECT_TRUE(MyDriveValid("Z:\\x"));
    EXPECT_TRUE(MyDriveValid("Z:"));
    EXPECT_TRUE(MyDriveValid("/mnt"));
    EXPECT_TRUE(MyDriveValid(""));

    platform.drives = 0x80000000u; // the 32nd letter, past Z
    EXPECT_TRUE(MyDriveValid(QString(QChar('A' + 31)) + ":\\"));
}

TEST(MyFolderValidTest, WindowsNameRulesRejectBeforeTouchingTheFileSystem)
{
    TFakePlatform platform;
    platform.drives = driveBit('C');
    for (const char* bad : {"", "C:\\a/b", "C:\\a|b", "C\\:a", "C:\\a\\\\b", "C:\\a*", "C:\\a?", "C:\\\"a\"",
                            "C:\\<a>", "\\\\\\srv\\share", "ab:c"}) {
        EXPECT_FALSE(MyFolderValid(bad, true)) << bad;
    }
    EXPECT_TRUE(platform.created.isEmpty()) << qPrintable(platform.created.join(", "));
    EXPECT_TRUE(platform.checked.isEmpty());

    EXPECT_TRUE(MyFolderValid("C:\\Rescue", true));
    EXPECT_TRUE(MyFolderValid("\\\\srv\\share\\x", true));
    EXPECT_EQ(platform.created, (QStringList{"C:\\Rescue", "\\\\srv\\share\\x"}));
}

TEST(MyFolderValidTest, WindowsNamesNeedTheFolderAndTheDrive)
{
    TFakePlatform platform;
    platform.drives = driveBit('C');

    EXPECT_FALSE(MyFolderValid("C:\\Existing", false)) << "without may-create the folder must exist";
    platform.folders.insert("C:\\Existing");
    EXPECT_TRUE(MyFolderValid("C:\\Existing", false));
    EXPECT_TRUE(platform.created.isEmpty());

    // The folder step passes (the fake creates anything); the drive of Z:\ is absent.
    EXPECT_FALSE(MyFolderValid("Z:\\", true));
    EXPECT_EQ(platform.created.last(), "Z:\\");

    platform.createSucceeds = false;
    EXPECT_FALSE(MyFolderValid("C:\\New", true));

    platform.throwOnCreate = true;
    EXPECT_FALSE(MyFolderValid("C:\\Broken", true)) << "an error while creating means not valid";
}

TEST(MyFolderValidTest, PosixFoldersAreCreatedOrMustExist)
{
    TTempDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString nested = temp.filePath("a/b/c");

    EXPECT_FALSE(MyFolderValid(nested, false));
    EXPECT_FALSE(QFileInfo::exists(nested));
    EXPECT_TRUE(MyFolderValid(nested, true));
    EXPECT_TRUE(QFileInfo(nested).isDir());
    EXPECT_TRUE(MyFolderValid(nested, false));
    EXPECT_TRUE(MyFolderValid(nested + "/", false));
    // Characters the Windows rules refuse are ordinary in POSIX names.
    EXPECT_TRUE(MyFolderValid(temp.filePath("x:y*z"), true));

    QFile file(temp.filePath("plain"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(MyFolderValid(file.fileName(), true)) << "a file in the way is no folder";
    EXPECT_FALSE(MyFolderValid(file.fileName() + "/below", true));
    EXPECT_FALSE(MyFolderValid(temp.path() + QChar(0) + "x", true));
}

TEST(MyFolderValidTest, WindowsNamesCreateNothingOnThisPlatform)
{
    TTempDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(temp.path()));

    // Without a drive-letter file system these names denote no folder, and must not turn
    // into oddly named folders below the working directory.
    EXPECT_FALSE(MyFolderValid("C:\\Rescue", true));
    EXPECT_FALSE(MyFolderValid("\\\\srv\\share\\x", true));
    EXPECT_FALSE(MyFolderValid("Rescue", true));
    const QStringList left =
        QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    ASSERT_TRUE(QDir::setCurrent(previous));
    EXPECT_TRUE(left.isEmpty()) << qPrintable(left.join(", "));
}
