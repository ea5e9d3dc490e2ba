
#include "disk/TDeviceModel.h"
#include "disk/TDriveListLogic.h"
#include "support/TScriptedEngine.h"
#include "support/TTempDir.h"
#include "util/Utils.h"

#include <QDir>

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using Logic = TDriveListLogic;

TEST(DriveListLogic, NodeTextsFromLetterAndLabel)
{
    EXPECT_EQ(Logic::FillNodeData(TScriptedEngine::MakeDrive(1, 0, 'C', "SYSTEM", "NTFS", 0)), "C: (SYSTEM)");
    EXPECT_EQ(Logic::FillNodeData(TScriptedEngine::MakeDrive(2, 0, 'D', "", "FAT32", 0)), "D:");
    EXPECT_EQ(Logic::FillNodeData(TScriptedEngine::MakeDrive(0, -1, 0, "", "", 0)), "DEVICE_0");
    EXPECT_EQ(Logic::FillNodeData(TScriptedEngine::MakeDrive(7, -1, 0, "DATA", "", 0)), "DEVICE_7 (DATA)");
    // Only upper-case letters count as drive letters.
    EXPECT_EQ(Logic::FillNodeData(TScriptedEngine::MakeDrive(3, 0, 'c', "", "", 0)), "DEVICE_3");
    EXPECT_EQ(Logic::FillNodeData(TScriptedEngine::MakeDrive(4, 0, '?', "", "", 0)), "DEVICE_4");
}

TEST(DriveListLogic, TextFieldsWithoutTerminatorStayInsideTheRecord)
{
    TDriveInfo info = TScriptedEngine::MakeDrive(1, 0, 'E', "", "", 0);
    std::memset(info.VolumeLabel, 'L', sizeof info.VolumeLabel);
    std::memset(info.FileSystemName, 'F', sizeof info.FileSystemName);
    EXPECT_EQ(Logic::FieldText(info.VolumeLabel), QString(30, QLatin1Char('L')));
    EXPECT_EQ(Logic::InfoTexts(info).FileSystem, QString(30, QLatin1Char('F')));
    EXPECT_EQ(Logic::FillNodeData(info), "E: (" + QString(30, QLatin1Char('L')) + ")");

    const char padded[8] = {'N', 'T', 'F', 'S', 0, 'x', 'y', 0};
    EXPECT_EQ(Logic::FieldText(padded), "NTFS");
}

TEST(DriveListLogic, UnlistedTypeCodesShowNone)
{
    EXPECT_EQ(Logic::GetDriveTypeStr(6), "RAM Disk");
    EXPECT_EQ(Logic::GetDriveTypeStr(7), "None");
    EXPECT_EQ(Logic::GetDriveTypeStr(15), "None");
    EXPECT_EQ(Logic::GetDriveTypeStr(-1), "None");
}

TEST(DriveListLogic, SerialIsUpperHexWithAtLeastEightDigits)
{
    EXPECT_EQ(Logic::SerialText(0), "00000000");
    EXPECT_EQ(Logic::SerialText(0x1a2b), "00001A2B");
    EXPECT_EQ(Logic::SerialText(0xDEADBEEF), "DEADBEEF");
    EXPECT_EQ(Logic::SerialText(0x12ABCDEF0123LL), "12ABCDEF0123");
    // A negative value is the bit pattern, never a minus sign.
    EXPECT_EQ(Logic::SerialText(-1), "FFFFFFFFFFFFFFFF");
}

