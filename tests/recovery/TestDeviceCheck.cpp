#include "recovery/TDeviceCheck.h"

#include "support/TTempDir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

// Loop devices cannot be set up by a test: the destination's device is described by a
// sysfs tree built in a temporary folder instead.
class DeviceCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys = temp.filePath(QStringLiteral("sys"));
        destination = temp.filePath(QStringLiteral("mnt/out"));
        image = temp.filePath(QStringLiteral("disk.img"));
        other = temp.filePath(QStringLiteral("other.img"));
        ASSERT_TRUE(QDir().mkpath(destination));
        write(image, "image");
        write(other, "other");
        ASSERT_TRUE(TDeviceCheck::FileSystemDevice(destination, device));
        ASSERT_TRUE(QDir().mkpath(sys + QStringLiteral("/dev/block")));
    }

    static void write(const QString& path, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    // Makes the destination's device the sysfs device folder (below devices/), with a
    // loop/backing_file naming backing when that is not empty.
    void describeDevice(const QString& folder, const QString& backing, bool partition = false)
    {
        const QString deviceFolder = sys + QStringLiteral("/devices/") + folder;
        ASSERT_TRUE(QDir().mkpath(deviceFolder));
        const QString disk = partition ? QFileInfo(deviceFolder).path() : deviceFolder;
        if (partition)
            write(deviceFolder + QStringLiteral("/partition"), "1\n");
        write(disk + QStringLiteral("/dev"), "7:0\n");
        if (!backing.isEmpty())
            write(disk + QStringLiteral("/loop/backing_file"), QFile::encodeName(backing) + '\n');
        const QString link = sys + QStringLiteral("/dev/block/%1:%2").arg(major(device)).arg(minor(device));
        ASSERT_TRUE(QFile::link(QStringLiteral("../../devices/") + folder, link));
    }

    TTempDir temp;
    QString sys, destination, image, other;
    dev_t device = 0;
};

TEST_F(DeviceCheckTest, LoopDeviceBackedByTheSourceImageIsTheSource)
{
    describeDevice(QStringLiteral("virtual/block/loop0"), image);
    // A folder not made yet lives on its nearest existing ancestor's file system.
    EXPECT_TRUE(TDeviceCheck::OnSourceDevice(destination + QStringLiteral("/new"), {QString(), image}, sys));
    EXPECT_FALSE(TDeviceCheck::OnSourceDevice(destination, {other}, sys));
}

TEST_F(DeviceCheckTest, PartitionOfTheLoopDeviceAndDeletedMarkCount)
{
    describeDevice(QStringLiteral("virtual/block/loop0/loop0p1"), image + QStringLiteral(" (deleted)"), true);
    EXPECT_EQ(TDeviceCheck::LoopBackingFile(device, sys), image);
    EXPECT_TRUE(TDeviceCheck::OnSourceDevice(destination, {other, image}, sys));
}

TEST_F(DeviceCheckTest, ImageSourcesPassWhenTheDestinationIsNoLoopDevice)
{
    describeDevice(QStringLiteral("pci0/block/sda"), QString());
    EXPECT_FALSE(TDeviceCheck::OnSourceDevice(destination, {image}, sys));
}

// The loop device's backing file sits on the source device itself: writing through the
// loop device writes to the source. Needs a second file system and a device node.
TEST_F(DeviceCheckTest, LoopDeviceBackedByAFileOnTheSourceDeviceIsTheSource)
{
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/brevant-XXXXXX"));
    struct stat status
    {
    };
    if (!elsewhere.isValid() || ::stat(QFile::encodeName(elsewhere.path()).constData(), &status) != 0 ||
        status.st_dev == device)
        GTEST_SKIP() << "no second file system for the backing file";
    const QString backing = elsewhere.filePath(QStringLiteral("store.img"));
    write(backing, "store");
    const QString node = temp.filePath(QStringLiteral("source-disk"));
    if (::mknod(QFile::encodeName(node).constData(), S_IFBLK | 0600, status.st_dev) != 0)
        GTEST_SKIP() << "device nodes cannot be made here";
    describeDevice(QStringLiteral("virtual/block/loop0"), backing);
    EXPECT_TRUE(TDeviceCheck::OnSourceDevice(destination, {node}, sys));
}
