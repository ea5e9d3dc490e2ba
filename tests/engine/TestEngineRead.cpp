// The read call beside everything else the engine does: requests it refuses, reads that
// come up short on a damaged image, and reads from several threads while copies run.
#include "TEngineSession.h"

#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QCryptographicHash>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const TEngineSession::TEntry* entryAt(const TEngineSession& session, const QString& path)
{
    const auto found = session.find(path, false);
    return found.size() == 1 ? found.front() : nullptr;
}

TEST(EngineRead, RequestsWithoutAnEntryOrADiskFail)
{
    TEngineSession session;
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
    const TEngineSession::TEntry* readme = entryAt(session, "README.TXT");
    ASSERT_NE(readme, nullptr);
    const TFileInfo record = TEngineSession::handBack(readme->Info);
    char buffer[64] = {};

    EXPECT_EQ(VantrelFileRead(nullptr, 0, buffer, sizeof buffer), -1);
    EXPECT_EQ(VantrelFileRead(&record, -1, buffer, sizeof buffer), -1);
    EXPECT_EQ(VantrelFileRead(&record, 0, nullptr, sizeof buffer), -1);
    EXPECT_EQ(VantrelFileRead(&record, 0, buffer, -5), -1);
    EXPECT_EQ(VantrelFileRead(&record, 0, nullptr, 0), 0);
    TFileInfo unknown = record;
    unknown.TrueId = 999999;
    unknown.Attributes = -1;
    EXPECT_EQ(VantrelFileRead(&unknown, 0, buffer, sizeof buffer), -1);
    EXPECT_NE(QString(VantrelLastError()).indexOf("999999"), -1) << VantrelLastError();

    // A failed initialisation ends the enumeration: nothing is left to read from.
    EXPECT_EQ(DiskInitialize(-3, 0), -1);
    EXPECT_EQ(VantrelFileRead(&record, 0, buffer, sizeof buffer), -1);
    EXPECT_STREQ(VantrelLastError(), "No disk is initialised.");
}

// On an image cut short, a file whose data runs past the cut reads up to it: the short
// read is the part that is there, and the read after it fails and says where.
TEST(EngineRead, DataPastADamagedImagesEndReadsShort)
{
    TEngineSession session;
    const TManifest manifest = TManifest::load("ntfs-truncated");
    ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
    int shortFiles = 0;
    for (const TEngineSession::TEntry& entry : session.entries()) {
        if ((entry.Info.Flags & (flag_IS_DIRECTORY | flag_NO_DATA)) || entry.Info.Size <= 0) {
            continue;
        }
        const TFileInfo record = TEngineSession::handBack(entry.Info);
        QByteArray data;
        const int64_t got = TEngineSession::readAll(record, data);
        if (got < 0 || got == entry.Info.Size) {
            continue;
        }
        ++shortFiles;
        char probe = 0;
        EXPECT_EQ(VantrelFileRead(&record, got, &probe, 1), -1) << entry.Path.toStdString();
        EXPECT_NE(QString(VantrelLastError()).indexOf(QString("at byte %1").arg(got)), -1)
            << VantrelLastError();
    }
    EXPECT_GT(shortFiles, 0) << "the image is cut through a file's data";
}

// Reads from several threads, and a copy running beside them, each get the file's bytes:
// the library's file handles are never used by two threads at once.
TEST(EngineRead, ConcurrentReadsAndCopiesGetTheirOwnBytes)
{
    TEngineSession session;
    const TManifest manifest = TManifest::load("ntfs");
    ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
    const QStringList paths = {"Data/replacement.bin", "Pictures/photo.bin", "README.TXT",
                               "Docs/Report 2024.txt"};
    std::vector<TFileInfo> records;
    std::vector<QByteArray> expected;
    for (const QString& path : paths) {
        const TEngineSession::TEntry* entry = entryAt(session, path);
        ASSERT_NE(entry, nullptr) << path.toStdString();
        records.push_back(TEngineSession::handBack(entry->Info));
        QByteArray data;
        ASSERT_EQ(TEngineSession::readAll(records.back(), data), entry->Info.Size);
        expected.push_back(data);
    }

    TTempDir dir;
    const std::u16string target = dir.filePath("copy.bin").toStdU16String();
    const TVantrelHandle copy = FileRecovery(target.c_str(), nullptr, &records[0]);
    ASSERT_GT(copy, 0);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> readers;
    for (size_t i = 0; i < records.size(); ++i) {
        readers.emplace_back([&, i] {
            for (int round = 0; round < 3; ++round) {
                QByteArray data;
                // Small odd chunks make the threads take turns on the engine many times.
                if (TEngineSession::readAll(records[i], data, 4093) != expected[i].size() ||
                    data != expected[i]) {
                    ++mismatches;
                }
            }
        });
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
    ASSERT_EQ(TEngineSession::waitFor(copy).Result, VANTREL_RECOVERY_OK);
    QFile file(dir.filePath("copy.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected[0]);
}

} // namespace
