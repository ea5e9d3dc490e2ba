#include "engine/format/TFatChainRebuild.h"
#include "engine/format/TFatDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;
constexpr size_t kClusterSlots = 16;

// An 8.3 slot; a deleted one has 0xE5 in place of its first character.
TBytes shortSlot(const char (&name)[12], uint8_t attributes, uint32_t cluster, bool deleted = false)
{
    TBytes slot(32, 0);
    std::memcpy(slot.data(), name, 11);
    if (deleted) {
        slot[0] = 0xE5;
    }
    slot[11] = attributes;
    slot[20] = static_cast<uint8_t>(cluster >> 16);
    slot[21] = static_cast<uint8_t>(cluster >> 24);
    slot[26] = static_cast<uint8_t>(cluster);
    slot[27] = static_cast<uint8_t>(cluster >> 8);
    slot[22] = 0x00;
    slot[23] = 0x48; // 09:00:00
    slot[24] = 0x21;
    slot[25] = 0x58; // 2024-01-01
    return slot;
}

// The long-name slots of `name` in disk order (highest part first), deleted ones marked.
TBytes longSlots(const std::u16string& name, uint8_t checksum, bool deleted = false)
{
    std::u16string padded = name;
    padded.push_back(u'\0');
    while (padded.size() % 13 != 0) {
        padded.push_back(u'\xFFFF');
    }
    const size_t parts = padded.size() / 13;
    TBytes bytes;
    static constexpr size_t kOffsets[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (size_t part = parts; part-- > 0;) {
        TBytes slot(32, 0);
        slot[0] = deleted ? 0xE5 : static_cast<uint8_t>((part + 1) | (part + 1 == parts ? 0x40 : 0));
        slot[11] = 0x0F;
        slot[13] = checksum;
        for (size_t i = 0; i < 13; ++i) {
            const char16_t c = padded[part * 13 + i];
            slot[kOffsets[i]] = static_cast<uint8_t>(c);
            slot[kOffsets[i] + 1] = static_cast<uint8_t>(c >> 8);
        }
        bytes.insert(bytes.end(), slot.begin(), slot.end());
    }
    return bytes;
}

uint8_t checksumOf(const char (&name)[12])
{
    return TFatDirectory::checksum(reinterpret_cast<const uint8_t*>(name));
}

void append(TBytes& to, const TBytes& from)
{
    to.insert(to.end(), from.begin(), from.end());
}

// A cluster of a folder: its slots, filled up with deleted entries or closed by the end marker.
TBytes cluster(TBytes slots, bool full)
{
    int filler = 0;
    while (full && slots.size() < kClusterSlots * 32) {
        char name[12] = "FILL    TXT";
        name[4] = static_cast<char>('A' + filler++ % 26);
        append(slots, shortSlot(reinterpret_cast<const char(&)[12]>(name), 0x20, 0, true));
    }
    slots.resize(kClusterSlots * 32, 0);
    return slots;
}

TBytes head(uint32_t self, uint32_t parent, TBytes rest, bool full)
{
    TBytes slots = shortSlot(".          ", 0x10, self);
    append(slots, shortSlot("..         ", 0x10, parent));
    append(slots, rest);
    return cluster(slots, full);
}

} // namespace

TEST(FatDirectory, LongNamesAreKeptOnlyWhenTheirChecksumMatchesTheEntry)
{
    TBytes bytes = longSlots(u"Quarterly report.txt", checksumOf("QUARTE~1TXT"), true);
    append(bytes, shortSlot("QUARTE~1TXT", 0x20, 7, true));
    // A stale long name left over from another entry before an unrelated deleted one.
    append(bytes, longSlots(u"Old name of something.txt", checksumOf("OLDNAM~1TXT"), true));
    append(bytes, shortSlot("SHORT   TXT", 0x20, 9, true));
    append(bytes, longSlots(u"Résumé.txt", checksumOf("RSUM~1  TXT"), false));
    append(bytes, shortSlot("RSUM~1  TXT", 0x20, 11));

    const std::vector<TFatDirectory::TEntry> entries = TFatDirectory::parse(bytes);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].displayName(), u"Quarterly report.txt");
    EXPECT_TRUE(entries[0].deleted);
    EXPECT_EQ(entries[0].firstCluster, 7u);
    EXPECT_EQ(entries[1].displayName(), u"_HORT.TXT");
    EXPECT_EQ(entries[2].displayName(), u"Résumé.txt");
}

