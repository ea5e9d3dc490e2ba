#include "TEngineSession.h"

#include "engine/format/TExfatChainRebuild.h"
#include "support/TManifest.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

constexpr size_t kSlot = TExfatChainRebuild::kEntrySize;
constexpr size_t kCluster = 16 * kSlot;

using TBytes = std::vector<uint8_t>;

// A deleted entry set (file entry, stream extension, name entries), its checksum computed
// here with every in-use bit set, as the driver wrote it before the deletion.
TBytes deletedSet(const std::u16string& name, bool folder = false, uint32_t first = 0)
{
    const size_t names = (name.size() + 14) / 15;
    TBytes b((2 + names) * kSlot, 0);
    b[0] = 0x85;
    b[1] = static_cast<uint8_t>(1 + names);
    b[4] = folder ? 0x10 : 0x20;
    b[kSlot] = 0xC0;
    b[kSlot + 1] = 0x01;
    b[kSlot + 3] = static_cast<uint8_t>(name.size());
    for (int i = 0; i < 4; ++i) {
        b[kSlot + 20 + i] = static_cast<uint8_t>(first >> (8 * i));
    }
    b[kSlot + 24 + 1] = folder ? 0x10 : 0; // 4096 bytes
    for (size_t i = 0; i < name.size(); ++i) {
        const size_t at = (2 + i / 15) * kSlot + 2 + 2 * (i % 15);
        b[(2 + i / 15) * kSlot] = 0xC1;
        b[at] = static_cast<uint8_t>(name[i]);
    }
    uint16_t sum = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        if (i != 2 && i != 3) {
            sum = static_cast<uint16_t>(((sum & 1) << 15 | sum >> 1) + b[i]);
        }
    }
    b[2] = static_cast<uint8_t>(sum);
    b[3] = static_cast<uint8_t>(sum >> 8);
    for (size_t at = 0; at < b.size(); at += kSlot) {
        b[at] &= 0x7F;
    }
    return b;
}

// Four-slot sets (names of 16 to 30 characters) named after a tag, `count` of them.
TBytes sets(char16_t tag, int count)
{
    TBytes bytes;
    for (int i = 0; i < count; ++i) {
        const TBytes set = deletedSet(std::u16string(u"entry of folder ") + tag + char16_t(u'a' + i));
        bytes.insert(bytes.end(), set.begin(), set.end());
    }
    return bytes;
}

// Pads with zeros (the end marker) to a whole cluster; a full cluster has none.
TBytes cluster(TBytes bytes)
{
    bytes.resize(kCluster, 0);
    return bytes;
}

TEST(ExfatChainRebuild, FoldersThatGrewInAlternationEachTakeTheirOwnClusters)
{
    TExfatChainRebuild rebuild;
    rebuild.addFolder(10, 1000);
    rebuild.addFolder(11, 1000);
    rebuild.addCluster(10, cluster(sets(u'A', 4)));
    rebuild.addCluster(11, cluster(sets(u'B', 4)));
    rebuild.addCluster(12, cluster(sets(u'a', 4)));
    rebuild.addCluster(13, cluster(sets(u'b', 4)));
    rebuild.addCluster(14, cluster(sets(u'x', 1)));
    rebuild.addCluster(15, cluster(sets(u'y', 2)));
    auto chains = rebuild.rebuild();
    EXPECT_EQ(chains[10], (std::vector<uint32_t>{10, 12, 14}));
    EXPECT_EQ(chains[11], (std::vector<uint32_t>{11, 13, 15}));

    // Links the allocation table still holds beat the nearest cluster.
    TExfatChainRebuild linked;
    linked.addFolder(10, 1000);
    linked.addFolder(11, 1000);
    linked.addLink(10, 13);
    linked.addLink(11, 12);
    linked.addLink(12, 99); // nothing there: the nearest cluster after it
    for (uint32_t number : {10u, 11u, 12u, 13u}) {
        linked.addCluster(number, cluster(sets(char16_t(u'k' + number), 4)));
    }
    linked.addCluster(14, cluster(sets(u'x', 1)));
    chains = linked.rebuild();
    EXPECT_EQ(chains[10], (std::vector<uint32_t>{10, 13}));
    EXPECT_EQ(chains[11], (std::vector<uint32_t>{11, 12, 14}));

    // A folder's length, when it is known, ends it even without an end marker.
    TExfatChainRebuild bounded;
    bounded.addFolder(10, 2);
    bounded.addCluster(10, cluster(sets(u'A', 4)));
    bounded.addCluster(12, cluster(sets(u'a', 4)));
    bounded.addCluster(14, cluster(sets(u'x', 1)));
    EXPECT_EQ(bounded.rebuild()[10], (std::vector<uint32_t>{10, 12}));
}

