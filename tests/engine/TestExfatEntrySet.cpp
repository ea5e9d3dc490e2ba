#include "TEngineSession.h"

#include "engine/format/TExfatEntrySet.h"
#include "engine/format/TExfatGeometry.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr size_t kSlot = TExfatEntrySet::kEntrySize;

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    put16(b, at, static_cast<uint16_t>(v));
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
void put64(std::vector<uint8_t>& b, size_t at, uint64_t v)
{
    put32(b, at, static_cast<uint32_t>(v));
    put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

// A file's entry set as a driver writes it, the checksum computed here independently;
// deleting clears the in-use bit of every entry and leaves the checksum as it was.
std::vector<uint8_t> makeSet(const std::u16string& name, uint8_t streamFlags, uint32_t first, uint64_t length,
                             bool deleted)
{
    const size_t names = (name.size() + 14) / 15;
    std::vector<uint8_t> b((2 + names) * kSlot, 0);
    b[0] = 0x85;
    b[1] = static_cast<uint8_t>(1 + names);
    put16(b, 4, 0x20);
    b[kSlot] = 0xC0;
    b[kSlot + 1] = streamFlags;
    b[kSlot + 3] = static_cast<uint8_t>(name.size());
    put64(b, kSlot + 8, length);
    put32(b, kSlot + 20, first);
    put64(b, kSlot + 24, length);
    for (size_t i = 0; i < name.size(); ++i) {
        const size_t entry = (2 + i / 15) * kSlot;
        b[entry] = 0xC1;
        put16(b, entry + 2 + 2 * (i % 15), name[i]);
    }
    uint16_t sum = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        if (i != 2 && i != 3) {
            sum = static_cast<uint16_t>(((sum & 1) << 15 | sum >> 1) + b[i]);
        }
    }
    put16(b, 2, sum);
    if (deleted) {
        for (size_t at = 0; at < b.size(); at += kSlot) {
            b[at] &= 0x7F;
        }
    }
    return b;
}

TEST(ExfatEntrySet, DeletedSetWithoutFatChainGivesItsRunAndName)
{
    const std::u16string name = u"a rather long file name.bin"; // two name entries
    std::vector<uint8_t> folder = makeSet(u"live.txt", 0x01, 9, 100, false);
    const std::vector<uint8_t> deleted = makeSet(name, 0x03, 40, 5 * 4096 + 1, true);
    folder.insert(folder.end(), deleted.begin(), deleted.end());
    folder.resize(folder.size() + 4 * kSlot, 0); // end of folder

    const auto found = TExfatEntrySet::scan(folder);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_FALSE(found[0].set.deleted);
    EXPECT_FALSE(found[0].set.noFatChain);
    const TExfatEntrySet& set = found[1].set;
    EXPECT_EQ(found[1].offset, 3 * kSlot);
    EXPECT_TRUE(set.deleted);
    EXPECT_TRUE(set.checksumOk);
    EXPECT_TRUE(set.noFatChain);
    EXPECT_EQ(set.name, name);
    EXPECT_EQ(set.firstCluster, 40u);
    EXPECT_EQ(set.dataLength, 5u * 4096 + 1);

    // The run is every cluster the length touches, and it must end inside the volume.
    TExfatGeometry geometry;
    geometry.heapOffset = 1 << 20;
    geometry.clusterSize = 4096;
    geometry.clusterCount = 45; // clusters 2..46
    std::string error;
    const auto run = geometry.contiguousRun(set.firstCluster, set.dataLength, error);
    ASSERT_TRUE(run.has_value()) << error;
    EXPECT_EQ(run->offset, (1u << 20) + 38u * 4096);
    EXPECT_EQ(run->length, 6u * 4096);
    geometry.clusterCount = 43; // clusters 2..44: the run's last cluster, 45, is past the end
    EXPECT_FALSE(geometry.contiguousRun(set.firstCluster, set.dataLength, error).has_value());
    EXPECT_NE(error.find("45"), std::string::npos) << error;
    EXPECT_FALSE(geometry.contiguousRun(1, 10, error).has_value());
    EXPECT_FALSE(geometry.contiguousRun(0xFFFFFFFFu, UINT64_MAX, error).has_value());

    // A damaged set is not taken, and does not hide the set after it.
    std::vector<uint8_t> damaged = folder;
    damaged[2 * kSlot + 2] ^= 1;
    const auto rest = TExfatEntrySet::scan(damaged);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].set.name, name);
}

