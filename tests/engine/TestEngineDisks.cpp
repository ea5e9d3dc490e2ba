#include "TEngineSession.h"

#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>

namespace {

QString imagePath(const char* name)
{
    return TManifest::load(name).imagePath();
}

TEST(EngineDisks, IdsAreDenseAndLettersGoToRecognisedVolumesOnly)
{
    TEngineSession session;
    ASSERT_EQ(VantrelRegisterImage(QFile::encodeName(imagePath("fat16-zeroed-boot")).constData()), 0);
    ASSERT_EQ(VantrelRegisterImage(QFile::encodeName(imagePath("fat12")).constData()), 0);
    ASSERT_EQ(VantrelRegisterImage(QFile::encodeName(imagePath("ntfs")).constData()), 0);
    ASSERT_EQ(VantrelRegisterImage(QFile::encodeName(imagePath("fat12")).constData()), 0) << "listed once";
    ASSERT_EQ(DisksRescan(), 6);
    ASSERT_EQ(DiskGetCount(), 6);

    const char letters[] = {0, 0, 0, 'C', 0, 'D'};
    const int32_t parents[] = {-1, 0, -1, 2, -1, 4};
    for (int32_t id = 0; id < 6; ++id) {
        const TDriveInfo* info = DiskGetInformation(id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(+info->ID, id);
        EXPECT_EQ(+info->Letter, letters[id]) << id;
        EXPECT_EQ(+info->ParentID, parents[id]) << id;
        EXPECT_EQ(+info->DriveType, parents[id] < 0 ? DRIVE_TYPE_VIRTUAL : DRIVE_TYPE_LOGICAL) << id;
        EXPECT_NE(+info->Status, 0) << id;
        EXPECT_STRNE(VantrelDiskPath(id), "");
    }
    EXPECT_STREQ(DiskGetInformation(3)->FileSystemName, "FAT12");
    EXPECT_STREQ(DiskGetInformation(5)->FileSystemName, "NTFS");
    EXPECT_STREQ(DiskGetInformation(0)->VolumeLabel, "fat16-zeroed-boot.img");

    EXPECT_EQ(DiskGetInformation(6), nullptr);
    EXPECT_EQ(DiskGetInformation(-1), nullptr);
    EXPECT_STREQ(VantrelDiskPath(6), "");
    EXPECT_EQ(DiskInitialize(6, 0), -1);
    EXPECT_EQ(DiskInitialize(2, 0), -1) << "a device holds no file system of its own";
    EXPECT_STRNE(VantrelLastError(), "");

    VantrelClearImages();
    EXPECT_EQ(DisksRescan(), 0);
    EXPECT_EQ(DiskGetInformation(0), nullptr);
}

TEST(EngineDisks, UnreadableImagesAreNotRegistered)
{
    TEngineSession session;
    TTempDir dir;
    EXPECT_EQ(VantrelRegisterImage(QFile::encodeName(dir.filePath("missing.img")).constData()), -1);
    EXPECT_STRNE(VantrelLastError(), "");
    EXPECT_EQ(VantrelRegisterImage(QFile::encodeName(dir.path()).constData()), -1) << "a folder is no image";
    EXPECT_EQ(VantrelRegisterImage("/dev/null"), -1) << "a character device is no image";
    EXPECT_EQ(VantrelRegisterImage(""), -1);
    EXPECT_EQ(VantrelRegisterImage(nullptr), -1);
    EXPECT_EQ(DisksRescan(), 0);
}

// Writes a little-endian value into a byte array.
void put32(QByteArray& bytes, int offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

TEST(EngineDisks, PartitionTableGivesOneVolumePerPartition)
{
    // A DOS partition table with the FAT12 fixture at 1 MiB and the NTFS fixture after it.
    QFile fat(imagePath("fat12"));
    QFile ntfs(imagePath("ntfs"));
    ASSERT_TRUE(fat.open(QIODevice::ReadOnly));
    ASSERT_TRUE(ntfs.open(QIODevice::ReadOnly));
    const QByteArray fatBytes = fat.readAll();
    const QByteArray ntfsBytes = ntfs.readAll();
    const uint32_t fatStart = 2048;
    const uint32_t ntfsStart = fatStart + static_cast<uint32_t>(fatBytes.size() / 512);
    QByteArray disk(static_cast<qsizetype>(fatStart) * 512, '\0');
    put32(disk, 0x1BE + 8, fatStart);
    put32(disk, 0x1BE + 12, static_cast<uint32_t>(fatBytes.size() / 512));
    disk[0x1BE + 4] = 0x01;
    put32(disk, 0x1CE + 8, ntfsStart);
    put32(disk, 0x1CE + 12, static_cast<uint32_t>(ntfsBytes.size() / 512));
    disk[0x1CE + 4] = 0x07;
    disk[510] = 0x55;
    disk[511] = static_cast<char>(0xAA);
    disk += fatBytes;
    disk += ntfsBytes;

    TTempDir dir;
    QFile image(dir.filePath("disk.img"));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(disk);
    image.close();

    TEngineSession session;
    const int32_t first = session.openImage(image.fileName());
    ASSERT_EQ(first, 1);
    ASSERT_EQ(DiskGetCount(), 3);
    const TDriveInfo* fatVolume = DiskGetInformation(1);
    const TDriveInfo* ntfsVolume = DiskGetInformation(2);
    EXPECT_EQ(+fatVolume->ParentID, 0);
    EXPECT_EQ(+ntfsVolume->ParentID, 0);
    EXPECT_EQ(+fatVolume->OffsetInPhysical, int64_t{fatStart} * 512);
    EXPECT_EQ(+ntfsVolume->OffsetInPhysical, int64_t{ntfsStart} * 512);
    EXPECT_STREQ(fatVolume->VolumeLabel, "FIXTURE12");
    EXPECT_STREQ(ntfsVolume->VolumeLabel, "FIXTURENTFS");
    EXPECT_EQ(+fatVolume->Letter, 'C');
    EXPECT_EQ(+ntfsVolume->Letter, 'D');

    ASSERT_TRUE(session.enumerate(2));
    EXPECT_EQ(session.find("Docs/Notes/Deep/Deeper/leaf.txt", false).size(), 1u);
    ASSERT_TRUE(session.enumerate(1));
    const auto leaf = session.find("Docs/Notes/Deep/Deeper/leaf.txt", false);
    ASSERT_EQ(leaf.size(), 1u);
    const QString target = dir.filePath("leaf.txt");
    ASSERT_EQ(TEngineSession::recover(leaf.front()->Info, target).Result, VANTREL_RECOVERY_OK);
    EXPECT_EQ(QFile(target).size(), 100);
}

TEST(EngineDisks, NewInitialisationEndsThePreviousStream)
{
    TEngineSession session;
    const int32_t fatId = session.openImage(imagePath("fat16"));
    ASSERT_GE(DiskInitialize(fatId, 0), 1);
    ASSERT_NE(FileGetNext(), nullptr);
    ASSERT_NE(FileGetNext(), nullptr);
    const int32_t ntfsId = session.openImage(imagePath("ntfs"));
    ASSERT_GT(DiskInitialize(ntfsId, 1), 16);
    const TFileInfo* first = FileGetNext();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->TrueId, 0) << "the NTFS stream starts at MFT record 0";
    EXPECT_EQ(QString::fromUtf16(first->WideFileName), "$MFT");
}

} // namespace

// Every descriptor the engine holds on a source is opened for reading only, whatever it
// did with it: listing, initialising, enumerating, copying a file out.
TEST(EngineDisks, SourcesAreOpenedForReadingOnly)
{
    const char* names[] = {"fat12", "fat16", "fat32", "exfat", "ntfs", "mbr-fat32-ntfs"};
    TEngineSession session;
    TTempDir out;
    int opened = 0;
    for (const char* name : names) {
        const QString image = QFileInfo(imagePath(name)).canonicalFilePath();
        const int32_t volume = session.openImage(image);
        ASSERT_GE(volume, 0) << name;
        ASSERT_TRUE(session.enumerate(volume)) << name;
        for (const TEngineSession::TEntry& entry : session.entries()) {
            if (!(entry.Info.Flags & flag_IS_DIRECTORY) && entry.Info.Size > 0) {
                TEngineSession::recover(entry.Info, out.filePath(QStringLiteral("copy")));
                break;
            }
        }
        for (const QFileInfo& fd :
             QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files)) {
            if (fd.symLinkTarget() != image)
                continue;
            ++opened;
            QFile info(QStringLiteral("/proc/self/fdinfo/") + fd.fileName());
            ASSERT_TRUE(info.open(QIODevice::ReadOnly));
            const QByteArray text = info.readAll();
            const qsizetype at = text.indexOf("flags:");
            ASSERT_GE(at, 0);
            const int flags = text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().toInt(nullptr, 8);
            EXPECT_EQ(flags & O_ACCMODE, O_RDONLY) << name << " is open with flags " << std::oct << flags;
        }
    }
    EXPECT_GT(opened, 0) << "no descriptor on a source was found to check";
}
