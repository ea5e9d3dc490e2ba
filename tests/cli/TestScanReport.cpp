#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TScanReport.h"
#include "settings/Settings.h"
#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "util/Utils.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int64_t Del = flag_IS_DELETED;
constexpr int64_t Dir = flag_IS_DIRECTORY;

// File time of a calendar time, as the engine passes it through.
TFileTime fileTime(int year, int month, int day, int hour, int minute, int second)
{
    const QDateTime time(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
    return TFileTime(time.toSecsSinceEpoch() + 11644473600LL) * 10000000ULL;
}

class ScanReportTest : public ::testing::Test
{
protected:
    void SetUp() override { GlobalLogEnable = false; }

    void addDrive(int32_t id, char letter, const QString& fileSystem)
    {
        engine.AddDisk(TScriptedEngine::MakeDrive(id, -1, letter, "VOL", fileSystem, 1 << 20));
    }
    void add(int32_t disk, int64_t id, int64_t parent, int64_t flags, const QString& name, int64_t size = 0,
             TFileTime created = 0, TFileTime accessed = 0, TFileTime modified = 0)
    {
        engine.AddRecord(
            disk, TScriptedEngine::MakeFile(id, parent, flags, size, name, created, accessed, modified));
    }

    // Analyses the disk and returns the report's lines (header included for the line format).
    QStringList report(int32_t diskId, TScanReport::Format format, bool deletedOnly)
    {
        disk = CreateDisk(diskId);
        EXPECT_TRUE(disk->AnalyzeDisk(nullptr, false));
        const TScanReport scanReport(format, deletedOnly);
        QByteArray out = scanReport.header();
        counts = scanReport.write(*disk, [&out](const QByteArray& chunk) { out += chunk; });
        EXPECT_TRUE(out.isEmpty() || out.endsWith('\n'));
        QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
        lines.removeLast();
        return lines;
    }

    static QStringList column(const QStringList& lines, int index)
    {
        QStringList values;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            values.append(lines[i].split(QLatin1Char('\t')).value(index));
        }
        return values;
    }

    // A FAT stream with nested, deleted, orphaned and waiting entries on drive D:.
    void addFatTree()
    {
        addDrive(0, 'D', "FAT32");
        add(0, 1, 0, Dir, "Docs");
        add(0, 2, 1, Dir, "Old");
        add(0, 3, 1, 0, "a.txt", 10);
        add(0, 4, 0, 0, "top.bin", 20);
        add(0, 5, 2, Del, "gone.txt", 30, fileTime(2024, 3, 5, 10, 20, 30), fileTime(2024, 3, 6, 0, 0, 0),
            fileTime(2024, 3, 7, 8, 9, 10));
        add(0, 6, 0, Dir, "Music");
        add(0, 7, 6, 0, "song.mp3", 40);
        add(0, 8, 99, Del, "orphan.doc", 50); // its folder is gone: a lost folder is invented
        add(0, 9, 50, 0, "waiting.txt", 60);  // its folder never arrives: it waits under a placeholder
        add(0, 10, 1, Dir | Del, "Trash");
        add(0, 11, 10, Del, "x.tmp", 70);
    }

    TScriptedEngine engine;
    TScriptedPrompt prompt;
    std::unique_ptr<TBaseDisk> disk;
    TScanReport::TCounts counts;
};

} // namespace

