#include "TEngineSession.h"

#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

// Fixture images with a few bytes changed the way a damaged or hostile disk changes
// them: the engine lists what it can and never overflows, loads an invalid value or hangs.

namespace {

// A copy of a fixture image, changed by edit, in a temporary folder.
QString changedCopy(const TTempDir& dir, const char* fixture, const std::function<void(QByteArray&)>& edit)
{
    QFile source(TManifest::load(QString::fromLatin1(fixture)).imagePath());
    if (!source.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = source.readAll();
    edit(bytes);
    const QString path = dir.filePath(QStringLiteral("%1-changed.img").arg(QLatin1String(fixture)));
    QFile target(path);
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace

TEST(EngineHostileImage, HugeNtfsSectorCountGivesSaneSizes)
{
    TTempDir dir;
    const QString image = changedCopy(dir, "ntfs", [](QByteArray& bytes) {
        // The boot sector's total sector count, at offset 40, at its largest.
        const uint64_t huge = 0x7FFFFFFFFFFFFFFFULL;
        std::memcpy(bytes.data() + 40, &huge, sizeof huge);
    });
    ASSERT_FALSE(image.isEmpty());
    TEngineSession session;
    const int32_t id = session.openImage(image);
    ASSERT_GE(id, 0);
    const TDriveInfo* info = session.drive(id);
    ASSERT_NE(info, nullptr);
    EXPECT_GE(info->SpaceTotal, 0) << "the size saturates instead of wrapping around";
}

TEST(EngineHostileImage, HugeNtfsSectorCountStillListsEveryRecord)
{
    TTempDir dir;
    const QString image = changedCopy(dir, "ntfs", [](QByteArray& bytes) {
        const uint64_t huge = 0x7FFFFFFFFFFFFFFFULL;
        std::memcpy(bytes.data() + 40, &huge, sizeof huge);
    });
    ASSERT_FALSE(image.isEmpty());
    size_t intact = 0;
    {
        TEngineSession session;
        const int32_t id = session.openImage(TManifest::load(QStringLiteral("ntfs")).imagePath());
        ASSERT_TRUE(session.enumerate(id));
        intact = session.entries().size();
    }
    TEngineSession session;
    const int32_t id = session.openImage(image);
    ASSERT_GE(id, 0);
    // The cluster map of the deleted files' ratings is sized by the volume's $Bitmap, not
    // by a cluster count of petabytes that no allocation can hold.
    ASSERT_TRUE(session.enumerate(id));
    EXPECT_EQ(session.entries().size(), intact);
}

TEST(EngineHostileImage, UnknownAttributeTypesInRecordsAreSkipped)
{
    TTempDir dir;
    int changed = 0;
    const QString image = changedCopy(dir, "ntfs", [&changed](QByteArray& bytes) {
        // Every file-name attribute (type 0x30) of the records past the system files gets
        // a type no attribute has.
        char* data = bytes.data();
        const qsizetype size = bytes.size();
        auto u32 = [&](qsizetype at) {
            uint32_t value = 0;
            if (at >= 0 && at + 4 <= size)
                std::memcpy(&value, data + at, sizeof value);
            return value;
        };
        for (qsizetype at = 0; at + 1024 <= size; at += 1024) {
            if (std::memcmp(data + at, "FILE", 4) != 0 || u32(at + 44) < 64)
                continue;
            qsizetype offset = u32(at + 20) & 0xFFFF;
            while (offset + 8 <= 1024) {
                const uint32_t type = u32(at + offset), length = u32(at + offset + 4);
                if (type == 0xFFFFFFFF || length < 8 || offset + length > 1024)
                    break;
                if (type == 0x30) {
                    // Beyond every value the library's type enum can hold.
                    const uint32_t unknown = 0x40000030;
                    std::memcpy(data + at + offset, &unknown, sizeof unknown);
                    ++changed;
                }
                offset += length;
            }
        }
    });
    ASSERT_FALSE(image.isEmpty());
    ASSERT_GT(changed, 0);
    TEngineSession session;
    const int32_t id = session.openImage(image);
    ASSERT_GE(id, 0);
    // The records still list (nameless), or the volume fails cleanly; nothing undefined happens.
    if (session.enumerate(id)) {
        EXPECT_GT(session.calls(), 0);
    } else {
        EXPECT_STRNE(VantrelLastError(), "");
    }
}

TEST(EngineHostileImage, RaisedMftSizeDoesNotWalkRecordsThatAreNotThere)
{
    TTempDir dir;
    bool raised = false;
    const QString image = changedCopy(dir, "ntfs", [&raised](QByteArray& bytes) {
        char* data = bytes.data();
        auto u64 = [&](qsizetype at) {
            uint64_t value = 0;
            if (at >= 0 && at + 8 <= bytes.size())
                std::memcpy(&value, data + at, sizeof value);
            return value;
        };
        const uint64_t cluster = uint64_t(uint8_t(data[11]) | uint8_t(data[12]) << 8) * uint8_t(data[13]);
        const qsizetype mft = qsizetype(u64(0x30) * cluster);
        if (mft <= 0 || mft + 1024 > bytes.size() || std::memcmp(data + mft, "FILE", 4) != 0)
            return;
        // The $DATA attribute of record 0: its allocated, real and initialised sizes
        // raised by 2^40, two bytes changed each.
        qsizetype offset = qsizetype(u64(mft + 20) & 0xFFFF);
        while (offset + 0x40 <= 1024) {
            const uint32_t type = uint32_t(u64(mft + offset)), length = uint32_t(u64(mft + offset + 4));
            if (type == 0xFFFFFFFF || length < 8)
                return;
            if (type == 0x80 && data[mft + offset + 8] == 1) {
                for (int field : {0x28, 0x30, 0x38}) {
                    const uint64_t size = u64(mft + offset + field) + (uint64_t{1} << 40);
                    std::memcpy(data + mft + offset + field, &size, sizeof size);
                }
                raised = true;
                return;
            }
            offset += length;
        }
    });
    ASSERT_FALSE(image.isEmpty());
    ASSERT_TRUE(raised);
    TEngineSession session;
    const int32_t id = session.openImage(image);
    ASSERT_GE(id, 0);
    if (session.enumerate(id)) {
        EXPECT_LT(session.calls(), 100000) << "the records the runs hold, not 2^40 bytes of them";
    }
}

namespace {

uint32_t crc32(const char* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= uint8_t(data[i]);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

TEST(EngineHostileImage, PartitionTableClaimingBillionsOfEntriesIsNotWalked)
{
    TTempDir dir;
    const QString image = changedCopy(dir, "fat16", [](QByteArray& bytes) {
        char* data = bytes.data();
        // A protective MBR entry and a GPT header with a correct checksum that claims
        // 0xFFFFFFFF entries of 128 bytes.
        data[0x1BE + 4] = char(0xEE);
        const uint32_t one = 1, all = uint32_t(bytes.size() / 512 - 1);
        std::memcpy(data + 0x1BE + 8, &one, 4);
        std::memcpy(data + 0x1BE + 12, &all, 4);
        char header[92] = {};
        std::memcpy(header, "EFI PART", 8);
        const uint32_t revision = 0x00010000, size = 92, count = 0xFFFFFFFF, entrySize = 128;
        const uint64_t current = 1, backup = all, firstUsable = 34, lastUsable = all - 33, entries = 2;
        std::memcpy(header + 8, &revision, 4);
        std::memcpy(header + 12, &size, 4);
        std::memcpy(header + 24, &current, 8);
        std::memcpy(header + 32, &backup, 8);
        std::memcpy(header + 40, &firstUsable, 8);
        std::memcpy(header + 48, &lastUsable, 8);
        std::memcpy(header + 72, &entries, 8);
        std::memcpy(header + 80, &count, 4);
        std::memcpy(header + 84, &entrySize, 4);
        const uint32_t crc = crc32(header, sizeof header);
        std::memcpy(header + 16, &crc, 4);
        std::memcpy(data + 512, header, sizeof header);
    });
    ASSERT_FALSE(image.isEmpty());
    // A large disk behind the table (sparse: nothing is written), so that walking the
    // entries the header claims would read gigabytes.
    ASSERT_TRUE(QFile::resize(image, qint64(4) << 30));
    TEngineSession session;
    EXPECT_GE(session.openImage(image), 0) << "the image stands as one volume, listed at once";
}
