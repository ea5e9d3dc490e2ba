#include "util/TPosixPlatform.h"

#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(PosixPlatformTest, OpenCommandChoosesHowToOpen)
{
    TTempDir temp;
    ASSERT_TRUE(temp.isValid());
    QString executable;
    QStringList arguments;

    // The file browser opens the folder given as parameter.
    ASSERT_TRUE(TPosixPlatform::OpenCommand("explorer.exe", temp.path(), executable, arguments));
    EXPECT_EQ(executable, "xdg-open");
    EXPECT_EQ(arguments, QStringList{temp.path()});
    EXPECT_FALSE(
        TPosixPlatform::OpenCommand("EXPLORER.EXE", temp.filePath("missing"), executable, arguments));

    ASSERT_TRUE(
        TPosixPlatform::OpenCommand("https://example.com/feedback", "ignored", executable, arguments));
    EXPECT_EQ(executable, "xdg-open");
    EXPECT_EQ(arguments, QStringList{"https://example.com/feedback"});

    QFile script(temp.filePath("tool.sh"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n");
    script.close();
    ASSERT_TRUE(TPosixPlatform::OpenCommand(script.fileName(), "", executable, arguments));
    EXPECT_EQ(executable, "xdg-open") << "a file without execute permission is a document";
    EXPECT_EQ(arguments, QStringList{script.fileName()});

    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    ASSERT_TRUE(TPosixPlatform::OpenCommand(script.fileName(), "-x \"two words\"", executable, arguments));
    EXPECT_EQ(executable, script.fileName());
    EXPECT_EQ(arguments, (QStringList{"-x", "two words"}));

    EXPECT_FALSE(TPosixPlatform::OpenCommand(temp.filePath("TollmarkPro.exe"), "", executable, arguments));
    EXPECT_FALSE(TPosixPlatform::OpenCommand("", "", executable, arguments));
    EXPECT_FALSE(TPosixPlatform::OpenCommand("  ", "", executable, arguments));
}

TEST(PosixPlatformTest, FileTypeNamesComeFromTheNameOnly)
{
    TPosixPlatform platform;
    QString type;
    ASSERT_TRUE(platform.FileTypeName("/no/such/folder/report.txt", 128, type));
    EXPECT_FALSE(type.isEmpty());
    EXPECT_LE(type.size(), 80);

    QString windowsPathType;
    ASSERT_TRUE(platform.FileTypeName("D:\\Docs\\report.txt", 128, windowsPathType));
    EXPECT_EQ(windowsPathType, type) << "only the last level of the name counts";

    QString folderType;
    ASSERT_TRUE(platform.FileTypeName("anything.txt", 0x10, folderType));
    EXPECT_NE(folderType, type);

    QString untouched = "kept";
    EXPECT_FALSE(platform.FileTypeName("archive.nosuchextensionhere", 128, untouched));
    EXPECT_FALSE(platform.FileTypeName("D:\\Docs\\", 128, untouched));
    EXPECT_FALSE(platform.FileTypeName("", 128, untouched));
    EXPECT_EQ(untouched, "kept");
}

TEST(PosixPlatformTest, FoldersAreOnlyAbsolutePosixPaths)
{
    TTempDir temp;
    ASSERT_TRUE(temp.isValid());
    TPosixPlatform platform;
    EXPECT_EQ(platform.LogicalDrives(), 0u);
    EXPECT_TRUE(platform.DirectoryExists(temp.path()));
    EXPECT_FALSE(platform.DirectoryExists("C:\\"));
    EXPECT_FALSE(platform.DirectoryExists("relative"));
    EXPECT_TRUE(platform.ForceDirectories(temp.filePath("x/y")));
    EXPECT_FALSE(platform.ForceDirectories("x/y"));
    EXPECT_FALSE(platform.ExecutablePath().isEmpty());
    EXPECT_FALSE(platform.SpecialFolder(5).isEmpty());
    EXPECT_EQ(platform.SpecialFolder(12345), "");
}
