#include "TEngineSession.h"

#include "TestConfig.h"
#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

const QString kRawImage = QStringLiteral(BREVANT_TEST_IMAGE_DIR "/fat16.img");

// What a scan of an image shows and what recovering each file gives.
struct TScan
{
    std::vector<std::tuple<std::string, int64_t, bool>> Entries;     // path, size, deleted
    std::map<std::string, std::pair<int32_t, QByteArray>> Recovered; // path: result, bytes
};

// Scans the image's first volume and recovers every file in it into the folder.
TScan scanOf(const QString& image, const TTempDir& folder)
{
    TScan scan;
    TEngineSession session;
    const int32_t volume = session.openImage(image);
    EXPECT_GE(volume, 0) << image.toStdString() << ": " << VantrelLastError();
    if (volume < 0 || !session.enumerate(volume)) {
        ADD_FAILURE() << image.toStdString() << " does not enumerate: " << VantrelLastError();
        return scan;
    }
    int index = 0;
    for (const TEngineSession::TEntry& entry : session.entries()) {
        const bool deleted = (entry.Info.Flags & flag_IS_DELETED) != 0;
        const std::string path = entry.Path.toStdString() + (deleted ? " (deleted)" : "");
        scan.Entries.emplace_back(path, entry.Info.Size, deleted);
        if ((entry.Info.Flags & flag_IS_DIRECTORY) != 0) {
            continue;
        }
        const QString target = folder.filePath(QString::number(index++));
        const TEngineSession::TRecovery recovery = TEngineSession::recover(entry.Info, target);
        QFile copy(target);
        QByteArray bytes;
        if (copy.open(QIODevice::ReadOnly)) {
            bytes = copy.readAll();
        }
        scan.Recovered[path] = {recovery.Result, bytes};
    }
    return scan;
}

void expectSameScan(const TScan& raw, const TScan& copy)
{
    ASSERT_FALSE(raw.Entries.empty());
    EXPECT_EQ(copy.Entries, raw.Entries);
    ASSERT_EQ(copy.Recovered.size(), raw.Recovered.size());
    int recovered = 0;
    for (const auto& [path, result] : raw.Recovered) {
        const auto found = copy.Recovered.find(path);
        ASSERT_NE(found, copy.Recovered.end()) << path;
        EXPECT_EQ(found->second.first, result.first) << path;
        EXPECT_TRUE(found->second.second == result.second) << path << ": recovered bytes differ";
        recovered += result.first == VANTREL_RECOVERY_OK && !result.second.isEmpty() ? 1 : 0;
    }
    EXPECT_GT(recovered, 0) << "no file with content was recovered";
}

// Each copy of the FAT16 fixture in another image format (tests/data/formats) shows the same
// entries as the raw image, and every file recovers from it with the same bytes.
class EngineImageFormat : public testing::TestWithParam<const char*>
{
};

TEST_P(EngineImageFormat, ScansAndRecoversLikeTheRawImage)
{
    TTempDir rawFolder;
    TTempDir copyFolder;
    const TScan raw = scanOf(kRawImage, rawFolder);
    const TScan copy = scanOf(QStringLiteral(BREVANT_TEST_IMAGE_DIR "/formats/") + GetParam(), copyFolder);
    expectSameScan(raw, copy);
}

// A split image is named by its first part; the other parts are found beside it.
INSTANTIATE_TEST_SUITE_P(Fat16, EngineImageFormat,
                         testing::Values("fat16-split.001", "fat16-dynamic.vhd", "fat16-fixed.vhd",
                                         "fat16.vmdk", "fat16.E01", "fat16.aff", "fat16.qcow2", "fat16.vhdx"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// The committed split copy keeps the whole file system in its first part. Parts cut inside the
// folders and file contents, at odd sizes, must read as one image all the same.
TEST(EngineSplitImage, PartsCutInsideTheDataReadAsOneImage)
{
    QFile source(kRawImage);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray image = source.readAll();
    TTempDir parts;
    const std::vector<qsizetype> cuts{0, 70001, 131073, 150000, image.size()};
    for (size_t part = 0; part + 1 < cuts.size(); ++part) {
        QFile file(parts.filePath(QString("cut.%1").arg(part + 1, 3, 10, QChar('0'))));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(image.mid(cuts[part], cuts[part + 1] - cuts[part])),
                  cuts[part + 1] - cuts[part]);
    }
    TTempDir rawFolder;
    TTempDir copyFolder;
    const TScan raw = scanOf(kRawImage, rawFolder);
    const TScan split = scanOf(parts.filePath("cut.001"), copyFolder);
    expectSameScan(raw, split);
}

} // namespace