TEST(FatDirectory, HostileBuffersYieldNothingOrWhatParses)
{
    EXPECT_TRUE(TFatDirectory::parse(TBytes(31, 0x41)).empty());
    EXPECT_TRUE(TFatDirectory::parse(TBytes(4096, 0xFF)).empty());
    EXPECT_FALSE(TFatDirectory::holdsOnlyEntries(TBytes(512, 0)));
    // Text is not a folder, even with plausible names in it.
    const std::string text(512, '7');
    EXPECT_FALSE(TFatDirectory::holdsOnlyEntries(TBytes(text.begin(), text.end())));
    // Long-name slots with no entry after them, cut at the end of the buffer.
    TBytes open = longSlots(u"A name that never ends here.txt", 0x5A, true);
    EXPECT_TRUE(TFatDirectory::parse(open).empty());
    uint32_t parent = 0;
    EXPECT_FALSE(TFatDirectory::isFolderHead(TBytes(40, 0), 2, &parent));
}

TEST(FatChainRebuild, FoldersThatGrewInAlternationEachKeepTheirClusters)
{
    TFatChainRebuild rebuild;
    // A opens at 10, B at 11; their later clusters interleave and a data cluster sits between.
    rebuild.addCluster(10, head(10, 0, {}, true));
    rebuild.addCluster(11, head(11, 0, {}, true));
    rebuild.addCluster(12, cluster({}, true));
    rebuild.addCluster(13, cluster({}, true));
    rebuild.addCluster(14, TBytes(512, 'x'));
    rebuild.addCluster(15, cluster(shortSlot("LAST    TXT", 0x20, 0, true), false));
    rebuild.addCluster(16, cluster(shortSlot("END     TXT", 0x20, 0, true), false));
    const auto chains = rebuild.rebuild();
    EXPECT_EQ(chains.at(10), (std::vector<uint32_t>{10, 12, 15}));
    EXPECT_EQ(chains.at(11), (std::vector<uint32_t>{11, 13, 16}));
}

TEST(FatChainRebuild, ProvenLinksWinOverTheNearestCluster)
{
    TFatChainRebuild rebuild;
    // A's first cluster ends inside a long name that cluster 30 finishes; B's sub-folder
    // at 40 names B as its parent from inside cluster 21.
    const std::u16string name = u"A long name that crosses the cluster boundary.txt";
    const uint8_t sum = checksumOf("ALONGN~1TXT");
    TBytes slots = longSlots(name, sum, true);
    TBytes first(slots.begin(), slots.begin() + 32 * 2);
    TBytes rest(slots.begin() + 32 * 2, slots.end());
    TBytes aHead = shortSlot(".          ", 0x10, 10);
    append(aHead, shortSlot("..         ", 0x10, 0));
    while (aHead.size() < (kClusterSlots - 2) * 32) {
        append(aHead, shortSlot("FILLER  TXT", 0x20, 0, true));
    }
    append(aHead, first);
    ASSERT_EQ(aHead.size(), kClusterSlots * 32);
    TBytes aNext = rest;
    append(aNext, shortSlot("ALONGN~1TXT", 0x20, 0, true));
    rebuild.addCluster(10, aHead);
    rebuild.addCluster(11, head(11, 0, {}, true));
    rebuild.addCluster(20, cluster({}, true));
    rebuild.addCluster(21, cluster(shortSlot("SUBDIR     ", 0x10, 40, true), false));
    rebuild.addCluster(30, cluster(aNext, false));
    rebuild.addCluster(40, head(40, 11, {}, false));
    const auto chains = rebuild.rebuild();
    EXPECT_EQ(chains.at(10), (std::vector<uint32_t>{10, 30}));
    EXPECT_EQ(chains.at(11), (std::vector<uint32_t>{11, 21}));
    EXPECT_EQ(chains.at(40), (std::vector<uint32_t>{40}));

    std::vector<uint8_t> joined = aHead;
    append(joined, cluster(aNext, false));
    const auto entries = TFatDirectory::parse(joined);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().displayName(), name);
}
