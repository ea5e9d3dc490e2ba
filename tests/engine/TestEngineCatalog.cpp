#include "TEngineSession.h"

#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <map>
#include <set>

namespace {

QString imagePath(const char* name)
{
    return TManifest::load(name).imagePath();
}

struct TSeen
{
    int32_t id;
    int32_t parent;
    char letter;
};

// Every disk the engine lists, by path and offset in its device.
std::map<QString, TSeen> listed()
{
    std::map<QString, TSeen> seen;
    const int32_t bound = DiskGetCount();
    for (int32_t id = 0; id < bound; ++id) {
        const TDriveInfo* info = DiskGetInformation(id);
        if (info == nullptr) {
            continue;
        }
        EXPECT_EQ(+info->ID, id);
        const QString key = QString::fromUtf8(VantrelDiskPath(id)) + QLatin1Char('@') +
                            QString::number(+info->OffsetInPhysical) +
                            (info->ParentID < 0 ? QStringLiteral(" device") : QString());
        seen[key] = {id, +info->ParentID, info->Letter};
    }
    return seen;
}

void registerImage(const QString& path)
{
    ASSERT_EQ(VantrelRegisterImage(QFile::encodeName(path).constData()), 0) << VantrelLastError();
}

} // namespace

// An open drive is held by its id: a rescan must not give that id to another disk, nor
// move the letters of disks that did not change.
TEST(EngineCatalog, UnchangedDisksKeepIdsAndLettersAcrossRescans)
{
    TEngineSession session;
    registerImage(imagePath("fat16"));
    registerImage(imagePath("fat12"));
    DisksRescan();
    const std::map<QString, TSeen> before = listed();
    ASSERT_EQ(before.size(), 4u);

    // The first image goes away and another comes: the second image's disks stay.
    VantrelClearImages();
    registerImage(imagePath("fat12"));
    registerImage(imagePath("exfat"));
    DisksRescan();
    std::map<QString, TSeen> after = listed();
    ASSERT_EQ(after.size(), 4u);
    int kept = 0;
    for (const auto& [key, seen] : after) {
        const auto old = before.find(key);
        if (old == before.end()) {
            continue;
        }
        ++kept;
        EXPECT_EQ(seen.id, old->second.id) << key.toStdString();
        EXPECT_EQ(seen.parent, old->second.parent) << key.toStdString();
        EXPECT_EQ(seen.letter, old->second.letter) << key.toStdString();
    }
    EXPECT_EQ(kept, 2) << "the second image and its volume";

    // The new image took the free ids and letter; each volume names its own device.
    std::set<int32_t> ids;
    std::set<char> letters;
    for (const auto& [key, seen] : after) {
        ids.insert(seen.id);
        if (seen.letter != 0)
            letters.insert(seen.letter);
        if (seen.parent >= 0) {
            const TDriveInfo* device = DiskGetInformation(seen.parent);
            ASSERT_NE(device, nullptr);
            EXPECT_EQ(QString::fromUtf8(VantrelDiskPath(seen.parent)),
                      QString::fromUtf8(VantrelDiskPath(seen.id)));
        }
    }
    EXPECT_EQ(ids, (std::set<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(letters, (std::set<char>{'C', 'D'}));

    // A rescan with nothing changed changes nothing.
    DisksRescan();
    const std::map<QString, TSeen> again = listed();
    ASSERT_EQ(again.size(), after.size());
    for (const auto& [key, seen] : again) {
        ASSERT_TRUE(after.count(key)) << key.toStdString();
        EXPECT_EQ(seen.id, after[key].id);
        EXPECT_EQ(seen.letter, after[key].letter);
    }
}

// The drive list rescans at every activation; a volume is probed again only when it
// changed (size or modification time), not at every rescan.
TEST(EngineCatalog, VolumeFactsAreProbedOncePerChange)
{
    TTempDir dir;
    const QString copy = dir.filePath("fat16.img");
    ASSERT_TRUE(QFile::copy(imagePath("fat16"), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
    TEngineSession session;
    const int32_t id = session.openImage(copy);
    ASSERT_GE(id, 0);
    const int64_t serial = +DiskGetInformation(id)->SerialNumber;
    ASSERT_NE(serial, 0x01020304);

    // Another serial number in the boot sector, the modification time put back.
    struct stat st
    {
    };
    const QByteArray path = QFile::encodeName(copy);
    ASSERT_EQ(::stat(path.constData(), &st), 0);
    {
        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(39));
        ASSERT_EQ(file.write(QByteArray("\x04\x03\x02\x01", 4)), 4);
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    DisksRescan();
    EXPECT_EQ(+DiskGetInformation(id)->SerialNumber, serial) << "probed again though nothing changed";

    const timespec later[2] = {{0, UTIME_NOW}, {st.st_mtim.tv_sec + 10, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), later, 0), 0);
    DisksRescan();
    EXPECT_EQ(+DiskGetInformation(id)->SerialNumber, 0x01020304) << "a changed image is probed again";
}
