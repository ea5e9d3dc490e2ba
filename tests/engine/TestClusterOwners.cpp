// The owners call on the rating fixtures: a deleted file whose clusters a live file took
// names that file; one whose clusters are free names none; requests it cannot answer fail.
#include "TEngineSession.h"

#include "support/TManifest.h"

#include <gtest/gtest.h>

#include <QString>

#include <thread>

namespace {

struct TOwnerCase
{
    const char* Fixture;
    const char* OverwrittenOwner; // the live file that took all of Gone/overwritten.bin
    const char* PartialOwner;     // the live file that took some of Gone/partial.bin
};

class ClusterOwners : public ::testing::TestWithParam<TOwnerCase>
{
protected:
    void SetUp() override
    {
        const TManifest manifest = TManifest::load(GetParam().Fixture);
        ASSERT_TRUE(m_session.enumerate(m_session.openImage(manifest.imagePath())));
    }

    // The entry at path; a deleted FAT entry may have lost its name's first character.
    TFileInfo record(const QString& path, bool deleted)
    {
        const auto found = m_session.find(path, deleted);
        if (found.size() == 1) {
            return TEngineSession::handBack(found.front()->Info);
        }
        for (const TEngineSession::TEntry& entry : m_session.entries()) {
            const QString name = entry.Path.section('/', -1);
            if (deleted && (entry.Info.Flags & flag_IS_DELETED) &&
                entry.Path.section('/', 0, -2) == path.section('/', 0, -2) &&
                name.mid(1).compare(path.section('/', -1).mid(1), Qt::CaseInsensitive) == 0) {
                return TEngineSession::handBack(entry.Info);
            }
        }
        ADD_FAILURE() << "no entry " << path.toStdString();
        return TFileInfo{};
    }

    static int32_t owners(const TFileInfo& record, QString& text)
    {
        char16_t buffer[1024];
        const int32_t count = VantrelClusterOwners(&record, buffer, 1024);
        text = QString::fromUtf16(buffer);
        return count;
    }

    TEngineSession m_session;
};

TEST_P(ClusterOwners, DeletedFilesNameTheLiveFileThatTookTheirClusters)
{
    QString text;
    EXPECT_EQ(owners(record("Gone/overwritten.bin", true), text), 1) << VantrelLastError();
    EXPECT_EQ(text.compare(GetParam().OverwrittenOwner, Qt::CaseInsensitive), 0) << text.toStdString();

    EXPECT_EQ(owners(record("Gone/partial.bin", true), text), 1) << VantrelLastError();
    EXPECT_EQ(text.compare(GetParam().PartialOwner, Qt::CaseInsensitive), 0) << text.toStdString();

    EXPECT_EQ(owners(record("Gone/intact.bin", true), text), 0) << VantrelLastError();
    EXPECT_TRUE(text.isEmpty());
}

TEST_P(ClusterOwners, TextIsCutToTheBufferAndRequestsItCannotAnswerFail)
{
    const TFileInfo overwritten = record("Gone/overwritten.bin", true);
    char16_t small[5];
    std::fill(std::begin(small), std::end(small), u'x');
    EXPECT_EQ(VantrelClusterOwners(&overwritten, small, 5), 1);
    EXPECT_EQ(QString::fromUtf16(small).size(), 4);
    EXPECT_EQ(VantrelClusterOwners(&overwritten, nullptr, 0), 1);

    EXPECT_EQ(VantrelClusterOwners(nullptr, nullptr, 0), -1);
    const TFileInfo live = record("Keep/live.txt", false);
    EXPECT_EQ(VantrelClusterOwners(&live, small, 5), -1);
    EXPECT_NE(QString(VantrelLastError()).indexOf("not deleted"), -1) << VantrelLastError();
    EXPECT_EQ(small[0], u'\0');
}

// Asked from several threads at once while the live file is read, every call gets the same
// answer: the walk holds the library to itself.
TEST_P(ClusterOwners, CallsFromSeveralThreadsBesideReadsAgree)
{
    const TFileInfo partial = record("Gone/partial.bin", true);
    const TFileInfo reader = record("Keep/live.txt", false);
    std::vector<std::thread> threads;
    std::vector<QString> answers(4);
    for (size_t i = 0; i < answers.size(); ++i) {
        threads.emplace_back([&, i] {
            QByteArray data;
            TEngineSession::readAll(reader, data, 64);
            owners(partial, answers[i]);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const QString& answer : answers) {
        EXPECT_EQ(answer.compare(GetParam().PartialOwner, Qt::CaseInsensitive), 0) << answer.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(RatingFixtures, ClusterOwners,
                         ::testing::Values(TOwnerCase{"ntfs-rating", "/Keep/grow1.bin", "/Keep/grow2.bin"},
                                           TOwnerCase{"fat32-rating", "/Keep/new1.bin", "/Keep/new2.bin"},
                                           TOwnerCase{"exfat-rating", "/Keep/new1.bin", "/Keep/new2.bin"}),
                         [](const auto& info) {
                             QString name = info.param.Fixture;
                             return name.remove('-').toStdString();
                         });

} // namespace
