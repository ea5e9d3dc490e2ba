#include "engine/VantrelLib.h"
#include "engine/format/TAllocationMap.h"
#include "engine/format/TRecoveryRating.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// The count a cluster-by-cluster look gives, clusters outside the map in use.
uint64_t slowCount(const std::vector<bool>& used, uint64_t base, uint64_t first, uint64_t count)
{
    uint64_t n = 0;
    for (uint64_t c = first; c < first + count; ++c) {
        n += c < base || c - base >= used.size() || used[c - base];
    }
    return n;
}

} // namespace

TEST(AllocationMap, CountsWordWiseAsClusterByCluster)
{
    // A bitmap copied from an unaligned cluster, with ranges across word edges and past both ends.
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(97);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    const uint64_t base = 2;
    const uint64_t count = bytes.size() * 8 - 3;
    TAllocationMap map;
    map.reset(base, count);
    map.setBitmap(base + 5, bytes);                  // bits past the map's end are dropped
    map.setBitmap(base, std::vector<uint8_t>{0xFF}); // and an aligned copy overwrites the first byte
    std::vector<bool> used(count, false);
    for (uint64_t bit = 0; bit + 5 < count; ++bit) {
        used[bit + 5] = (bytes[bit / 8] >> (bit % 8)) & 1;
    }
    for (uint64_t bit = 0; bit < 8; ++bit) {
        used[bit] = true;
    }
    for (int i = 0; i < 2000; ++i) {
        const uint64_t first = random() % (count + 10);
        const uint64_t length = random() % 200;
        ASSERT_EQ(map.countUsed(first, length), slowCount(used, base, first, length))
            << first << "+" << length;
    }
    EXPECT_EQ(map.countUsed(0, 2), 2u) << "clusters below the map count as in use";
    EXPECT_EQ(map.countUsed(base + count, uint64_t{1} << 40), uint64_t{1} << 40);
}

TEST(AllocationMap, FatEntriesOtherThanZeroMarkTheirCluster)
{
    TAllocationMap map;
    map.reset(0, 8);
    // 12-bit entries 2..7: 0xFFF, 0, 0x003, 0, 0, 0x800 (two entries share three bytes).
    map.setFromFat(2, std::vector<uint8_t>{0xFF, 0x0F, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x80}, 12);
    EXPECT_EQ(map.countUsed(2, 6), 3u);
    EXPECT_TRUE(map.isUsed(2));
    EXPECT_FALSE(map.isUsed(3));
    EXPECT_TRUE(map.isUsed(4));
    EXPECT_TRUE(map.isUsed(7));

    // 32-bit entries: the top four bits are not part of the entry.
    map.reset(0, 4);
    map.setFromFat(1, std::vector<uint8_t>{0, 0, 0, 0xF0, 5, 0, 0, 0, 0, 0, 0, 0}, 32);
    EXPECT_FALSE(map.isUsed(1));
    EXPECT_TRUE(map.isUsed(2));
    EXPECT_FALSE(map.isUsed(3));
}

TEST(RecoveryRating, KnownAndAssumedClusters)
{
    EXPECT_EQ(TRecoveryRating::knownClusters(0, 0), flag_RATING_INTACT);
    EXPECT_EQ(TRecoveryRating::knownClusters(0, 8), flag_RATING_INTACT);
    EXPECT_EQ(TRecoveryRating::knownClusters(8, 8), flag_RATING_OVERWRITTEN);
    const int64_t partial = TRecoveryRating::knownClusters(3, 8);
    EXPECT_EQ(TRecoveryRating::rating(partial), flag_RATING_PARTIAL);
    EXPECT_EQ(TRecoveryRating::percentOf(partial), 38);
    // A share between none and all never reads as 0 % or 100 %.
    EXPECT_EQ(TRecoveryRating::percentOf(TRecoveryRating::knownClusters(1, 100000)), 1);
    EXPECT_EQ(TRecoveryRating::percentOf(TRecoveryRating::knownClusters(99999, 100000)), 99);

    // Only the first cluster is known: in use, the file is gone whatever follows.
    EXPECT_EQ(TRecoveryRating::assumedClusters(true, 1, 8), flag_RATING_OVERWRITTEN);
    EXPECT_EQ(TRecoveryRating::assumedClusters(false, 0, 8), flag_RATING_INTACT);
    const int64_t guess = TRecoveryRating::assumedClusters(false, 7, 8);
    EXPECT_EQ(TRecoveryRating::rating(guess), flag_RATING_GUESS);
    EXPECT_EQ(TRecoveryRating::percentOf(guess), 88);
}