TEST(ExfatEntrySet, HostileCountsAndTruncatedBuffersAreRefused)
{
    const std::vector<uint8_t> good = makeSet(u"some file name that is long.txt", 0x03, 7, 10, false);
    ASSERT_TRUE(TExfatEntrySet::parse(good).has_value());
    for (size_t size = 0; size < good.size(); ++size) {
        EXPECT_FALSE(TExfatEntrySet::parse(std::span(good.data(), size)).has_value()) << size;
    }
    std::vector<uint8_t> hostile = good;
    hostile[1] = 255; // more secondaries than the buffer holds
    EXPECT_FALSE(TExfatEntrySet::parse(hostile).has_value());
    hostile = good;
    hostile[kSlot + 3] = 200; // a name longer than its name entries
    EXPECT_FALSE(TExfatEntrySet::parse(hostile).has_value());
    hostile = good;
    hostile[1] = 1; // no room for a name entry
    EXPECT_FALSE(TExfatEntrySet::parse(hostile).has_value());
    hostile = good;
    hostile[kSlot] = 0x40; // a deleted stream under a live file entry
    EXPECT_FALSE(TExfatEntrySet::parse(hostile).has_value());

    // Random bytes sprinkled with file entry types: scanning ends and stays in bounds.
    std::mt19937 random(7);
    std::vector<uint8_t> noise(64 * kSlot);
    for (uint8_t& byte : noise) {
        byte = static_cast<uint8_t>(random());
    }
    for (size_t at = 0; at + kSlot < noise.size(); at += 3 * kSlot) {
        noise[at] = 0x85;
        noise[at + kSlot] = 0xC0;
    }
    for (size_t cut = 0; cut <= noise.size(); cut += 37) {
        for (const auto& found : TExfatEntrySet::scan(std::span(noise.data(), cut))) {
            EXPECT_LE(found.offset + found.set.slotCount * kSlot, cut);
        }
    }

    std::vector<uint8_t> boot(512, 0);
    boot[0x6C] = 9;
    boot[0x6D] = 17; // 64 MiB clusters: beyond the format
    put32(boot, 0x58, 2048);
    put32(boot, 0x5C, 100);
    EXPECT_FALSE(TExfatGeometry::parse(boot).has_value());
    boot[0x6D] = 3;
    const auto geometry = TExfatGeometry::parse(boot);
    ASSERT_TRUE(geometry.has_value());
    EXPECT_EQ(geometry->clusterSize, 4096u);
    EXPECT_EQ(geometry->entryOffset(3), 2048u * 512);
    EXPECT_EQ(geometry->addressAt(*geometry->entryOffset(1000)), 1000u);
    EXPECT_FALSE(geometry->entryOffset(3 + 100 * 4096 / kSlot).has_value()) << "past the heap";
    EXPECT_FALSE(TExfatGeometry::parse(std::span(boot.data(), 100)).has_value());
}

TEST(ExfatEntrySet, TimesCarryTheirOffsetAndTenMillisecondParts)
{
    // 2024-03-07 15:30:20 on the writer's clock.
    const uint32_t fields = (44u << 25) | (3u << 21) | (7u << 16) | (15u << 11) | (30u << 5) | 10u;
    const auto at = [](TFileTime time) { return TEngineSession::toDateTime(time); };
    const QDate day(2024, 3, 7);

    // +05:30 (22 quarter hours), 1.57 s past the even second.
    EXPECT_EQ(at(TExfatEntrySet::toFileTime({fields, 157, 0x80 | 22})),
              QDateTime(day, QTime(10, 0, 21, 570), Qt::UTC));
    // -03:45 (-15 quarter hours, seven-bit two's complement).
    EXPECT_EQ(at(TExfatEntrySet::toFileTime({fields, 0, 0x80 | (0x80 - 15)})),
              QDateTime(day, QTime(19, 15, 20), Qt::UTC));
    // No valid offset: the fields as written, like FAT.
    EXPECT_EQ(at(TExfatEntrySet::toFileTime({fields, 199, 22})),
              QDateTime(day, QTime(15, 30, 21, 990), Qt::UTC));
    // An increment past 1.99 s is ignored; impossible fields give no time.
    EXPECT_EQ(at(TExfatEntrySet::toFileTime({fields, 250, 0x80})),
              QDateTime(day, QTime(15, 30, 20), Qt::UTC));
    EXPECT_EQ(TExfatEntrySet::toFileTime({(44u << 25) | (2u << 21) | (30u << 16), 0, 0x80}), 0u)
        << "30 February";
    EXPECT_EQ(TExfatEntrySet::toFileTime({(43u << 25) | (2u << 21) | (29u << 16), 0, 0x80}), 0u)
        << "2023 not leap";
    EXPECT_NE(TExfatEntrySet::toFileTime({(44u << 25) | (2u << 21) | (29u << 16), 0, 0x80}), 0u)
        << "2024 leap";

    // The parsed set reads each time from its own fields.
    std::vector<uint8_t> set = makeSet(u"t.txt", 0x03, 5, 1, false);
    put32(set, 12, fields); // modified
    set[21] = 157;
    set[23] = 0x80 | 22;
    const auto parsed = TExfatEntrySet::parsePrimary(set);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(at(parsed->modified()), QDateTime(day, QTime(10, 0, 21, 570), Qt::UTC));
    EXPECT_EQ(parsed->created(), 0u);
}

} // namespace
