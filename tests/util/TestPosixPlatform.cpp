#include "util/TPosixPlatform.h"

#include "support/TTempDir.h"

#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QRegularExpression>

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

TEST(PosixPlatformTest, NamesWithOneFileTypeKeyGetOneTypeName)
{
    TPosixPlatform platform;
    // Names made from every pattern of the type database, alone and with a prefix, a
    // suffix and other case, each compared with plain names of the same extension.
    QStringList names{QStringLiteral("a.txt"), QStringLiteral("noextension"), QStringLiteral("trailing.")};
    for (const QMimeType& type : QMimeDatabase().allMimeTypes()) {
        for (const QString& pattern : type.globPatterns()) {
            QString name = pattern;
            name.replace(QRegularExpression(QStringLiteral("\\[(.)[^\\]]*\\]")), QStringLiteral("\\1"));
            name.replace(QLatin1Char('*'), QStringLiteral("x"))
                .replace(QLatin1Char('?'), QStringLiteral("q"));
            names << name << QStringLiteral("a") + name << name + QStringLiteral(".gz") << name.toUpper();
            const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
            if (dot >= 0)
                names << QStringLiteral("plain") + name.mid(dot);
        }
    }
    QHash<QString, QPair<QString, QString>> answerByKey;
    for (const QString& name : names) {
        QString answer;
        if (!platform.FileTypeName(name, 128, answer))
            answer = QStringLiteral("(none)");
        const QString key = platform.FileTypeKey(name);
        const auto it = answerByKey.constFind(key);
        if (it == answerByKey.cend())
            answerByKey.insert(key, {name, answer});
        else
            EXPECT_EQ(answer, it->second) << qPrintable(name) << " and " << qPrintable(it->first);
    }
    // The key is shared widely: most names are judged by their extension alone.
    EXPECT_EQ(platform.FileTypeKey(QStringLiteral("report.txt")),
              platform.FileTypeKey(QStringLiteral("b.txt")));
    EXPECT_LT(answerByKey.size(), names.size() / 2);
}
