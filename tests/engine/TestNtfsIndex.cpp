#include "engine/format/TNtfsIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint64_t kFolder = 70;
constexpr uint16_t kFolderSequence = 3;
constexpr TFileTime kTime = 133600000000000000ULL; // 2024
constexpr size_t kBlock = 4096;
constexpr size_t kNode = 0x18;

template<typename T> void put(Bytes& b, size_t at, T value)
{
    std::memcpy(b.data() + at, &value, sizeof value);
}

uint64_t reference(uint64_t record, uint16_t sequence)
{
    return record | static_cast<uint64_t>(sequence) << 48;
}

// An index entry for name in the test folder (or another parent).
Bytes entry(uint64_t record, const std::u16string& name,
            uint64_t parent = reference(kFolder, kFolderSequence), uint64_t size = 1234,
            uint8_t nameSpace = 1)
{
    const size_t content = 0x42 + name.size() * 2;
    Bytes e((0x10 + content + 7) / 8 * 8, 0);
    put<uint64_t>(e, 0, reference(record, 1));
    put<uint16_t>(e, 8, static_cast<uint16_t>(e.size()));
    put<uint16_t>(e, 10, static_cast<uint16_t>(content));
    put<uint64_t>(e, 0x10, parent);
    for (size_t t = 0; t < 4; ++t) {
        put<uint64_t>(e, 0x18 + t * 8, kTime + t);
    }
    put<uint64_t>(e, 0x40, size);
    e[0x50] = static_cast<uint8_t>(name.size());
    e[0x51] = nameSpace;
    std::memcpy(e.data() + 0x52, name.data(), name.size() * 2);
    return e;
}

Bytes endEntry()
{
    Bytes e(0x10, 0);
    put<uint16_t>(e, 8, 0x10);
    put<uint32_t>(e, 12, 2);
    return e;
}

// A node header at out[at]: live entries from at + first, the end marker, then the
// slack bytes after the used part; size bytes allocated.
void node(Bytes& out, size_t at, size_t first, size_t size, const std::vector<Bytes>& live,
          const Bytes& slack)
{
    size_t position = at + first;
    for (const Bytes& e : live) {
        std::memcpy(out.data() + position, e.data(), e.size());
        position += e.size();
    }
    const Bytes end = endEntry();
    std::memcpy(out.data() + position, end.data(), end.size());
    position += end.size();
    std::copy(slack.begin(), slack.end(), out.begin() + static_cast<std::ptrdiff_t>(position));
    put<uint32_t>(out, at, static_cast<uint32_t>(first));
    put<uint32_t>(out, at + 4, static_cast<uint32_t>(position - at));
    put<uint32_t>(out, at + 8, static_cast<uint32_t>(size));
}

// An INDX block as written to disk: the sector tails moved into the update sequence array
// at 0x28, the entries after it.
Bytes block(const std::vector<Bytes>& live, const Bytes& slack = {})
{
    Bytes b(kBlock, 0);
    std::memcpy(b.data(), "INDX", 4);
    const size_t sectors = kBlock / 512;
    put<uint16_t>(b, 4, 0x28);
    put<uint16_t>(b, 6, static_cast<uint16_t>(sectors + 1));
    node(b, kNode, 0x28, kBlock - kNode, live, slack);
    put<uint16_t>(b, 0x28, 0x0707);
    for (size_t i = 1; i <= sectors; ++i) {
        const size_t tail = i * 512 - 2;
        b[0x28 + i * 2] = b[tail];
        b[0x28 + i * 2 + 1] = b[tail + 1];
        put<uint16_t>(b, tail, 0x0707);
    }
    return b;
}

Bytes root(const std::vector<Bytes>& live, uint32_t blockSize = kBlock)
{
    Bytes r(0x400, 0);
    put<uint32_t>(r, 0, 0x30);
    put<uint32_t>(r, 8, blockSize);
    node(r, 0x10, 0x10, r.size() - 0x10, live, {});
    return r;
}

TNtfsIndex::TFolder folder(bool deleted = false, uint16_t sequence = kFolderSequence)
{
    TNtfsIndex::TFolder f;
    f.record = kFolder;
    f.sequence = sequence;
    f.deleted = deleted;
    return f;
}

std::vector<std::u16string> names(const std::vector<TNtfsIndex::TEntry>& entries, bool stale)
{
    std::vector<std::u16string> out;
    for (const TNtfsIndex::TEntry& e : entries) {
        if (e.stale == stale) {
            out.push_back(e.name);
        }
    }
    return out;
}

// A name long enough to cross the first sector's end, where the fixup sits.
const std::u16string kLong(200, u'x');

