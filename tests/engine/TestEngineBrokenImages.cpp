#include "TEngineSession.h"

#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QFile>
#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

// Deliberately damaged images: the engine may give less, but never crashes, hangs or
// reports a failed copy as a good one.
class EngineBrokenImage : public testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        m_manifest = TManifest::load(GetParam());
        ASSERT_TRUE(m_manifest.isValid()) << m_manifest.errorString().toStdString();
        ASSERT_TRUE(m_manifest.broken());
    }

    TEngineSession m_session;
    TManifest m_manifest;
};

TEST_P(EngineBrokenImage, FailsCleanlyOrGivesWhatSurvives)
{
    const int32_t id = m_session.openImage(m_manifest.imagePath());
    ASSERT_GE(id, 0) << "a damaged image is still listed as a device with a volume";
    if (m_manifest.expect() == "init-fails") {
        const TDriveInfo* info = m_session.drive(id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(+info->Letter, 0) << "an unrecognised volume gets no letter";
        EXPECT_STREQ(info->FileSystemName, "");
        EXPECT_FALSE(m_session.enumerate(id));
        EXPECT_STRNE(VantrelLastError(), "");
        EXPECT_EQ(FileGetNext(), nullptr) << "a failed initialisation leaves no stream behind";
        return;
    }

    ASSERT_TRUE(m_session.enumerate(id)) << VantrelLastError();
    EXPECT_LE(m_session.calls(), m_session.expected() + 1);
    // Every file that is listed can be asked for; a copy either succeeds with the full
    // size or fails and leaves nothing behind.
    TTempDir dir;
    int number = 0;
    for (const TEngineSession::TEntry& entry : m_session.entries()) {
        if (entry.Info.Flags & flag_IS_DIRECTORY || entry.Path.isEmpty()) {
            continue;
        }
        const QString target = dir.filePath(QString("copy%1").arg(++number));
        const TEngineSession::TRecovery result = TEngineSession::recover(entry.Info, target);
        if (result.Result == VANTREL_RECOVERY_OK) {
            EXPECT_EQ(QFile(target).size(), entry.Info.Size) << entry.Path.toStdString();
        } else {
            EXPECT_EQ(result.Result, VANTREL_RECOVERY_READ_ERROR) << entry.Path.toStdString();
            EXPECT_FALSE(result.Message.isEmpty());
            EXPECT_FALSE(QFile::exists(target)) << "failed copy left behind for " << entry.Path.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Images, EngineBrokenImage,
                         testing::Values("fat16-fat-loop", "fat16-truncated", "fat16-zeroed-boot",
                                         "ntfs-bad-mft", "ntfs-truncated"));

// Damage to some MFT records must not take the rest of the volume with it.
TEST(EngineBrokenNtfs, GarbageRecordsStayLocal)
{
    const TManifest manifest = TManifest::load("ntfs-bad-mft");
    ASSERT_TRUE(manifest.isValid());
    QStringList damaged;
    for (const QJsonValue& path : manifest.extra().value("damage").toObject().value("paths").toArray()) {
        damaged << path.toString();
    }
    ASSERT_EQ(damaged.size(), 3);
    TEngineSession session;
    ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
    int intact = 0;
    for (const TManifest::Entry& expected : manifest.volumes().first().entries) {
        const bool hit = std::any_of(damaged.begin(), damaged.end(), [&](const QString& path) {
            return expected.path == path || expected.path.startsWith(path + '/');
        });
        if (hit) {
            continue;
        }
        EXPECT_EQ(session.find(expected.path, expected.deleted).size(), 1u) << expected.path.toStdString();
        ++intact;
    }
    EXPECT_GT(intact, 20);
}

// A loop in a FAT cluster chain ends the copy with a read error instead of an endless file.
TEST(EngineBrokenFat, ChainLoopDoesNotProduceAnEndlessCopy)
{
    const TManifest manifest = TManifest::load("fat16-fat-loop");
    ASSERT_TRUE(manifest.isValid());
    TEngineSession session;
    ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
    const auto found = session.find("Data/table.csv", false);
    ASSERT_EQ(found.size(), 1u);
    TTempDir dir;
    const QString target = dir.filePath("table.csv");
    const TEngineSession::TRecovery result = TEngineSession::recover(found.front()->Info, target);
    if (result.Result == VANTREL_RECOVERY_OK) {
        EXPECT_EQ(QFile(target).size(), 9000);
    } else {
        EXPECT_FALSE(QFile::exists(target));
    }
}

// A file entry named ".." (a damaged or hostile volume) is listed, not taken for the
// folder's link to its parent and dropped.
TEST(EngineBrokenFat, FileNamedDotDotIsListed)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    TTempDir dir;
    const QString image = dir.filePath("dotdot.img");
    ASSERT_TRUE(QFile::copy(manifest.imagePath(), image));
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf(QByteArray("README  TXT"));
    ASSERT_GE(at, 0);
    bytes.replace(at, 11, QByteArray("..         "));
    ASSERT_TRUE(file.seek(0));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();

    TEngineSession session;
    ASSERT_TRUE(session.enumerate(session.openImage(image)));
    const auto found = session.find("..", false);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found.front()->Info.Flags & flag_IS_DIRECTORY);
    EXPECT_EQ(session.find("README.TXT", false).size(), 0u);
    EXPECT_EQ(session.find("Docs/Report 2024.txt", false).size(), 1u) << "the rest is listed as before";
}

} // namespace