TEST(DriveListLogic, InfoTexts)
{
    TDriveInfo info = TScriptedEngine::MakeDrive(3, 0, 'C', "SYSTEM", "NTFS", 0, DRIVE_TYPE_LOGICAL, 1);
    info.SerialNumber = 0x4A3B2C1D;
    info.SpaceTotal = 2097152;
    const Logic::TDriveInfoTexts texts = Logic::InfoTexts(info);
    EXPECT_EQ(texts.DriveId, "3 (0)");
    EXPECT_EQ(texts.Letter, "C");
    EXPECT_EQ(texts.SerialNumber, "4A3B2C1D");
    EXPECT_EQ(texts.VolumeLabel, "SYSTEM");
    EXPECT_EQ(texts.DriveType, "Logical");
    EXPECT_EQ(texts.FileSystem, "NTFS");
    EXPECT_EQ(texts.TotalSpace, FormatSize(2097152) + " (" + FormatBytes(2097152) + " bytes)");
    EXPECT_TRUE(texts.TotalSpace.startsWith("2 MB ("));
    EXPECT_EQ(texts.Status, "Status");
    EXPECT_TRUE(texts.Ready);

    // A device: no letter (never a NUL character in the text), not ready.
    const TDriveInfo device = TScriptedEngine::MakeDrive(0, -1, 0, "", "", 0, DRIVE_TYPE_PHYSICAL, 0);
    const Logic::TDriveInfoTexts deviceTexts = Logic::InfoTexts(device);
    EXPECT_EQ(deviceTexts.DriveId, "0 (-1)");
    EXPECT_TRUE(deviceTexts.Letter.isEmpty());
    EXPECT_EQ(deviceTexts.DriveType, "Phisycal");
    EXPECT_EQ(deviceTexts.Status, "Not ready");
    EXPECT_FALSE(deviceTexts.Ready);
}

TEST(DriveListLogic, ValidSelectionRejectsDeviceTexts)
{
    EXPECT_TRUE(Logic::ValidSelection("C: (SYSTEM)"));
    EXPECT_TRUE(Logic::ValidSelection("D: (device)")); // the test is case-sensitive
    EXPECT_FALSE(Logic::ValidSelection("DEVICE_0"));
    EXPECT_FALSE(Logic::ValidSelection("E: (MYDEVICE)"));
    EXPECT_FALSE(Logic::ValidSelection(QString()));
}

TEST(DriveListLogic, ReadDrivesNestsDrivesUnderTheirDevices)
{
    TScriptedEngine engine;
    // Drives may come before their device in id order; each list keeps id order.
    engine.AddDisk(TScriptedEngine::MakeDrive(0, 2, 'E', "", "FAT32", 0));
    engine.AddDisk(TScriptedEngine::MakeDrive(1, -1, 0, "", "", 0, DRIVE_TYPE_PHYSICAL), "/dev/sda");
    engine.AddDisk(TScriptedEngine::MakeDrive(2, -1, 0, "", "", 0, DRIVE_TYPE_PHYSICAL), "/dev/sdb");
    engine.AddDisk(TScriptedEngine::MakeDrive(3, 1, 'C', "SYSTEM", "NTFS", 0), "/dev/sda1");
    engine.AddDisk(TScriptedEngine::MakeDrive(4, 1, 0, "", "swap", 0));
    engine.AddDisk(TScriptedEngine::MakeDrive(5, 9, 'F', "", "FAT16", 0)); // its device is not listed
    engine.AddDisk(TScriptedEngine::MakeDrive(6, 2, 'D', "DATA", "exFAT", 0));
    // Eight disks counted, but id 7 has no record and id 8 lies past the count.
    engine.AddDisk(TScriptedEngine::MakeDrive(8, 1, 'G', "", "FAT32", 0));

    const QList<Logic::TDriveNode> devices = Logic::ReadDrives(TVantrelApi::Current());
    ASSERT_EQ(devices.size(), 2);
    EXPECT_EQ(devices[0].Id, 1);
    // A device is named by its path (and its model, where this machine's sysfs has one).
    EXPECT_TRUE(devices[0].Text.startsWith(QStringLiteral("DEVICE_1 (/dev/sda")))
        << devices[0].Text.toStdString();
    EXPECT_EQ(devices[0].Path, "/dev/sda");
    ASSERT_EQ(devices[0].Drives.size(), 2);
    EXPECT_EQ(devices[0].Drives[0].Text, "C: (SYSTEM)");
    EXPECT_EQ(devices[0].Drives[0].Path, "/dev/sda1");
    EXPECT_TRUE(devices[0].Drives[0].Lettered);
    EXPECT_EQ(devices[0].Drives[1].Text, "DEVICE_4");
    EXPECT_FALSE(devices[0].Drives[1].Lettered);
    ASSERT_EQ(devices[1].Drives.size(), 2);
    EXPECT_EQ(devices[1].Drives[0].Text, "E:");
    EXPECT_EQ(devices[1].Drives[1].Text, "D: (DATA)");
    EXPECT_EQ(engine.Calls.DisksRescan, 1);
}