TEST(NtfsIndex, BlockGivesLiveEntriesAndTheStaleOnesInItsSlack)
{
    // Slack: a whole entry, then one whose header the end marker overwrote (its
    // $FILE_NAME follows a marker, its file reference is gone).
    Bytes slack = entry(90, u"removed.txt", reference(kFolder, kFolderSequence), 777);
    const Bytes end = endEntry();
    slack.insert(slack.end(), end.begin(), end.end());
    const Bytes lost = entry(91, u"header lost.doc");
    slack.insert(slack.end(), lost.begin() + 0x10, lost.end());

    const Bytes b = block({entry(80, u"alpha.txt"), entry(81, kLong)}, slack);
    std::vector<TNtfsIndex::TEntry> out;
    ASSERT_TRUE(TNtfsIndex::parseBlock(b.data(), b.size(), true, folder(), out));
    EXPECT_EQ(names(out, false), (std::vector<std::u16string>{u"alpha.txt", kLong}));
    EXPECT_EQ(names(out, true), (std::vector<std::u16string>{u"removed.txt", u"header lost.doc"}));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[2].record, 90u);
    EXPECT_EQ(out[2].sequence, 1);
    EXPECT_EQ(out[2].size, 777u);
    EXPECT_EQ(out[2].parent, kFolder);
    EXPECT_EQ(out[2].created, kTime);
    EXPECT_EQ(out[2].accessed, kTime + 3);
    EXPECT_EQ(out[3].record, 0u) << "no file reference survives";

    // A block the bitmap marks unused holds deleted entries only.
    out.clear();
    TNtfsIndex::TCounts counts =
        TNtfsIndex::parseAllocation(Bytes(b).data(), b.size(), kBlock, Bytes{0}.data(), 1, folder(), out);
    EXPECT_EQ(counts.blocks, 1);
    EXPECT_EQ(names(out, false).size(), 0u);
    EXPECT_EQ(names(out, true).size(), 4u);
}

TEST(NtfsIndex, EntriesOfAnotherFolderAreRejected)
{
    const Bytes b =
        block({entry(80, u"mine.txt"), entry(81, u"other record.txt", reference(71, kFolderSequence)),
               entry(82, u"old sequence.txt", reference(kFolder, kFolderSequence - 1))});
    std::vector<TNtfsIndex::TEntry> out;
    ASSERT_TRUE(TNtfsIndex::parseBlock(b.data(), b.size(), true, folder(), out));
    EXPECT_EQ(names(out, false), std::vector<std::u16string>{u"mine.txt"});

    // A deleted folder's sequence number was raised when it was freed.
    out.clear();
    ASSERT_TRUE(TNtfsIndex::parseBlock(b.data(), b.size(), true, folder(true, kFolderSequence), out));
    EXPECT_EQ(names(out, false), (std::vector<std::u16string>{u"mine.txt", u"old sequence.txt"}));
}

TEST(NtfsIndex, BlocksWithBadFixupsAreRejected)
{
    const Bytes good = block({entry(80, kLong)});
    std::vector<TNtfsIndex::TEntry> out;
    ASSERT_TRUE(TNtfsIndex::parseBlock(good.data(), good.size(), true, folder(), out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].name, kLong) << "the sector tail inside the name was restored";

    Bytes torn = good;
    torn[3 * 512 - 1] ^= 0xFF; // a sector written after the others
    Bytes wrongCount = good;
    put<uint16_t>(wrongCount, 6, 4);
    Bytes array = good;
    put<uint16_t>(array, 4, 0x1F0); // the array runs into the first sector's tail
    for (const Bytes* bad : {&torn, &wrongCount, &array}) {
        out.clear();
        EXPECT_FALSE(TNtfsIndex::parseBlock(bad->data(), bad->size(), true, folder(), out));
        EXPECT_TRUE(out.empty());
    }
    Bytes two = good;
    two.insert(two.end(), torn.begin(), torn.end());
    out.clear();
    const TNtfsIndex::TCounts counts =
        TNtfsIndex::parseAllocation(two.data(), two.size(), kBlock, nullptr, 0, folder(), out);
    EXPECT_EQ(counts.blocks, 1);
    EXPECT_EQ(counts.rejected, 1);
    EXPECT_EQ(out.size(), 1u);
}

TEST(NtfsIndex, RootGivesItsEntriesAndTheBlockSize)
{
    const Bytes r = root({entry(80, u"in root.txt", reference(kFolder, kFolderSequence), 1, 2)});
    std::vector<TNtfsIndex::TEntry> out;
    uint32_t blockSize = 0;
    ASSERT_TRUE(TNtfsIndex::parseRoot(r.data(), r.size(), folder(), out, blockSize));
    EXPECT_EQ(blockSize, kBlock);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].isDosOnly());

    Bytes otherIndex = r;
    put<uint32_t>(otherIndex, 0, 0x80); // not a file name index
    const Bytes oddBlock = root({}, 3000);
    EXPECT_FALSE(TNtfsIndex::parseRoot(otherIndex.data(), otherIndex.size(), folder(), out, blockSize));
    EXPECT_TRUE(TNtfsIndex::parseRoot(oddBlock.data(), oddBlock.size(), folder(), out, blockSize));
    EXPECT_EQ(blockSize, 0u) << "no allocation can be read with that block size";
}