TEST_F(ScanReportTest, ListsFoldersDepthFirstThenFilesThenUnattachedTrees)
{
    addFatTree();
    const QStringList lines = report(0, TScanReport::Format::Lines, false);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], "id\tparent\tcondition\tkind\tsize\tcreated\tmodified\taccessed\tpath\trecovery");
    const QStringList expected{
        "D:\\",
        "D:\\Docs\\",
        "D:\\Docs\\Old\\",
        "D:\\Docs\\Old\\gone.txt",
        "D:\\Docs\\Trash\\",
        "D:\\Docs\\Trash\\x.tmp",
        "D:\\Docs\\a.txt",
        "D:\\Music\\",
        "D:\\Music\\song.mp3",
        "D:\\top.bin",
        "D:\\lost_folder_99\\",
        "D:\\lost_folder_99\\orphan.doc",
        "D:\\not_found_yet_50\\",
        "D:\\not_found_yet_50\\waiting.txt",
    };
    EXPECT_EQ(column(lines, 8), expected);
    EXPECT_EQ(column(lines, 2), QStringList({"Contain Deleted", "Contain Deleted", "Contain Deleted",
                                             "Deleted", "Deleted", "Deleted", "Live", "Live", "Live", "Live",
                                             "Deleted", "Deleted", "Deleted", "Live"}));
    EXPECT_EQ(column(lines, 3),
              QStringList({"d", "d", "d", "f", "d", "f", "f", "d", "f", "f", "d", "f", "d", "f"}));
    EXPECT_EQ(counts.Folders, 7);
    EXPECT_EQ(counts.Files, 7);
    EXPECT_EQ(counts.Deleted, 6);

    // Every field of one line, times in created, modified, accessed order.
    EXPECT_EQ(lines[4],
              "5\t2\tDeleted\tf\t30\t2024-03-05T10:20:30\t2024-03-07T08:09:10\t2024-03-06T00:00:00\t"
              "D:\\Docs\\Old\\gone.txt\t");
    EXPECT_EQ(lines[1], "0\t-1\tContain Deleted\td\t0\t\t\t\tD:\\\t"); // the root has no times
}

TEST_F(ScanReportTest, DeletedOnlyKeepsDeletedEntriesAndTheFoldersAboveThem)
{
    addFatTree();
    const QStringList lines = report(0, TScanReport::Format::Lines, true);
    const QStringList expected{
        "D:\\",
        "D:\\Docs\\",
        "D:\\Docs\\Old\\",
        "D:\\Docs\\Old\\gone.txt",
        "D:\\Docs\\Trash\\",
        "D:\\Docs\\Trash\\x.tmp",
        "D:\\lost_folder_99\\",
        "D:\\lost_folder_99\\orphan.doc",
        "D:\\not_found_yet_50\\",
    };
    EXPECT_EQ(column(lines, 8), expected);
    EXPECT_EQ(counts.Folders, 6);
    EXPECT_EQ(counts.Files, 3);
    EXPECT_EQ(counts.Deleted, 6);
}

TEST_F(ScanReportTest, DeletedOnlyHidesEverythingBelowAHiddenFolder)
{
    addDrive(0, 'D', "FAT16");
    add(0, 1, 0, Dir, "Live");
    add(0, 2, 1, Dir | Del, "Gone"); // a deleted folder ...
    add(0, 3, 2, 0, "still.txt");    // ... holding a live entry
    add(0, 4, 0, Dir, "Plain");
    add(0, 5, 4, Dir, "Inner");
    const QStringList lines = report(0, TScanReport::Format::Lines, true);
    EXPECT_EQ(column(lines, 8), QStringList({"D:\\", "D:\\Live\\", "D:\\Live\\Gone\\"}));
}

TEST_F(ScanReportTest, NtfsRootIsTheDriveAndSystemRecordsAreLeftOut)
{
    addDrive(4, 'E', "NTFS");
    add(4, 0, 5, 0, "$MFT");
    add(4, 5, 5, Dir, ".");
    add(4, 17, 5, 0, "a.txt", 1);
    engine.AddNil(4);
    add(4, 18, 5, Dir, "Dir");
    add(4, 19, 18, Del, "b.txt", 2);
    add(4, 20, 11, 0, "$Quota"); // inside a system folder: dropped
    const QStringList lines = report(4, TScanReport::Format::Lines, false);
    EXPECT_EQ(column(lines, 8), QStringList({"E:\\", "E:\\Dir\\", "E:\\Dir\\b.txt", "E:\\a.txt"}));
    EXPECT_EQ(column(lines, 0), QStringList({"5", "18", "19", "17"}));
}

TEST_F(ScanReportTest, EachElementIsListedOnceEvenWhenAppendedTwice)
{
    addDrive(0, 'D', "FAT12");
    add(0, 1, 0, Dir | Del, "Twice");
    add(0, 2, 1, Del, "inside.txt");
    add(0, 1, 0, Dir | Del, "Twice"); // the same deleted folder reported again
    const QStringList lines = report(0, TScanReport::Format::Lines, false);
    EXPECT_EQ(column(lines, 8), QStringList({"D:\\", "D:\\Twice\\", "D:\\Twice\\inside.txt"}));
}

