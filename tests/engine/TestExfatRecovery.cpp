#include "TEngineSession.h"

#include "engine/format/TExfatEntrySet.h"
#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <span>

namespace {

// A deleted exFAT file stored without a FAT chain whose stream entry names a run that ends
// past the volume's last cluster is refused with a reason, never filled from whatever the
// image holds beyond.
TEST(ExfatRecovery, RunPastTheVolumeEndFailsTheFile)
{
    const TManifest manifest = TManifest::load("exfat-cases");
    ASSERT_TRUE(manifest.isValid());
    TTempDir dir;
    const QString image = dir.filePath("patched.img");
    ASSERT_TRUE(QFile::copy(manifest.imagePath(), image));
    const QString path = "Contig/first.bin";
    int64_t address = -1;
    {
        TEngineSession session;
        ASSERT_TRUE(session.enumerate(session.openImage(image)));
        const auto found = session.find(path, true);
        ASSERT_EQ(found.size(), 1u);
        address = found.front()->Info.Attributes;
    }

    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray boot = file.read(512);
    const auto u32 = [](const char* p) {
        return uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16 |
               uint32_t(uint8_t(p[3])) << 24;
    };
    const qint64 heap = qint64{u32(boot.constData() + 0x58)} << uint8_t(boot[0x6C]);
    const uint32_t clusters = u32(boot.constData() + 0x5C);
    const qint64 at = heap + (address - 3) * 32;
    ASSERT_TRUE(file.seek(at));
    QByteArray set = file.read(32 * 4);
    ASSERT_EQ(uint8_t(set[0]), 0x05) << "a deleted file entry";
    ASSERT_TRUE(uint8_t(set[33]) & 0x02) << "stored without a FAT chain";
    // The run of six clusters now starts two clusters before the heap's end.
    const uint32_t first = clusters;
    for (int i = 0; i < 4; ++i) {
        set[32 + 20 + i] = char(first >> (8 * i));
    }
    const auto bytes =
        std::span(reinterpret_cast<const uint8_t*>(set.constData()), size_t(32) * (1 + uint8_t(set[1])));
    const uint16_t sum = TExfatEntrySet::checksum(bytes);
    set[2] = char(sum & 0xFF);
    set[3] = char(sum >> 8);
    ASSERT_TRUE(file.seek(at));
    ASSERT_EQ(file.write(set), set.size());
    file.close();

    TEngineSession session;
    ASSERT_TRUE(session.enumerate(session.openImage(image)));
    const auto found = session.find(path, true);
    ASSERT_EQ(found.size(), 1u);
    const QString target = dir.filePath("first.bin");
    const TEngineSession::TRecovery result = TEngineSession::recover(found.front()->Info, target);
    EXPECT_EQ(result.Result, VANTREL_RECOVERY_READ_ERROR);
    EXPECT_TRUE(result.Message.contains("past the volume's last cluster")) << result.Message.toStdString();
    EXPECT_FALSE(QFile::exists(target)) << "no partial copy is left";
}

} // namespace
