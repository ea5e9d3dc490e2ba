#include "disk/TMountCheck.h"

#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

TEST(MountCheck, FindsAWritableMountOfTheDeviceThroughLinksAndEscapes)
{
    TTempDir temp;
    const QString device = temp.filePath(QStringLiteral("my disk"));
    QFile(device).open(QIODevice::WriteOnly);
    const QString link = temp.filePath(QStringLiteral("by-id"));
    ASSERT_EQ(::symlink(QFile::encodeName(device).constData(), QFile::encodeName(link).constData()), 0);
    const QString readOnly = temp.filePath(QStringLiteral("other"));
    QFile(readOnly).open(QIODevice::WriteOnly);

    QByteArray escaped = QFile::encodeName(device);
    escaped.replace(" ", "\\040");
    QFile mounts(temp.filePath(QStringLiteral("mounts")));
    ASSERT_TRUE(mounts.open(QIODevice::WriteOnly));
    mounts.write("tmpfs /tmp tmpfs rw,nosuid 0 0\n" + QFile::encodeName(readOnly) +
                 " /mnt/ro ext4 ro,relatime 0 0\n" + escaped +
                 " /media/usb\\040stick vfat rw,relatime 0 0\n");
    mounts.close();

    EXPECT_EQ(TMountCheck::WritableMountOf(link, mounts.fileName()), QStringLiteral("/media/usb stick"));
    EXPECT_EQ(TMountCheck::WritableMountOf(readOnly, mounts.fileName()), QString());
    EXPECT_EQ(TMountCheck::WritableMountOf(temp.filePath(QStringLiteral("absent")), mounts.fileName()),
              QString());
}