TEST_F(ScanReportTest, ControlCharactersCannotBreakTheLineFormat)
{
    addDrive(0, 'D', "FAT32");
    add(0, 1, 0, Dir, QStringLiteral("new\nline"));
    add(0, 2, 1, 0, QStringLiteral("tab\there\r\x7f\u0085.txt"));
    add(0, 3, 0, 0, QStringLiteral("back\\slash \"quoted\" Résumé.txt"));
    const QStringList lines = report(0, TScanReport::Format::Lines, false);
    ASSERT_EQ(lines.size(), 5);
    for (const QString& line : lines) {
        EXPECT_EQ(line.count(QLatin1Char('\t')), 9) << line.toStdString();
    }
    EXPECT_EQ(column(lines, 8), QStringList({"D:\\", "D:\\new?line\\", "D:\\new?line\\tab?here???.txt",
                                             "D:\\back\\slash \"quoted\" Résumé.txt"}));
}

TEST_F(ScanReportTest, JsonLinesCarryTheSameFieldsWithExactNames)
{
    addFatTree();
    add(0, 12, 0, 0, QStringLiteral("tab\tand \"quote\" \\ Ünï.txt"), 5);
    const QStringList plain = report(0, TScanReport::Format::Lines, false);
    const QStringList json = report(0, TScanReport::Format::Json, false);
    ASSERT_EQ(json.size(), plain.size() - 1); // no header line

    const QStringList keys{"accessed", "condition", "created", "id",       "kind",
                           "modified", "parent",    "path",    "recovery", "size"};
    for (qsizetype i = 0; i < json.size(); ++i) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(json[i].toUtf8(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << json[i].toStdString();
        const QJsonObject object = document.object();
        EXPECT_EQ(object.keys(), keys);
        const QStringList fields = plain[i + 1].split(QLatin1Char('\t'));
        EXPECT_EQ(QString::number(object["id"].toInteger()), fields[0]);
        EXPECT_EQ(QString::number(object["parent"].toInteger()), fields[1]);
        EXPECT_EQ(object["condition"].toString(), fields[2]);
        EXPECT_EQ(object["kind"].toString(), fields[3]);
        EXPECT_EQ(QString::number(object["size"].toInteger()), fields[4]);
        EXPECT_EQ(object["created"].toString(), fields[5]);
        EXPECT_EQ(object["modified"].toString(), fields[6]);
        EXPECT_EQ(object["accessed"].toString(), fields[7]);
        EXPECT_EQ(TScanReport::CleanText(object["path"].toString()), fields[8]);
        EXPECT_EQ(object["recovery"].toString(), fields[9]);
    }
    const QJsonObject last = QJsonDocument::fromJson(json.constLast().toUtf8()).object();
    EXPECT_EQ(last["path"].toString(), QStringLiteral("D:\\not_found_yet_50\\waiting.txt"));
    bool found = false;
    for (const QString& line : json) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        if (object["id"].toInteger() == 12) {
            EXPECT_EQ(object["path"].toString(), QStringLiteral("D:\\tab\tand \"quote\" \\ Ünï.txt"));
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(ScanReportTest, DeletedFilesEndInTheirRatingWord)
{
    addDrive(0, 'D', "FAT32");
    add(0, 1, 0, Del | flag_RATING_INTACT, "whole.txt");
    add(0, 2, 0, Del | flag_RATING_PARTIAL | (40 << flag_PERCENT_SHIFT), "half.txt");
    add(0, 3, 0, Del | flag_FOUND_INDEX | flag_NO_DATA, "named.txt"); // no rating given: no data all the same
    add(0, 4, 0, flag_RATING_INTACT, "live.txt");                     // live files and folders are not rated
    add(0, 5, 0, Dir | Del | flag_RATING_INTACT, "Gone");
    const QStringList lines = report(0, TScanReport::Format::Lines, false);
    EXPECT_EQ(column(lines, 8), QStringList({"D:\\", "D:\\Gone\\", "D:\\whole.txt", "D:\\half.txt",
                                             "D:\\named.txt", "D:\\live.txt"}));
    EXPECT_EQ(column(lines, 9), QStringList({"", "", "intact", "partial", "no-data", ""}));
    const QStringList json = report(0, TScanReport::Format::Json, false);
    ASSERT_EQ(json.size(), 6);
    EXPECT_EQ(QJsonDocument::fromJson(json[3].toUtf8()).object()["recovery"].toString(), "partial");
    EXPECT_EQ(QJsonDocument::fromJson(json[5].toUtf8()).object()["recovery"].toString(), "");

    // The element keeps the rating apart from its entry flags.
    const TBaseElement* half = disk->Elements.GetItem(2);
    EXPECT_EQ(half->Flags, Del);
    EXPECT_EQ(half->GetRecoveryText(), "Partly overwritten: 40 % of its clusters now belong to other data");
}

TEST_F(ScanReportTest, BlankNamesUseTheLostNameOfTheirId)
{
    addDrive(0, 'D', "FAT32");
    add(0, 1, 0, Dir, "   ");
    add(0, 2, 1, 0, "");
    const QStringList lines = report(0, TScanReport::Format::Lines, false);
    EXPECT_EQ(column(lines, 8), QStringList({"D:\\", "D:\\lost_name_1\\", "D:\\lost_name_1\\lost_name_2"}));
    EXPECT_EQ(TScanReport::elementPath(*disk->Elements.GetItem(2)), "D:\\lost_name_1\\lost_name_2");
    EXPECT_EQ(TScanReport::elementPath(*disk->Elements.GetItem(1)), "D:\\lost_name_1\\");
}

TEST_F(ScanReportTest, FailedAnalysisLeavesAnEmptyListing)
{
    addDrive(0, 'D', "FAT32");
    engine.SetFailInitialize(true);
    disk = CreateDisk(0);
    EXPECT_FALSE(disk->AnalyzeDisk(nullptr, false));
    int pieces = 0;
    const TScanReport::TCounts none =
        TScanReport(TScanReport::Format::Lines, false).write(*disk, [&pieces](const QByteArray&) {
            ++pieces;
        });
    EXPECT_EQ(pieces, 0);
    EXPECT_EQ(none.Folders + none.Files + none.Deleted, 0);
}

TEST(ScanReportFormat, DateTimesAreCalendarTextOrEmpty)
{
    EXPECT_EQ(TScanReport::FormatDateTime(EncodeDateTime(QDate(2024, 3, 5), QTime(10, 20, 30, 999))),
              "2024-03-05T10:20:30");
    EXPECT_EQ(TScanReport::FormatDateTime(EncodeDateTime(QDate(1601, 1, 1), QTime(6, 0))),
              "1601-01-01T06:00:00");
    EXPECT_EQ(TScanReport::FormatDateTime(EncodeDateTime(QDate(1899, 12, 29), QTime(23, 59, 59))),
              "1899-12-29T23:59:59");
    EXPECT_EQ(TScanReport::FormatDateTime(EncodeDateTime(QDate(1899, 12, 30), QTime(0, 0, 1))),
              "1899-12-30T00:00:01");
    // No time known: never set (invented folders) or the file time 0.
    EXPECT_EQ(TScanReport::FormatDateTime(0), "");
    EXPECT_EQ(TScanReport::FormatDateTime(ConvertFileTimeToDateTime(0)), "");
    EXPECT_EQ(TScanReport::FormatDateTime(MaxDateTime), "9999-12-31T23:59:59");
    EXPECT_EQ(TScanReport::FormatDateTime(ConvertFileTimeToDateTime(~0ULL)), "9999-12-31T23:59:59");
    EXPECT_EQ(TScanReport::FormatDateTime(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(TScanReport::FormatDateTime(std::numeric_limits<double>::infinity()), "");
    EXPECT_EQ(TScanReport::FormatDateTime(-1e12), "");
}

TEST(ScanReportFormat, TextEscaping)
{
    EXPECT_EQ(TScanReport::CleanText(QStringLiteral("a\tb\nc\x01\x1f\x7f\u009f\u00a0d")), "a?b?c????\u00a0d");
    EXPECT_EQ(TScanReport::CleanText(QStringLiteral("C:\\plain\\path")), "C:\\plain\\path");
    EXPECT_EQ(TScanReport::JsonString(QStringLiteral("a\"b\\c\nd\te\x01")), "\"a\\\"b\\\\c\\nd\\te\\u0001\"");
    EXPECT_EQ(TScanReport::JsonString(QStringLiteral("日本語")), QByteArray("\"日本語\""));
}
