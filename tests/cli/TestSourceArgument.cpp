#include "disk/TSourceArgument.h"
#include "support/TScriptedEngine.h"
#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

TSourceArgument parsed(const QString& text)
{
    TSourceArgument spec;
    QString error;
    EXPECT_TRUE(TSourceArgument::Parse(text, spec, error))
        << text.toStdString() << ": " << error.toStdString();
    return spec;
}

QString parseError(const QString& text)
{
    TSourceArgument spec;
    QString error;
    EXPECT_FALSE(TSourceArgument::Parse(text, spec, error)) << text.toStdString();
    return error;
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST(SourceArgumentParse, RecognisesEachForm)
{
    const TSourceArgument letter = parsed("d:");
    EXPECT_EQ(letter.kind(), TSourceArgument::Kind::DriveLetter);
    EXPECT_EQ(letter.letter(), 'D');
    EXPECT_EQ(parsed("E:\\").letter(), 'E');

    const TSourceArgument id = parsed("#12");
    EXPECT_EQ(id.kind(), TSourceArgument::Kind::EngineId);
    EXPECT_EQ(id.engineId(), 12);
    EXPECT_EQ(parsed("#0").engineId(), 0);

    const TSourceArgument volume = parsed("/images/disk.img@2");
    EXPECT_EQ(volume.kind(), TSourceArgument::Kind::ImageVolume);
    EXPECT_EQ(volume.imagePath(), "/images/disk.img");
    EXPECT_EQ(volume.volume(), 2);
    EXPECT_TRUE(volume.isImage());

    const TSourceArgument image = parsed("disk.img");
    EXPECT_EQ(image.kind(), TSourceArgument::Kind::Image);
    EXPECT_EQ(image.imagePath(), "disk.img");

    // An "@" that is not followed by a number belongs to the file name.
    EXPECT_EQ(parsed("me@home.img").kind(), TSourceArgument::Kind::Image);
    EXPECT_EQ(parsed("backup@2024-01.img").imagePath(), "backup@2024-01.img");
    // Longer texts with a colon are file names.
    EXPECT_EQ(parsed("D:x").kind(), TSourceArgument::Kind::Image);
}

TEST(SourceArgumentParse, AnExistingFileWinsOverTheVolumeForm)
{
    TTempDir dir;
    const QString name = dir.filePath("copy@2");
    touch(name);
    const TSourceArgument spec = parsed(name);
    EXPECT_EQ(spec.kind(), TSourceArgument::Kind::Image);
    EXPECT_EQ(spec.imagePath(), name);
    EXPECT_EQ(parsed(name + "@3").imagePath(), name);
}

TEST(SourceArgumentParse, RejectsMalformedSourcesWithAReason)
{
    EXPECT_FALSE(parseError("").isEmpty());
    EXPECT_TRUE(parseError("#").contains("engine id"));
    EXPECT_TRUE(parseError("#-1").contains("engine id"));
    EXPECT_TRUE(parseError("#3a").contains("engine id"));
    EXPECT_TRUE(parseError("#99999999999").contains("engine id"));
    EXPECT_TRUE(parseError("disk.img@0").contains("from 1"));
}

class SourceArgumentResolve : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Id 0: a physical device with a lettered partition. Ids 2-5: an image holding an
        // unreadable volume, then two lettered ones. Id 6: another image without letters.
        engine.AddDisk(TScriptedEngine::MakeDrive(0, -1, 0, "", "", 1 << 30, DRIVE_TYPE_PHYSICAL),
                       "/dev/sda");
        engine.AddDisk(TScriptedEngine::MakeDrive(1, 0, 'C', "SYS", "NTFS", 1 << 29), "/dev/sda1");
        engine.AddDisk(TScriptedEngine::MakeDrive(2, -1, 0, "", "", 1 << 24, DRIVE_TYPE_VIRTUAL), image);
        engine.AddDisk(TScriptedEngine::MakeDrive(3, 2, 0, "", "", 1 << 20), image);
        engine.AddDisk(TScriptedEngine::MakeDrive(4, 2, 'D', "ONE", "FAT32", 1 << 22), image);
        engine.AddDisk(TScriptedEngine::MakeDrive(5, 2, 'E', "TWO", "NTFS", 1 << 22), image);
        engine.AddDisk(TScriptedEngine::MakeDrive(6, -1, 0, "", "", 1 << 20, DRIVE_TYPE_VIRTUAL), other);
        engine.AddDisk(TScriptedEngine::MakeDrive(7, 6, 0, "", "", 1 << 20), other);
    }

    int32_t resolve(const QString& text, QString* errorOut = nullptr)
    {
        const TSourceArgument spec = parsed(text);
        QString error;
        const int32_t id = spec.Resolve(TVantrelApi::Current(), error);
        EXPECT_EQ(id < 0, !error.isEmpty()) << error.toStdString();
        if (errorOut) {
            *errorOut = error;
        }
        return id;
    }

    const QString image = QStringLiteral("/nonexistent/images/two.img");
    const QString other = QStringLiteral("/nonexistent/images/blank.img");
    TScriptedEngine engine;
};

TEST_F(SourceArgumentResolve, ImagesLettersAndIds)
{
    EXPECT_EQ(resolve(image), 4); // the first volume with a letter
    EXPECT_EQ(resolve(image + "@1"), 3);
    EXPECT_EQ(resolve(image + "@3"), 5);
    EXPECT_EQ(resolve("/nonexistent/images/../images/two.img@2"), 4);
    EXPECT_EQ(resolve("c:"), 1);
    EXPECT_EQ(resolve("E:"), 5);
    EXPECT_EQ(resolve("#7"), 7);
    EXPECT_EQ(resolve(other + "@1"), 7);
}

TEST_F(SourceArgumentResolve, ExplainsWhatCannotBeFound)
{
    QString error;
    EXPECT_EQ(resolve(image + "@4", &error), -1);
    EXPECT_TRUE(error.contains("has 3 volume(s)")) << error.toStdString();
    EXPECT_EQ(resolve(other, &error), -1);
    EXPECT_TRUE(error.contains("IMAGE@N")) << error.toStdString();
    EXPECT_EQ(resolve("/nonexistent/never-registered.img", &error), -1);
    EXPECT_TRUE(error.contains("not among")) << error.toStdString();
    EXPECT_EQ(resolve("Z:", &error), -1);
    EXPECT_TRUE(error.contains("no drive Z:")) << error.toStdString();
    EXPECT_EQ(resolve("#8", &error), -1);
    EXPECT_TRUE(error.contains("no disk with id 8")) << error.toStdString();
}
