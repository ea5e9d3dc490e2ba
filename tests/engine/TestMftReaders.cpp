// The engine reads NTFS records two ways: its own reader of the MFT in chunks, ahead of the
// caller on a thread of its own, and one record at a time through the file system library
// on the caller's thread. Both must give the same stream.
#include "TEngineSession.h"

#include "support/TTempDir.h"
#include "support/TTestEngineOptions.h"
#include "TestConfig.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<TEngineSession::TEntry> readStream(const QString& image, bool library)
{
    TEngineSession session;
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY |
                      (library ? VANTREL_OPTION_LIBRARY_RECORDS | VANTREL_OPTION_SERIAL_RECORDS
                               : VANTREL_OPTION_RECORDS_AHEAD));
    const int32_t id = session.openImage(image);
    std::vector<TEngineSession::TEntry> entries;
    const TDriveInfo* info = id >= 0 ? session.drive(id) : nullptr;
    if (info != nullptr && QByteArray(info->FileSystemName) == "NTFS" && session.enumerate(id)) {
        entries = session.entries();
    }
    VantrelSetOptions(TTestEngineOptions::value());
    return entries;
}

std::string describe(const TEngineSession::TEntry& entry)
{
    return "id " + std::to_string(entry.Info.TrueId) + " " + entry.Path.toStdString();
}

void expectSame(const TEngineSession::TEntry& own, const TEngineSession::TEntry& library)
{
    const TFileInfo& a = own.Info;
    const TFileInfo& b = library.Info;
    EXPECT_EQ(a.TrueId, b.TrueId);
    EXPECT_EQ(a.TrueParentId, b.TrueParentId) << describe(library);
    EXPECT_EQ(a.Flags, b.Flags) << describe(library);
    EXPECT_EQ(a.Size, b.Size) << describe(library);
    EXPECT_EQ(a.DateCreated, b.DateCreated) << describe(library);
    EXPECT_EQ(a.DateAccessed, b.DateAccessed) << describe(library);
    EXPECT_EQ(a.DateModified, b.DateModified) << describe(library);
    EXPECT_EQ(a.Attributes, b.Attributes) << describe(library);
    EXPECT_EQ(a.Reserve, b.Reserve) << describe(library);
    EXPECT_EQ(own.Name, library.Name) << describe(library);
}

// Every NTFS fixture, the damaged ones included (garbage records, a truncated MFT, a huge
// sector count).
class MftReaders : public testing::TestWithParam<const char*>
{
};

TEST_P(MftReaders, GiveTheSameStream)
{
    const QString image = QString(BREVANT_TEST_IMAGE_DIR "/%1.img").arg(GetParam());
    const std::vector<TEngineSession::TEntry> library = readStream(image, true);
    const std::vector<TEngineSession::TEntry> own = readStream(image, false);
    ASSERT_FALSE(library.empty());
    ASSERT_EQ(own.size(), library.size());
    for (size_t i = 0; i < own.size(); ++i) {
        expectSame(own[i], library[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MftReaders,
                         testing::Values("ntfs", "ntfs-rating", "ntfs-orphans", "ntfs-index-names",
                                         "ntfs-reused-folder", "ntfs-streams", "ntfs-bad-mft",
                                         "ntfs-truncated", "ntfs-huge"));

// A record whose second sector was not written (its update-sequence check fails): the
// library refuses the whole record; the engine's reader keeps the entry, whose header, name
// and times lie in the first sector, and marks its data as unknown.
TEST(MftReadersTorn, ATornRecordIsKeptAndItsDataNotTrusted)
{
    TTempDir temp;
    const QString image = temp.filePath("torn.img");
    ASSERT_TRUE(QFile::copy(BREVANT_TEST_IMAGE_DIR "/ntfs.img", image));
    QFile::setPermissions(image, QFile::ReadOwner | QFile::WriteOwner);
    const std::vector<TEngineSession::TEntry> before = readStream(image, true);
    const auto victim = std::find_if(before.begin(), before.end(), [](const TEngineSession::TEntry& entry) {
        return entry.Path == "Deleted report.txt" && (entry.Info.Flags & flag_IS_DELETED);
    });
    ASSERT_NE(victim, before.end());

    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray boot = file.read(512);
    const uint64_t clusterSize =
        uint64_t(uint8_t(boot[0x0D])) * (uint8_t(boot[0x0B]) | uint8_t(boot[0x0C]) << 8);
    uint64_t mftCluster = 0;
    std::memcpy(&mftCluster, boot.constData() + 0x30, sizeof mftCluster);
    const int8_t perRecord = int8_t(boot[0x40]);
    const uint64_t recordSize = perRecord < 0 ? uint64_t{1} << -perRecord : perRecord * clusterSize;
    ASSERT_GE(recordSize, 1024u);
    // The fixture's MFT is one run; the end of the record's second sector holds its check value.
    const qint64 checkValue =
        qint64(mftCluster * clusterSize + uint64_t(victim->Info.TrueId) * recordSize + 1022);
    ASSERT_TRUE(file.seek(checkValue));
    ASSERT_EQ(file.write("\xAA\x55", 2), 2);
    file.close();

    const std::vector<TEngineSession::TEntry> library = readStream(image, true);
    const std::vector<TEngineSession::TEntry> own = readStream(image, false);
    ASSERT_EQ(library.size() + 1, own.size());
    size_t j = 0;
    for (const TEngineSession::TEntry& entry : own) {
        if (entry.Info.TrueId == victim->Info.TrueId) {
            EXPECT_EQ(entry.Name, victim->Name);
            EXPECT_EQ(entry.Info.TrueParentId, victim->Info.TrueParentId);
            EXPECT_EQ(entry.Info.DateModified, victim->Info.DateModified);
            EXPECT_EQ(entry.Info.Flags & flag_NO_DATA, flag_NO_DATA);
            EXPECT_EQ(entry.Info.Flags & flag_RATING_MASK, flag_RATING_NO_DATA);
            continue;
        }
        ASSERT_LT(j, library.size());
        expectSame(entry, library[j++]);
    }
}

} // namespace
