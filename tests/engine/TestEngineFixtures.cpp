#include "TEngineSession.h"

#include "TestConfig.h"
#include "disk/TRecoverability.h"
#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sys/stat.h>

namespace {

// Files above this size are hashed only in slow runs (BREVANT_SLOW_TESTS=1).
constexpr qint64 kLargestHashed = qint64{256} << 20;

// Every volume of every well-formed fixture image, as "name/volume index".
std::vector<std::string> fixtureVolumes()
{
    std::vector<std::string> list;
    for (const QString& name : TManifest::available()) {
        const TManifest manifest = TManifest::load(name);
        if (manifest.isValid() && !manifest.broken()) {
            for (const TManifest::Volume& volume : manifest.volumes()) {
                list.push_back(QString("%1/%2").arg(name).arg(volume.index).toStdString());
            }
        }
    }
    return list;
}

// Each fixture volume, checked against its manifest.
class EngineFixture : public testing::TestWithParam<std::string>
{
protected:
    void SetUp() override
    {
        const QString param = QString::fromStdString(GetParam());
        m_manifest = TManifest::load(param.section('/', 0, 0));
        ASSERT_TRUE(m_manifest.isValid()) << m_manifest.errorString().toStdString();
        m_index = param.section('/', 1).toInt();
        for (const TManifest::Volume& volume : m_manifest.volumes()) {
            if (volume.index == m_index) {
                m_volume = volume;
            }
        }
        ASSERT_EQ(m_volume.index, m_index);
        const int32_t first = m_session.openImage(m_manifest.imagePath());
        ASSERT_GE(first, 0) << VantrelLastError();
        m_volumeId = first + m_index - 1;
        readLostParents();
    }