TEST(NtfsIndex, HostileBuffersAreReadWithinTheirBounds)
{
    const Bytes good = block({entry(80, u"alpha.txt"), entry(81, kLong)}, entry(90, u"removed.txt"));
    const Bytes r = root({entry(80, u"alpha.txt")});
    std::vector<TNtfsIndex::TEntry> out;
    uint32_t blockSize = 0;
    // Every prefix of a root: the node's sizes then point past the end.
    for (size_t size = 0; size < 0x100; ++size) {
        const Bytes prefix(r.begin(), r.begin() + size);
        TNtfsIndex::parseRoot(prefix.data(), prefix.size(), folder(), out, blockSize);
    }
    // A block cut short is no block.
    for (size_t size : {size_t{0}, size_t{511}, size_t{1024}, kBlock - 512}) {
        const Bytes prefix(good.begin(), good.begin() + size);
        EXPECT_FALSE(TNtfsIndex::parseBlock(prefix.data(), prefix.size(), true, folder(), out));
    }
    // Lengths and counts that lie: a zero entry length, a huge one, a name longer than its
    // entry, a node claiming more than the block.
    Bytes r2 = root({entry(80, u"alpha.txt")});
    put<uint16_t>(r2, 0x20 + 8, 0);
    out.clear();
    EXPECT_FALSE(TNtfsIndex::parseRoot(r2.data(), r2.size(), folder(), out, blockSize));
    put<uint16_t>(r2, 0x20 + 8, 0xFFF8);
    EXPECT_FALSE(TNtfsIndex::parseRoot(r2.data(), r2.size(), folder(), out, blockSize));
    Bytes r3 = root({entry(80, u"alpha.txt")});
    r3[0x20 + 0x50] = 0xFF;
    ASSERT_TRUE(TNtfsIndex::parseRoot(r3.data(), r3.size(), folder(), out, blockSize));
    EXPECT_TRUE(out.empty());
    Bytes r4 = root({entry(80, u"alpha.txt")});
    put<uint32_t>(r4, 0x14, 0x7FFFFFFF);
    EXPECT_FALSE(TNtfsIndex::parseRoot(r4.data(), r4.size(), folder(), out, blockSize));
    // Slack of all-ones and of repeated parent references: nothing valid, no overrun.
    Bytes noise(kBlock, 0xFF);
    for (size_t at = 0x10; at + 8 <= noise.size(); at += 8) {
        put<uint64_t>(noise, at, reference(kFolder, kFolderSequence));
    }
    out.clear();
    TNtfsIndex::parseAllocation(noise.data(), noise.size(), kBlock, nullptr, 0, folder(), out);
    EXPECT_TRUE(out.empty());
    // An allocation that is not a whole number of blocks, with a block size that is no
    // power of two.
    Bytes ragged(good.begin(), good.end());
    ragged.resize(kBlock + 100);
    EXPECT_EQ(
        TNtfsIndex::parseAllocation(ragged.data(), ragged.size(), kBlock, nullptr, 0, folder(), out).blocks,
        1);
    EXPECT_EQ(
        TNtfsIndex::parseAllocation(ragged.data(), ragged.size(), 3000, nullptr, 0, folder(), out).blocks, 0);
}

TEST(NtfsIndex, TimesAreBoundedByTheVolumesNewestTimeAnd1980)
{
    std::vector<TNtfsIndex::TEntry> out;
    const Bytes b = block({entry(80, u"a.txt")});
    ASSERT_TRUE(TNtfsIndex::parseBlock(b.data(), b.size(), true, folder(), out));
    TNtfsIndex::TEntry e = out.at(0);
    EXPECT_TRUE(TNtfsIndex::timesPlausible(e, kTime + 3));
    EXPECT_TRUE(TNtfsIndex::timesPlausible(e, kTime - 10000000)) << "a small margin for clocks that disagree";
    EXPECT_FALSE(TNtfsIndex::timesPlausible(e, kTime - 30ULL * 86400 * 10000000));
    EXPECT_TRUE(TNtfsIndex::timesPlausible(e, 0)) << "no newest time known";
    e.modified = 119000000000000000ULL; // 1978
    EXPECT_FALSE(TNtfsIndex::timesPlausible(e, 0));
}

} // namespace