TEST(ExfatChainRebuild, EntrySetCrossingTheClusterEndBeatsTheNearestCluster)
{
    // Three four-slot sets, then a five-slot set whose last name entry is cut off.
    const TBytes crossing = deletedSet(u"a name of thirty-one characters");
    ASSERT_EQ(crossing.size(), 5 * kSlot);
    TBytes head = sets(u'A', 3);
    head.insert(head.end(), crossing.begin(), crossing.begin() + 4 * kSlot);
    TBytes rest(crossing.begin() + 4 * kSlot, crossing.end());
    rest = cluster(rest);
    TBytes wrongRest = rest;
    wrongRest[2] ^= 0x01; // another name's last entry: the checksum fails

    const auto rebuilt = [&](bool withRest) {
        TExfatChainRebuild rebuild;
        rebuild.addFolder(10, 1000);
        rebuild.addCluster(10, head);
        rebuild.addCluster(11, cluster(sets(u'n', 2))); // nearest, opens with a set
        rebuild.addCluster(13, wrongRest);
        if (withRest) {
            rebuild.addCluster(14, rest);
        }
        return rebuild.rebuild()[10];
    };
    EXPECT_EQ(rebuilt(true), (std::vector<uint32_t>{10, 14}));
    // Without the cluster that completes it the folder's next cluster is unknown: it ends.
    EXPECT_EQ(rebuilt(false), (std::vector<uint32_t>{10}));
}

TEST(ExfatChainRebuild, HostileClustersAreRefusedAndEveryClusterHasOneFolder)
{
    EXPECT_FALSE(TExfatChainRebuild::holdsOnlyEntries({}));
    EXPECT_FALSE(TExfatChainRebuild::holdsOnlyEntries(TBytes(kCluster, 0)));
    TBytes unknown = cluster(sets(u'A', 1));
    unknown[kSlot * 4] = 0x83; // a label entry has no place in a folder
    EXPECT_FALSE(TExfatChainRebuild::holdsOnlyEntries(unknown));
    TBytes stale = cluster(sets(u'A', 1));
    stale[kCluster - 1] = 0x41; // bytes after the end marker
    EXPECT_FALSE(TExfatChainRebuild::holdsOnlyEntries(stale));
    EXPECT_TRUE(TExfatChainRebuild::hasEndMarker(TBytes(kSlot - 1, 0xFF)));
    EXPECT_FALSE(TExfatChainRebuild::hasEndMarker(sets(u'A', 4)));

    TExfatChainRebuild rebuild;
    rebuild.addFolder(10, UINT64_MAX);
    rebuild.addFolder(10, 0);
    rebuild.addFolder(20, 1000);
    // Folder 10 ends with a file entry that claims 255 entries after it.
    TBytes head = sets(u'A', 3);
    head.resize(kCluster - kSlot, 0xC1);
    head.push_back(0x05);
    head.push_back(0xFF);
    head.resize(kCluster, 0);
    rebuild.addCluster(10, head);
    // Folder 20 holds a sub-folder whose first cluster is 21, and names itself too.
    TBytes owner = sets(u'B', 2);
    const TBytes sub = deletedSet(u"sub-folder", true, 21);
    const TBytes self = deletedSet(u"itself", true, 20);
    owner.insert(owner.end(), sub.begin(), sub.end());
    owner.insert(owner.end(), self.begin(), self.end());
    owner.resize(kCluster, 0xC1); // no end marker
    rebuild.addCluster(20, owner);
    rebuild.addCluster(21, cluster(sets(u's', 1)));
    rebuild.addRun(22, 2); // a contiguous deleted folder's clusters
    rebuild.addCluster(22, cluster(sets(u'r', 4)));
    rebuild.addCluster(23, cluster(sets(u'r', 1)));
    rebuild.addCluster(27, TBytes(kSlot + 1, 0x85));
    rebuild.addCluster(26, cluster(sets(u'z', 1)));
    auto chains = rebuild.rebuild();
    EXPECT_EQ(chains[10], (std::vector<uint32_t>{10})) << "an open set nothing completes ends the folder";
    EXPECT_EQ(chains[20], (std::vector<uint32_t>{20, 26})) << "not the sub-folder, the run or the stub";
    std::set<uint32_t> taken;
    for (const auto& [first, chain] : chains) {
        for (uint32_t number : chain) {
            EXPECT_TRUE(taken.insert(number).second) << number;
        }
    }
}

// On an image: the entries of the freed later clusters of deleted folders are listed in
// their own folder, marked as found in a rebuilt folder, and nowhere else.
TEST(ExfatChainRebuild, ImageFoldersAreListedWholeInPlace)
{
    const TManifest manifest = TManifest::load("exfat-cases");
    ASSERT_TRUE(manifest.isValid());
    TEngineSession session;
    ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
    const auto flagsOf = [&](const QString& path) -> int64_t {
        const auto found = session.find(path, true);
        return found.size() == 1 ? found.front()->Info.Flags : -1;
    };
    EXPECT_EQ(flagsOf("Spread/spread_entry_long_name_000.txt") & (flag_FOUND_REBUILT | flag_FOUND_ORPHAN), 0);
    EXPECT_EQ(flagsOf("Other/other_entry_long_name_039.txt") & (flag_FOUND_REBUILT | flag_FOUND_ORPHAN),
              flag_FOUND_REBUILT);
    EXPECT_TRUE(flagsOf("Spread/Inner folder of spread") & flag_FOUND_REBUILT);
    EXPECT_EQ(session.find("Spread/Inner folder of spread/inner file 2.txt", true).size(), 1u);
    for (const TEngineSession::TEntry& entry : session.entries()) {
        EXPECT_FALSE(entry.Path.startsWith('#')) << "under a lost folder: " << entry.Path.toStdString();
    }
}

} // namespace
