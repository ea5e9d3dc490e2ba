#include "TEngineSession.h"

#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <set>

namespace {

// The well-formed fixture images; each is checked against its manifest.
class EngineFixture : public testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        m_manifest = TManifest::load(GetParam());
        ASSERT_TRUE(m_manifest.isValid()) << m_manifest.errorString().toStdString();
        ASSERT_EQ(m_manifest.volumes().size(), 1);
        m_volume = m_manifest.volumes().first();
        m_volumeId = m_session.openImage(m_manifest.imagePath());
        ASSERT_GE(m_volumeId, 0) << VantrelLastError();
    }

    bool isFat() const { return m_volume.filesystem != "NTFS"; }

    // The engine entry for a manifest entry. A deleted 8.3-only FAT name has lost its
    // first character; the rest must match.
    const TEngineSession::TEntry* match(const TManifest::Entry& expected) const
    {
        if (!expected.nameFirstCharLost) {
            const auto found = m_session.find(expected.path, expected.deleted);
            return found.size() == 1 ? found.front() : nullptr;
        }
        const QString folder = expected.parentPath();
        for (const TEngineSession::TEntry& entry : m_session.entries()) {
            const QString prefix = folder.isEmpty() ? QString() : folder + '/';
            if (entry.Path.startsWith(prefix) && entry.Path.size() == expected.path.size() &&
                !entry.Path.mid(prefix.size()).contains('/') && entry.Name.mid(1) == expected.name().mid(1) &&
                ((entry.Info.Flags & flag_IS_DELETED) != 0) == expected.deleted) {
                return &entry;
            }
        }
        return nullptr;
    }

    // Times are compared where the builder set them; FAT keeps two-second modification
    // times, so the manifest's values are what the disk holds.
    static void expectTime(const QDateTime& expected, TFileTime actual, const char* what, const QString& path)
    {
        if (!expected.isValid()) {
            return;
        }
        EXPECT_EQ(TEngineSession::toDateTime(actual), expected)
            << what << " of " << path.toStdString() << ": "
            << TEngineSession::toDateTime(actual).toString(Qt::ISODateWithMs).toStdString();
    }

    TEngineSession m_session;
    TManifest m_manifest;
    TManifest::Volume m_volume;
    int32_t m_volumeId = -1;
};

TEST_P(EngineFixture, DriveRecordsDescribeImageAndVolume)
{
    const TDriveInfo* volume = m_session.drive(m_volumeId);
    ASSERT_NE(volume, nullptr);
    // Unary plus copies a packed field: bound by reference it may sit at an unaligned address.
    const TDriveInfo* device = m_session.drive(+volume->ParentID);
    ASSERT_NE(device, nullptr);

    EXPECT_EQ(+device->ParentID, -1);
    EXPECT_EQ(+device->DriveType, DRIVE_TYPE_VIRTUAL);
    EXPECT_EQ(+device->Letter, 0);
    EXPECT_NE(+device->Status, 0);
    EXPECT_EQ(+device->SpaceTotal, QFileInfo(m_manifest.imagePath()).size());
    EXPECT_EQ(+device->ID + 1, +volume->ID) << "a device is followed by its volumes";

    EXPECT_EQ(+volume->Letter, 'C') << "the first recognised volume gets C:";
    EXPECT_NE(+volume->Status, 0);
    EXPECT_STREQ(volume->FileSystemName, m_volume.filesystem.toLatin1().constData());
    EXPECT_STREQ(volume->VolumeLabel, m_volume.label.toUtf8().constData());
    EXPECT_EQ(QString::number(static_cast<quint64>(+volume->SerialNumber), 16).toUpper(), m_volume.serial);
    EXPECT_EQ(+volume->BytesPerSector, m_volume.bytesPerSector);
    EXPECT_EQ(+volume->SectorsPerCluster, m_volume.sectorsPerCluster);
    EXPECT_EQ(+volume->BytesPerCluster, m_volume.bytesPerSector * m_volume.sectorsPerCluster);
    EXPECT_EQ(+volume->OffsetInPhysical, m_volume.offset);
    EXPECT_GT(+volume->TotalClusters, 0);
    EXPECT_EQ(+volume->SpaceTotal, +volume->TotalClusters * +volume->BytesPerCluster);
    EXPECT_LE(+volume->SpaceTotal, m_volume.size);
    EXPECT_GT(+volume->SpaceTotal, m_volume.size / 2);
    EXPECT_EQ(+volume->SpaceFree, +volume->TotalClustersFree * +volume->BytesPerCluster);
    EXPECT_LT(+volume->SpaceFree, +volume->SpaceTotal) << "the fixtures hold files";
    EXPECT_GT(+volume->TotalSectors, 0);
    const QByteArray oem(volume->OEM_ID, sizeof volume->OEM_ID);
    EXPECT_EQ(oem, isFat() ? QByteArray("mkfs.fat") : QByteArray("NTFS    "));
    EXPECT_TRUE(+volume->FileSystemFlags & FILE_UNICODE_ON_DISK);
    EXPECT_TRUE(+volume->FileSystemFlags & FILE_CASE_PRESERVED_NAMES);
    EXPECT_EQ((+volume->FileSystemFlags & FILE_PERSISTENT_ACLS) != 0, !isFat());
    EXPECT_EQ((+volume->FileSystemFlags & FILE_NAMED_STREAMS) != 0, !isFat());
}