TEST(DriveListLogic, ReadDrivesListsOnlyIdsUpTo100)
{
    TScriptedEngine engine;
    for (int32_t id = 0; id < 99; ++id) {
        engine.AddDisk(TScriptedEngine::MakeDrive(id, 500, 'X', "", "FAT12", 0)); // orphans: never listed
    }
    engine.AddDisk(TScriptedEngine::MakeDrive(99, -1, 0, "", "", 0, DRIVE_TYPE_VIRTUAL));
    engine.AddDisk(TScriptedEngine::MakeDrive(100, 99, 'Z', "", "FAT12", 0));
    engine.AddDisk(TScriptedEngine::MakeDrive(101, 99, 'Y', "", "FAT12", 0));
    engine.AddDisk(TScriptedEngine::MakeDrive(102, -1, 0, "", "", 0, DRIVE_TYPE_VIRTUAL));

    const QList<Logic::TDriveNode> devices = Logic::ReadDrives(TVantrelApi::Current());
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices[0].Id, 99);
    ASSERT_EQ(devices[0].Drives.size(), 1);
    EXPECT_EQ(devices[0].Drives[0].Text, "Z:");
}

TEST(DriveListLogic, ReadDrivesWithNoDisks)
{
    TScriptedEngine engine;
    EXPECT_TRUE(Logic::ReadDrives(TVantrelApi::Current()).isEmpty());
}

// The hint names what failed; administrator rights are suggested only where they help.
TEST(DriveListLogic, NotReadyHintTellsWhatFailed)
{
    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    const QString rights = QStringLiteral("\"sudo brevant-pro\"");
    EXPECT_FALSE(Logic::NotReadyHint(denied, true).contains(rights));
    EXPECT_TRUE(Logic::NotReadyHint(denied, true).contains(denied));
    EXPECT_TRUE(Logic::NotReadyHint(denied, false).contains(rights));
    EXPECT_EQ(Logic::NotReadyHint(QStringLiteral("No medium found"), false),
              QStringLiteral("The disk cannot be opened for reading: No medium found."));
    EXPECT_FALSE(Logic::NotReadyHint(QString(), true).contains(rights));
    EXPECT_TRUE(Logic::NotReadyHint(QString(), false).contains(rights));
}

TEST(DriveListLogic, DeviceNodesNameThePathModelAndSize)
{
    TTempDir sys;
    QDir().mkpath(sys.filePath(QStringLiteral("class/block/sdz/device")));
    const auto write = [&](const char* name, const QByteArray& text) {
        QFile file(sys.filePath(QStringLiteral("class/block/sdz/device/") + QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write("vendor", "ATA     \n");
    write("model", "Samsung SSD 870\n");
    const QString model = TDeviceModel::Of(QStringLiteral("/dev/sdz"), sys.path());
    EXPECT_EQ(model, QStringLiteral("ATA Samsung SSD 870"));
    EXPECT_EQ(TDeviceModel::Of(QStringLiteral("/dev/sdy"), sys.path()), QString());
    EXPECT_EQ(TDeviceModel::Of(QStringLiteral("/tmp/disk.img"), sys.path()), QString());

    const TDriveInfo device = TScriptedEngine::MakeDrive(2, -1, 0, "sdz", "", int64_t(500) << 30);
    const QString text = Logic::DeviceNodeText(device, QStringLiteral("/dev/sdz"), model);
    EXPECT_EQ(text, QStringLiteral("DEVICE_2 (/dev/sdz, ATA Samsung SSD 870, ") +
                        FormatSize(int64_t(500) << 30) + QLatin1Char(')'));
    EXPECT_FALSE(Logic::ValidSelection(text));
}
