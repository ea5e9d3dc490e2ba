// A file whose attributes spill out of its record: its base record lists them in an
// $ATTRIBUTE_LIST and they continue in extension records. The parsers read the list and
// the extension records of the fixture's files, as the MFT reader joins them.
#include "engine/format/TMftAttributeList.h"
#include "engine/format/TMftRecord.h"

#include "TestConfig.h"

#include <tsk/libtsk.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr size_t kRecordSize = 1024;

class MftAttributeList : public testing::Test
{
protected:
    void SetUp() override
    {
        m_image = tsk_img_open_sing(BREVANT_TEST_IMAGE_DIR "/ntfs-streams.img", TSK_IMG_TYPE_RAW, 0);
        ASSERT_NE(m_image, nullptr);
        m_fs = tsk_fs_open_img(m_image, 0, TSK_FS_TYPE_NTFS);
        ASSERT_NE(m_fs, nullptr);
        m_mft = tsk_fs_file_open_meta(m_fs, nullptr, 0);
        ASSERT_NE(m_mft, nullptr);
    }
    void TearDown() override
    {
        tsk_fs_file_close(m_mft);
        tsk_fs_close(m_fs);
        tsk_img_close(m_image);
    }
    std::vector<uint8_t> record(uint64_t number)
    {
        std::vector<uint8_t> bytes(kRecordSize);
        EXPECT_EQ(tsk_fs_file_read(m_mft, TSK_OFF_T(number * kRecordSize),
                                   reinterpret_cast<char*>(bytes.data()), bytes.size(),
                                   TSK_FS_FILE_READ_FLAG_NONE),
                  ssize_t(kRecordSize));
        return bytes;
    }
    // A non-resident list's content, from its clusters.
    std::vector<uint8_t> listOf(const TMftRecord& base)
    {
        std::vector<uint8_t> list(base.attributeListLength);
        EXPECT_EQ(base.listRunCount, 1u);
        EXPECT_EQ(tsk_fs_read(m_fs, TSK_OFF_T(base.listRuns[0].address * m_fs->block_size),
                              reinterpret_cast<char*>(list.data()), list.size()),
                  ssize_t(list.size()));
        return list;
    }

    TSK_IMG_INFO* m_image = nullptr;
    TSK_FS_INFO* m_fs = nullptr;
    TSK_FS_FILE* m_mft = nullptr;
};

// Record 120 holds 25 names, most of them in its extension records; record 113 is a file
// of hundreds of runs whose stream goes on in an extension record.
TEST_F(MftAttributeList, ListedRecordsHoldTheRestOfTheFile)
{
    for (const uint64_t number : {uint64_t{120}, uint64_t{113}}) {
        SCOPED_TRACE(number);
        std::vector<uint8_t> bytes = record(number);
        auto base = std::make_unique<TMftRecord>();
        ASSERT_EQ(base->parse(bytes.data(), bytes.size(), m_fs->block_count), TMftRecord::TResult::Parsed);
        ASSERT_TRUE(base->hasAttributeList);
        const std::vector<uint8_t> content = listOf(*base);
        TMftAttributeList list;
        ASSERT_TRUE(list.read(content.data(), content.size(), number));
        ASSERT_GT(list.count(), 0u);

        size_t names = base->name != nullptr ? 1 : 0;
        uint64_t clusters = base->hasData ? base->dataLastVcn - base->dataFirstVcn + 1 : 0;
        for (size_t i = 0; i < list.count(); ++i) {
            std::vector<uint8_t> extensionBytes = record(list[i].record);
            auto extension = std::make_unique<TMftRecord>();
            ASSERT_EQ(
                extension->parseExtension(extensionBytes.data(), extensionBytes.size(), m_fs->block_count),
                TMftRecord::TResult::Parsed);
            EXPECT_EQ(extension->base & 0xFFFFFFFFFFFFULL, number);
            EXPECT_EQ(extension->attributeCount, list[i].attributes);
            names += extension->name != nullptr ? 1 : 0;
            if (extension->hasData) {
                EXPECT_EQ(extension->dataFirstVcn, clusters); // each part goes on where the last ended
                clusters = extension->dataLastVcn + 1;
            }
        }
        if (number == 120) {
            EXPECT_GT(names, 1u);
        } else {
            EXPECT_GT(clusters, base->dataLastVcn + 1);
        }
        // An extension record is no file of its own, and a base record no extension.
        std::vector<uint8_t> again = record(number);
        EXPECT_EQ(base->parseExtension(again.data(), again.size(), m_fs->block_count),
                  TMftRecord::TResult::Refused);
    }
}

TEST(MftAttributeListEntries, AnEntryBeyondTheListIsRefused)
{
    // type, length, name length and offset, first cluster, record reference, id
    uint8_t list[0x40] = {};
    list[0] = 0x30;
    list[4] = 0x20;
    list[0x10] = 7;
    list[0x16] = 1; // sequence number 1
    list[0x20] = 0x80;
    list[0x24] = 0x20;
    list[0x30] = 9;
    TMftAttributeList parsed;
    ASSERT_TRUE(parsed.read(list, sizeof list, 5));
    ASSERT_EQ(parsed.count(), 2u);
    EXPECT_EQ(parsed[0].record, 7u);
    EXPECT_EQ(parsed[0].sequence, 1u);
    EXPECT_EQ(parsed[1].record, 9u);
    list[0x24] = 0x28; // the second entry runs past the list's end
    EXPECT_FALSE(parsed.read(list, sizeof list, 5));
    list[0x24] = 0x20;
    list[0x27] = 0x1E; // a name that does not fit its entry
    list[0x26] = 2;
    EXPECT_FALSE(parsed.read(list, sizeof list, 5));
}

} // namespace
