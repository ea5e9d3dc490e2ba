#include "viewers/TFileProperties.h"

#include "support/TestApp.h"
#include "disk/TBaseElement.h"

#include <QDate>
#include <QTime>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);

void setFlags(TBaseElement& e, int64_t flags)
{
    e.Flags = flags;
}

} // namespace

TEST(FileProperties, SizeOnDiskRoundsUpToWholeClustersOnlyWhenNeeded)
{
    // Not a multiple: rounded up, written with a blank after the parenthesis.
    EXPECT_EQ(TFileProperties::RoundedSize(5000), 8192);
    EXPECT_EQ(TFileProperties::SizeOnDiskText(5000, us), QStringLiteral("8 KB ( 8,192 bytes)"));
    EXPECT_EQ(TFileProperties::SizeText(5000, us), QStringLiteral("4 KB (5,000 bytes)"));
    EXPECT_EQ(TFileProperties::SizeOnDiskText(1, us), QStringLiteral("4 KB ( 4,096 bytes)"));
    EXPECT_EQ(TFileProperties::SizeOnDiskText(4097, us), QStringLiteral("8 KB ( 8,192 bytes)"));

    // Whole clusters, including an empty file: the size line itself.
    EXPECT_EQ(TFileProperties::SizeOnDiskText(4096, us), QStringLiteral("4 KB (4,096 bytes)"));
    EXPECT_EQ(TFileProperties::SizeOnDiskText(0, us), QStringLiteral("0 (0 bytes)"));
    EXPECT_EQ(TFileProperties::SizeText(0, us), QStringLiteral("0 (0 bytes)"));

    // Large files stay exact in 64 bits.
    const int64_t big = 5LL * 1024 * 1024 * 1024 + 1;
    EXPECT_EQ(TFileProperties::RoundedSize(big), 5LL * 1024 * 1024 * 1024 + 4096);
    EXPECT_TRUE(TFileProperties::SizeOnDiskText(big, us).endsWith(QStringLiteral(" ( 5,368,713,216 bytes)")));

    // Sizes from damaged records must not overflow or round a negative value.
    const int64_t max = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(TFileProperties::RoundedSize(max), max);
    EXPECT_EQ(TFileProperties::SizeOnDiskText(max, us), TFileProperties::SizeText(max, us));
    EXPECT_EQ(TFileProperties::RoundedSize(max - 4095 - 1), max - 4095);
    EXPECT_EQ(TFileProperties::RoundedSize(-5), -5);
    EXPECT_EQ(TFileProperties::SizeOnDiskText(-5, us), TFileProperties::SizeText(-5, us));
}

TEST(FileProperties, StatusAndIconFollowDeletedBeforeContainDeleted)
{
    struct Case
    {
        int64_t flags;
        const char* status;
        TFileProperties::Icon icon;
    };
    const Case cases[] = {
        {0, "Live", TFileProperties::fpLiveFile},
        {flag_IS_DELETED, "Deleted", TFileProperties::fpDeletedFile},
        {flag_IS_DIRECTORY, "Live", TFileProperties::fpLiveFolder},
        {flag_IS_DIRECTORY | flag_HAS_CHILD_DELETED, "Live, but contain deleted",
         TFileProperties::fpFolderWithDeleted},
        {flag_IS_DIRECTORY | flag_IS_DELETED, "Deleted", TFileProperties::fpDeletedFolder},
        // Both bits: deleted wins.
        {flag_IS_DIRECTORY | flag_IS_DELETED | flag_HAS_CHILD_DELETED, "Deleted",
         TFileProperties::fpDeletedFolder},
        // An invented folder is a deleted folder.
        {flag_IS_DIRECTORY | flag_IS_DELETED | flag_EMPTY, "Deleted", TFileProperties::fpDeletedFolder},
    };
    for (const Case& c : cases) {
        TBaseElement e;
        setFlags(e, c.flags);
        EXPECT_EQ(TFileProperties::StatusOf(e), QLatin1String(c.status)) << c.flags;
        EXPECT_EQ(TFileProperties::IconOf(e), c.icon) << c.flags;
    }
}

TEST(FileProperties, FoundSaysHowTheElementWasFoundAndWhetherItsContentIsGone)
{
    TBaseElement e;
    setFlags(e, flag_IS_DELETED | flag_FOUND_REBUILT);
    EXPECT_EQ(TFileProperties::FoundOf(e), QStringLiteral("In a deleted folder rebuilt from free clusters"));
    setFlags(e, flag_IS_DELETED | flag_FOUND_INDEX | flag_NO_DATA);
    EXPECT_EQ(TFileProperties::FoundOf(e),
              QStringLiteral("Only in its folder's index; its content cannot be read back"));
}