TEST_P(EngineFixture, EveryManifestEntryIsEnumeratedWithItsDetails)
{
    ASSERT_TRUE(m_session.enumerate(m_volumeId)) << VantrelLastError();
    for (const TManifest::Entry& expected : m_volume.entries) {
        const TEngineSession::TEntry* entry = match(expected);
        ASSERT_NE(entry, nullptr) << "not found (or found twice): " << expected.path.toStdString();
        const std::string path = expected.path.toStdString();
        EXPECT_EQ((entry->Info.Flags & flag_IS_DIRECTORY) != 0, expected.isDir) << path;
        EXPECT_EQ((entry->Info.Flags & flag_IS_DELETED) != 0, expected.deleted) << path;
        EXPECT_EQ(entry->Info.Flags & flag_EMPTY, 0) << path;
        if (!expected.isDir) {
            EXPECT_EQ(entry->Info.Size, expected.size) << path;
        }
        expectTime(expected.mtime, entry->Info.DateModified, "mtime", expected.path);
        expectTime(expected.atime, entry->Info.DateAccessed, "atime", expected.path);
        expectTime(expected.ctime, entry->Info.DateCreated, "ctime", expected.path);
    }
}

TEST_P(EngineFixture, StreamHoldsNothingBeyondTheFileSystemsEntries)
{
    ASSERT_TRUE(m_session.enumerate(m_volumeId));
    std::set<int64_t> ids;
    int64_t listed = 0;
    for (const TEngineSession::TEntry& entry : m_session.entries()) {
        EXPECT_TRUE(ids.insert(entry.Info.TrueId).second) << "id twice: " << entry.Info.TrueId;
        EXPECT_GE(entry.Info.TrueId, 0);
        EXPECT_LE(entry.Info.TrueId, 2147483647);
        const bool system =
            m_session.isNtfs() && (entry.Info.TrueId <= 16 || entry.Path.startsWith("$Extend/"));
        if (system || entry.Path.isEmpty()) {
            continue;
        }
        ++listed;
        EXPECT_FALSE(entry.Name.isEmpty()) << "id " << entry.Info.TrueId;
        const bool known = std::any_of(m_volume.entries.begin(), m_volume.entries.end(),
                                       [&](const TManifest::Entry& e) { return match(e) == &entry; });
        EXPECT_TRUE(known) << "unexpected entry " << entry.Path.toStdString();
    }
    EXPECT_EQ(listed, m_volume.entries.size());

    if (m_session.isNtfs()) {
        // One call per MFT record, plus the closing nil.
        EXPECT_EQ(m_session.calls(), m_session.expected() + 1);
        const auto root = std::find_if(m_session.entries().begin(), m_session.entries().end(),
                                       [](const auto& e) { return e.Info.TrueId == 5; });
        ASSERT_NE(root, m_session.entries().end());
        EXPECT_EQ(root->Info.TrueParentId, 5);
        EXPECT_TRUE(root->Info.Flags & flag_IS_DIRECTORY);
    } else {
        // Dense ids in stream order, every folder before what it holds.
        EXPECT_EQ(static_cast<int64_t>(m_session.entries().size()), m_session.expected());
        for (size_t i = 0; i < m_session.entries().size(); ++i) {
            const TFileInfo& info = m_session.entries()[i].Info;
            EXPECT_EQ(info.TrueId, static_cast<int64_t>(i));
            EXPECT_LT(info.TrueParentId, info.TrueId);
        }
        EXPECT_EQ(m_session.entries().front().Info.TrueParentId, -1);
        EXPECT_EQ(FileGetNext(), nullptr) << "the stream stays ended";
    }
}

TEST_P(EngineFixture, RecoveredFilesMatchWhatWasWritten)
{
    ASSERT_TRUE(m_session.enumerate(m_volumeId));
    TTempDir dir;
    int number = 0;
    int checked = 0;
    for (const TManifest::Entry& expected : m_volume.entries) {
        if (expected.isDir) {
            continue;
        }
        const TEngineSession::TEntry* entry = match(expected);
        ASSERT_NE(entry, nullptr) << expected.path.toStdString();
        const QString target = dir.filePath(QString("file%1.bin").arg(++number));
        const TEngineSession::TRecovery result = TEngineSession::recover(entry->Info, target);
        ASSERT_EQ(result.Result, VANTREL_RECOVERY_OK)
            << expected.path.toStdString() << ": " << result.Message.toStdString();
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << expected.path.toStdString();
        EXPECT_EQ(file.size(), expected.size) << expected.path.toStdString();
        if (expected.reused || !expected.recoverable) {
            continue; // what comes back is whatever now fills those clusters
        }
        const QByteArray hash = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
        EXPECT_EQ(QString::fromLatin1(hash), expected.sha256) << expected.path.toStdString();
        if (expected.mtime.isValid()) {
            // FAT times are local calendar fields: the copy gets the same wall-clock time here.
            const QDateTime modified = QFileInfo(target).lastModified();
            const QDateTime asWritten =
                isFat() ? QDateTime(modified.date(), modified.time(), Qt::UTC) : modified.toUTC();
            EXPECT_EQ(asWritten, expected.mtime) << expected.path.toStdString();
        }
        ++checked;
    }
    EXPECT_GT(checked, 10);
}

INSTANTIATE_TEST_SUITE_P(Images, EngineFixture, testing::Values("fat12", "fat16", "fat32", "ntfs"));

} // namespace