    // Entries whose folder record was taken over by another entry sit under "#<record>".
    void readLostParents()
    {
        QFile file(QString(BREVANT_TEST_DATA_DIR "/%1.json").arg(m_manifest.name()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QJsonArray volumes =
            QJsonDocument::fromJson(file.readAll()).object().value("volumes").toArray();
        for (const QJsonValue& volume : volumes) {
            if (volume.toObject().value("index").toInt() != m_index) {
                continue;
            }
            for (const QJsonValue& value : volume.toObject().value("entries").toArray()) {
                const QJsonObject entry = value.toObject();
                if (entry.value("parent_lost").toBool()) {
                    const QString path = entry.value("path").toString();
                    m_lostParents.insert(path.section('/', 0, -2), entry.value("parent_record").toInt());
                }
            }
        }
    }

    // The path the engine's records give for a manifest path.
    QString enginePath(const QString& path) const
    {
        for (auto it = m_lostParents.begin(); it != m_lostParents.end(); ++it) {
            if (path.startsWith(it.key() + '/')) {
                return '#' + QString::number(it.value()) + path.mid(it.key().size());
            }
        }
        return path;
    }

    bool isFat() const { return m_volume.filesystem != "NTFS"; }
    QByteArray oemId() const
    {
        return m_volume.filesystem == "NTFS" ? "NTFS    "
                                             : (m_volume.filesystem == "exFAT" ? "EXFAT   " : "mkfs.fat");
    }

    // An entry whose folder nothing leads to any more (or inside such an entry) sits under a
    // lost folder, "#<stand-in id>/" and its path from there on; the id is the engine's.
    const TEngineSession::TEntry* matchLost(const TManifest::Entry& expected) const
    {
        for (const TManifest::Entry& folder : m_volume.entries) {
            const QString& lost = folder.path;
            if (!folder.lostFolder || (expected.path != lost && !expected.path.startsWith(lost + '/'))) {
                continue;
            }
            const QString tail = expected.path.mid(lost.lastIndexOf('/') + 1);
            const QRegularExpression pattern(QStringLiteral("^#[0-9]+/") + QRegularExpression::escape(tail) +
                                             u'$');
            const TEngineSession::TEntry* found = nullptr;
            for (const TEngineSession::TEntry& entry : m_session.entries()) {
                if (pattern.match(entry.Path).hasMatch() &&
                    ((entry.Info.Flags & flag_IS_DELETED) != 0) == expected.deleted) {
                    if (found != nullptr) {
                        return nullptr;
                    }
                    found = &entry;
                }
            }
            return found;
        }
        return nullptr;
    }

    // The engine entry for a manifest entry. A deleted 8.3-only FAT name has lost its
    // first character; the rest must match.
    const TEngineSession::TEntry* match(const TManifest::Entry& expected) const
    {
        if (const TEngineSession::TEntry* lost = matchLost(expected)) {
            return lost;
        }
        const QString path = enginePath(expected.path);
        if (!expected.nameFirstCharLost) {
            const auto found = m_session.find(path, expected.deleted);
            return found.size() == 1 ? found.front() : nullptr;
        }
        const QString folder = path.section('/', 0, -2);
        for (const TEngineSession::TEntry& entry : m_session.entries()) {
            const QString prefix = folder.isEmpty() ? QString() : folder + '/';
            if (entry.Path.startsWith(prefix) && entry.Path.size() == path.size() &&
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
    int m_index = 0;
    int32_t m_volumeId = -1;
    QMap<QString, int> m_lostParents; // folder path -> record now standing in its place
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
    EXPECT_EQ(+volume->OffsetInPhysical, m_volume.offset);
    EXPECT_EQ(+device->ID + m_index, +volume->ID) << "a device is followed by its volumes";

    EXPECT_EQ(+volume->Letter, 'C' + m_index - 1) << "recognised volumes get letters from C: on";
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
    EXPECT_EQ(oem, oemId());
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
        if (expected.lostFolder) {
            EXPECT_TRUE(entry->Info.Flags & flag_FOUND_ORPHAN) << path;
        }
        if (!expected.isDir) {
            EXPECT_EQ(entry->Info.Size, expected.size) << path;
        }
        expectTime(expected.mtime, entry->Info.DateModified, "mtime", expected.path);
        expectTime(expected.atime, entry->Info.DateAccessed, "atime", expected.path);
        expectTime(expected.ctime, entry->Info.DateCreated, "ctime", expected.path);
        const int64_t indexOnly = flag_FOUND_INDEX | flag_NO_DATA;
        EXPECT_EQ(entry->Info.Flags & indexOnly, expected.noData ? indexOnly : 0) << path;
    }
}

TEST_P(EngineFixture, DeletedFilesAreRatedAsTheirDataIs)
{
    ASSERT_TRUE(m_session.enumerate(m_volumeId));
    for (const TManifest::Entry& expected : m_volume.entries) {
        const TEngineSession::TEntry* entry = match(expected);
        ASSERT_NE(entry, nullptr) << expected.path.toStdString();
        const int64_t flags = entry->Info.Flags;
        const QString word = TRecoverability::Word(TRecoverability::FromFlags(flags));
        EXPECT_TRUE(expected.acceptedRecovery().contains(word))
            << expected.path.toStdString() << ": " << word.toStdString();
        // Live entries and folders carry no rating; a share only goes with a partial one.
        if (!expected.deleted || expected.isDir) {
            EXPECT_EQ(flags & (flag_RATING_MASK | flag_PERCENT_MASK), 0) << expected.path.toStdString();
        }
        const int percent = TRecoverability::PercentFromFlags(flags);
        if (word == "partial" || word == "guess") {
            EXPECT_TRUE(percent > 0 && percent < 100) << expected.path.toStdString();
        } else {
            EXPECT_EQ(percent, 0) << expected.path.toStdString();
        }
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
        const bool fatRoot = !m_session.isNtfs() && entry.Info.TrueId == 0;
        // Stand-ins for lost folders are no entries of the file system; readers name them.
        if (system || fatRoot || (entry.Info.Flags & flag_EMPTY)) {
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
        // Dense ids in stream order, every folder before what it holds. The tree is walked
        // as the records are read, not when the disk is initialised; the revised count
        // stays ahead of the records read and is exact at the end.
        EXPECT_EQ(static_cast<int64_t>(m_session.entries().size()), m_session.expected());
        if (m_session.entries().size() > 2) {
            EXPECT_LT(m_session.initialCount(), m_session.expected());
        }
        EXPECT_FALSE(m_session.estimateFellBehind());
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
        if (expected.readable >= 0) {
            // Part of the data cannot be found: the copy fails rather than fill the rest.
            EXPECT_EQ(result.Result, VANTREL_RECOVERY_READ_ERROR) << expected.path.toStdString();
            EXPECT_FALSE(QFileInfo::exists(target)) << expected.path.toStdString();
            continue;
        }
        if (expected.noData) {
            // Nothing to copy: the copy fails and says why, leaving no file behind.
            EXPECT_EQ(result.Result, VANTREL_RECOVERY_READ_ERROR) << expected.path.toStdString();
            EXPECT_TRUE(result.Message.contains("no recoverable data")) << result.Message.toStdString();
            EXPECT_FALSE(QFileInfo::exists(target)) << expected.path.toStdString();
            continue;
        }
        ASSERT_EQ(result.Result, VANTREL_RECOVERY_OK)
            << expected.path.toStdString() << ": " << result.Message.toStdString();
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << expected.path.toStdString();
        EXPECT_EQ(file.size(), expected.size) << expected.path.toStdString();
        if (expected.reused || !expected.recoverable) {
            continue; // what comes back is whatever now fills those clusters
        }
        if (expected.size <= kLargestHashed || qEnvironmentVariableIntValue("BREVANT_SLOW_TESTS") == 1) {
            QCryptographicHash hash(QCryptographicHash::Sha256);
            hash.addData(&file);
            EXPECT_EQ(QString::fromLatin1(hash.result().toHex()), expected.sha256)
                << expected.path.toStdString();
        } else {
            // Hashing gigabytes is left to slow runs; the copy must at least keep its holes.
            struct stat status
            {
            };
            ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &status), 0);
            EXPECT_LT(status.st_blocks * 512, expected.size / 4) << "sparse parts were written out";
            EXPECT_NE(file.read(1 << 20).count('\0'), 1 << 20) << "the head of the file holds data";
        }
        if (expected.mtime.isValid()) {
            // FAT times are local calendar fields: the copy gets the same wall-clock time here.
            // exFAT entries that know their UTC offset give the copy its true instant.
            const QDateTime modified = QFileInfo(target).lastModified();
            const QDateTime asWritten = isFat() && m_volume.filesystem != "exFAT"
                                            ? QDateTime(modified.date(), modified.time(), Qt::UTC)
                                            : modified.toUTC();
            EXPECT_EQ(asWritten, expected.mtime) << expected.path.toStdString();
        }
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

// The read call gives each file's data as the copy does: the bytes written for every
// file whose data is still in place, at any offset, and nothing past the end.
TEST_P(EngineFixture, ReadCallGivesWhatWasWritten)
{
    ASSERT_TRUE(m_session.enumerate(m_volumeId));
    int checked = 0;
    for (const TManifest::Entry& expected : m_volume.entries) {
        const std::string path = expected.path.toStdString();
        const TEngineSession::TEntry* entry = match(expected);
        ASSERT_NE(entry, nullptr) << path;
        const TFileInfo record = TEngineSession::handBack(entry->Info);
        char probe[16] = {};
        if (expected.isDir || expected.noData) {
            EXPECT_EQ(VantrelFileRead(&record, 0, probe, sizeof probe), -1) << path;
            EXPECT_TRUE(
                QString(VantrelLastError()).contains(expected.isDir ? "folder" : "no recoverable data"))
                << path << ": " << VantrelLastError();
            continue;
        }
        const int64_t size = expected.size;
        EXPECT_EQ(VantrelFileRead(&record, size, probe, sizeof probe), 0) << path;
        EXPECT_EQ(VantrelFileRead(&record, size + 100000, probe, sizeof probe), 0) << path;
        if (size > kLargestHashed && qEnvironmentVariableIntValue("BREVANT_SLOW_TESTS") != 1) {
            // Reading gigabytes is left to slow runs; its head and its last byte must read.
            QByteArray head(1 << 20, Qt::Uninitialized);
            EXPECT_EQ(VantrelFileRead(&record, 0, head.data(), head.size()), head.size()) << path;
            EXPECT_EQ(VantrelFileRead(&record, size - 1, probe, sizeof probe), 1) << path;
            continue;
        }
        QByteArray data;
        ASSERT_EQ(TEngineSession::readAll(record, data), expected.readable >= 0 ? expected.readable : size)
            << path << ": " << VantrelLastError();
        if (expected.reused || !expected.recoverable) {
            continue; // what comes back is whatever now fills those clusters
        }
        EXPECT_EQ(QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()),
                  expected.sha256)
            << path;
        if (size == 0) {
            continue;
        }
        // A read from the middle that runs past the end gives the rest; the last byte alone.
        QByteArray tail(qsizetype(size), Qt::Uninitialized);
        const int64_t middle = size / 2;
        ASSERT_EQ(VantrelFileRead(&record, middle, tail.data(), size), size - middle) << path;
        EXPECT_EQ(tail.left(qsizetype(size - middle)), data.mid(qsizetype(middle))) << path;
        ASSERT_EQ(VantrelFileRead(&record, size - 1, probe, sizeof probe), 1) << path;
        EXPECT_EQ(probe[0], data.back()) << path;
        ++checked;
    }
    if (!m_volume.liveEntries().isEmpty()) {
        EXPECT_GT(checked, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, EngineFixture, testing::ValuesIn(fixtureVolumes()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

} // namespace