TEST(FileProperties, DatesLeaveOutAMidnightTimeAndCarryNoZone)
{
    const TDateTime noon = EncodeDateTime(QDate(2004, 10, 22), QTime(12, 20, 42));
    EXPECT_EQ(TFileProperties::DateTimeText(noon, us), QStringLiteral("10/22/04 12:20:42 PM"));
    const TDateTime midnight = EncodeDateTime(QDate(2004, 10, 22), QTime(0, 0, 0));
    EXPECT_EQ(TFileProperties::DateTimeText(midnight, us), QStringLiteral("10/22/04"));
    // Milliseconds alone do not count as a time of day.
    EXPECT_EQ(TFileProperties::DateTimeText(midnight + 0.5 / 86400.0, us), QStringLiteral("10/22/04"));
    const TDateTime oneSecond = EncodeDateTime(QDate(2004, 10, 22), QTime(0, 0, 1));
    EXPECT_EQ(TFileProperties::DateTimeText(oneSecond, us), QStringLiteral("10/22/04 12:00:01 AM"));

    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(TFileProperties::DateTimeText(noon, german), QStringLiteral("22.10.04 12:20:42"));

    // Values that record no time (the FAT root's 0, the file time 0) and values outside
    // the calendar show nothing; the days next to them are dates.
    EXPECT_EQ(TFileProperties::DateTimeText(0, us), QString());
    EXPECT_EQ(TFileProperties::DateTimeText(ConvertFileTimeToDateTime(0), us), QString());
    EXPECT_EQ(TFileProperties::DateTimeText(1, us), QStringLiteral("12/31/99"));
    EXPECT_EQ(TFileProperties::DateTimeText(-1, us), QStringLiteral("12/29/99"));
    EXPECT_EQ(TFileProperties::DateTimeText(std::nan(""), us), QString());
    EXPECT_EQ(TFileProperties::DateTimeText(1e12, us), QString());
}

TEST(FileProperties, ElementTextsUseDisplayNameAndParentPath)
{
    TBaseElement top; // the drive's top element: no id, ends every path
    TBaseElement root;
    root.TrueID = 0;
    root.Name = QStringLiteral("C:");
    root.Flags = flag_IS_DIRECTORY;
    root.Parent = &top;
    TBaseElement docs;
    docs.TrueID = 12;
    docs.Name = QStringLiteral("Docs");
    docs.Flags = flag_IS_DIRECTORY | flag_HAS_CHILD_DELETED;
    docs.Parent = &root;
    TBaseElement file;
    file.TrueID = 4711;
    file.Name = QStringLiteral("   ");
    file.Flags = flag_IS_DELETED;
    file.Size = 5000;
    file.Parent = &docs;
    file.DateCreated = EncodeDateTime(QDate(2020, 2, 29), QTime(23, 59, 59));

    const TFileProperties p(file, us);
    EXPECT_EQ(p.Name, QStringLiteral("lost_name_4711"));
    EXPECT_EQ(p.Caption, QStringLiteral("lost_name_4711 Properties"));
    EXPECT_EQ(p.Id, QStringLiteral("4711"));
    EXPECT_EQ(p.Status, QStringLiteral("Deleted"));
    EXPECT_EQ(p.Location, QStringLiteral("C:\\Docs\\"));
    EXPECT_EQ(p.SizeOnDisk, QStringLiteral("8 KB ( 8,192 bytes)"));
    EXPECT_EQ(p.Created, QStringLiteral("2/29/20 11:59:59 PM"));
    EXPECT_EQ(p.ImageIndex, TFileProperties::fpDeletedFile);

    const TFileProperties folder(docs, us);
    EXPECT_EQ(folder.Type, QStringLiteral("Folder"));
    EXPECT_EQ(folder.Location, QStringLiteral("C:\\"));
    EXPECT_EQ(folder.Status, QStringLiteral("Live, but contain deleted"));

    // Without a parent the location is a single backslash; a 64-bit id stays exact.
    TBaseElement orphan;
    orphan.TrueID = 9000000000LL;
    orphan.Name = QStringLiteral("x.bin");
    const TFileProperties lone(orphan, us);
    EXPECT_EQ(lone.Location, QStringLiteral("\\"));
    EXPECT_EQ(lone.Id, QStringLiteral("9000000000"));
}
