#include "TFakeScanProgress.h"
#include "disk/TBaseElement.h"
#include "disk/TFATDisk.h"
#include "disk/TVantrelApi.h"
#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "settings/Settings.h"
#include "support/TTestClock.h"

#include <optional>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>

namespace {

constexpr int64_t Del = flag_IS_DELETED;
constexpr int64_t Dir = flag_IS_DIRECTORY;
constexpr int32_t DiskId = 3;

QStringList Names(const TBaseSortedList& list)
{
    QStringList names;
    for (const TBaseElement* element : list)
        names.append(element->GetName());
    return names;
}

class FATAnalysis : public ::testing::Test
{
protected:
    TEveryTurnClock clock; // the window is served after every record
    void SetUp() override
    {
        GlobalConfirmInterrupt = false;
        GlobalLogEnable = false;
    }

    void add(int64_t id, int64_t parent, int64_t flags, const QString& name, int64_t size = 0)
    {
        engine.AddRecord(DiskId, TScriptedEngine::MakeFile(id, parent, flags, size, name));
    }
    bool analyze(bool fullScan = false) { return disk.AnalyzeDisk(&progress, fullScan); }
    TBaseElement* at(int32_t id) const { return disk.Elements.GetItem(id); }

    bool addDrive()
    {
        engine.AddDisk(TScriptedEngine::MakeDrive(DiskId, 0, 'C', "VOLUME", "FAT32", 1 << 30));
        return true;
    }

    TScriptedEngine engine;
    bool driveAdded = addDrive(); // before the drive object reads its letter
    TScriptedPrompt prompt;
    TFakeScanProgress progress;
    TFATDisk disk{DiskId};
};

} // namespace

TEST_F(FATAnalysis, EmptyStreamGivesTheRootFolderOnly)
{
    EXPECT_TRUE(analyze(true));
    EXPECT_EQ(engine.LastInitializedDisk(), DiskId);
    EXPECT_TRUE(engine.LastFullScan());
    EXPECT_EQ(engine.Calls.FileGetNext, 1);
    ASSERT_NE(disk.RootElement, nullptr);
    EXPECT_EQ(disk.RootElement->GetName(), "C: logical drive");
    EXPECT_EQ(disk.RootElement->TrueID, -1);
    EXPECT_EQ(disk.RootElement->Flags, flag_IS_DIRECTORY);
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders), QStringList{"C:"});
    TBaseElement* root = at(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->TrueParentID, -1);
    EXPECT_EQ(root->Flags, flag_IS_DIRECTORY);
    EXPECT_EQ(root->GetPath(), "C:\\");
    EXPECT_EQ(progress.Maximum, 0);
    EXPECT_TRUE(prompt.asked().isEmpty());
}

TEST_F(FATAnalysis, LiveEntriesFormTheTree)
{
    add(1, 0, Dir, "Docs");
    TFileInfo file = TScriptedEngine::MakeFile(2, 1, 0x40, 1234, "a.txt", 0, 0, 133500000000000000, 0x20);
    file.WideFileName[3] = 0; // the name ends at its first NUL
    engine.AddRecord(DiskId, file);
    add(3, 0, 0, "boot.ini");
    EXPECT_TRUE(analyze());

    TBaseElement* docs = at(1);
    TBaseElement* a = at(2);
    ASSERT_TRUE(docs && a);
    EXPECT_EQ(docs->Parent, at(0));
    EXPECT_EQ(Names(at(0)->ChildrenFolders), QStringList{"Docs"});
    EXPECT_EQ(Names(at(0)->ChildrenFiles), QStringList{"boot.ini"});
    EXPECT_EQ(Names(docs->ChildrenFiles), QStringList{"a.t"});
    EXPECT_EQ(a->GetFullName(), "C:\\Docs\\a.t");
    EXPECT_EQ(a->Size, 1234);
    EXPECT_EQ(a->Flags, 0x40);
    EXPECT_EQ(a->Attributes, 0x20);
    EXPECT_EQ(a->TrueParentID, 1);
    EXPECT_EQ(a->Drive, &disk);
    EXPECT_EQ(a->DateModified, ConvertFileTimeToDateTime(133500000000000000));
    EXPECT_EQ(a->DateCreated, ConvertFileTimeToDateTime(0));
    EXPECT_EQ(a->GetCondition(), "Live");
    EXPECT_TRUE(disk.LostFiles.IsEmpty());
    EXPECT_EQ(disk.ElementCount(), 5u); // top, root and three entries
    EXPECT_EQ(progress.Position, 3);
}

TEST_F(FATAnalysis, ParentArrivingAfterItsChildrenReusesThePlaceholder)
{
    add(5, 4, 0, "early.txt");
    add(6, 4, Dir, "Sub");
    TBaseElement* placeholder = nullptr;
    engine.SetOnFileGetNext([&](int64_t call) {
        if (call == 2)
            placeholder = at(4);
    });
    add(4, 0, Dir, "Late");
    EXPECT_TRUE(analyze());

    ASSERT_NE(placeholder, nullptr);
    TBaseElement* late = at(4);
    EXPECT_EQ(late, placeholder);
    EXPECT_EQ(late->GetName(), "Late");
    EXPECT_EQ(late->Flags, flag_IS_DIRECTORY); // the record's flags replace the placeholder's
    EXPECT_EQ(late->Parent, at(0));
    EXPECT_EQ(Names(late->ChildrenFiles), QStringList{"early.txt"});
    EXPECT_EQ(Names(late->ChildrenFolders), QStringList{"Sub"});
    EXPECT_EQ(at(5)->GetPath(), "C:\\Late\\early.txt\\");
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders), QStringList{"C:"});
}

TEST_F(FATAnalysis, LiveEntryOfAParentThatNeverComesStaysUnderItsPlaceholder)
{
    add(5, 4, 0, "orphan.txt");
    EXPECT_TRUE(analyze());
    TBaseElement* placeholder = at(4);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->GetName(), "not_found_yet_4");
    EXPECT_EQ(placeholder->Flags, flag_IS_DELETED | flag_IS_DIRECTORY | flag_EMPTY);
    EXPECT_EQ(placeholder->Parent, nullptr);
    EXPECT_EQ(placeholder->Drive, &disk);
    EXPECT_EQ(at(5)->Parent, placeholder);
    EXPECT_TRUE(disk.LostFolders.IsEmpty());
    // Shown at the top of the drive, as lost folders are, so the entry can be reached.
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders), (QStringList{"C:", "not_found_yet_4"}));
    EXPECT_EQ(at(5)->GetInventPath(), "C:\\not_found_yet_4\\orphan.txt\\");
}

TEST_F(FATAnalysis, FolderPlaceholderHoldingEntriesIsNotTurnedIntoAFile)
{
    add(41, 40, Del, "inner.txt");
    add(40, 0, Del, "a file that took the id"); // a deleted file arrives with the lost folder's id
    add(51, 50, 0, "live inner.txt");
    add(50, 0, 0, "live file that took the id");
    EXPECT_TRUE(analyze());

    const TBaseElement* lost = disk.LostFolders.GetItem(40);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->GetName(), "lost_folder_40");
    EXPECT_EQ(Names(lost->ChildrenFiles), QStringList{"inner.txt"});
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders),
              (QStringList{"C:", "lost_folder_40", "not_found_yet_50"}));
    EXPECT_EQ(Names(at(0)->ChildrenFiles),
              (QStringList{"a file that took the id", "live file that took the id"}));
    EXPECT_EQ(at(51)->GetInventPath(), "C:\\not_found_yet_50\\live inner.txt\\");
}

TEST_F(FATAnalysis, DotNamesAreShownUnderSafeNames)
{
    add(1, 0, 0, "..");
    add(2, 0, Del, ".");
    EXPECT_TRUE(analyze());
    EXPECT_EQ(Names(at(0)->ChildrenFiles), (QStringList{"__", "_"}));
    EXPECT_EQ(at(1)->GetFullName(), "C:\\__");
}

TEST_F(FATAnalysis, DeletedEntriesOfUnknownParentsGoToLostFolders)
{
    add(10, 77, Del, "gone.txt", 10);
    add(11, 77, Del | Dir, "Old");
    add(12, 11, Del, "in old.txt");
    add(3, 0, 0, "plain.txt");
    add(13, 3, Del, "file under a file parent");
    EXPECT_TRUE(analyze());

    TBaseElement* lost = disk.LostFolders.GetItem(77);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->GetName(), "lost_folder_77");
    EXPECT_EQ(lost->Flags, flag_IS_DELETED | flag_IS_DIRECTORY | flag_EMPTY);
    EXPECT_EQ(disk.Elements.IndexOf(lost), -1);
    EXPECT_EQ(Names(lost->ChildrenFiles), QStringList{"gone.txt"});
    EXPECT_EQ(Names(lost->ChildrenFolders), QStringList{"Old"});
    // A deleted folder is registered and holds its deleted children directly.
    EXPECT_EQ(Names(at(11)->ChildrenFiles), QStringList{"in old.txt"});
    EXPECT_EQ(at(12)->GetInventPath(), "C:\\lost_folder_77\\Old\\in old.txt\\");
    EXPECT_EQ(disk.LostFiles.Count(), 3);
    EXPECT_EQ(disk.LostFolders.Count(), 3); // lost_folder_77, Old, lost_folder_13's parent
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders),
              (QStringList{"C:", "lost_folder_77", "lost_folder_3"}));
    // Marking starts only from registered folders: the root stays unmarked.
    EXPECT_FALSE(at(0)->ContainDeleted());
    EXPECT_EQ(progress.Labels.last(), "file under a file parent (13)");
}

TEST_F(FATAnalysis, LostFolderIsReusedWhenItsDeletedRecordArrives)
{
    add(41, 40, Del, "inner.txt");
    add(40, 0, Del | Dir, "Was here");
    EXPECT_TRUE(analyze());
    TBaseElement* folder = at(40);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->GetName(), "Was here");
    EXPECT_EQ(folder->Parent, at(0));
    EXPECT_EQ(Names(folder->ChildrenFiles), QStringList{"inner.txt"});
    EXPECT_EQ(disk.LostFolders.Count(), 2); // listed again on reuse
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders), QStringList{"C:"});
    EXPECT_TRUE(at(0)->ContainDeleted());
}

TEST_F(FATAnalysis, LiveAncestorsOfDeletedEntriesAreMarked)
{
    add(1, 0, Dir, "A");
    add(2, 1, Dir, "B");
    add(3, 2, Del | Dir, "X");
    add(4, 0, Dir, "Untouched");
    add(5, 3, Dir, "live in deleted");
    add(6, 5, Del, "deep.txt");
    EXPECT_TRUE(analyze());
    EXPECT_TRUE(at(2)->ContainDeleted());
    EXPECT_TRUE(at(1)->ContainDeleted());
    EXPECT_TRUE(at(0)->ContainDeleted());
    EXPECT_EQ(at(1)->GetCondition(), "Contain Deleted");
    EXPECT_FALSE(at(4)->ContainDeleted());
    // The walk from deep.txt marks its live folder and stops at the deleted X.
    EXPECT_TRUE(at(5)->ContainDeleted());
    EXPECT_FALSE(at(3)->ContainDeleted());
    EXPECT_EQ(at(3)->GetCondition(), "Deleted");
}

TEST_F(FATAnalysis, RecordsThatCannotBePlacedAreDroppedButCounted)
{
    add(0, 0, 0, "id zero");
    add(-4, 0, 0, "negative id");
    add(7, -1, 0, "negative parent");
    add(8, 0, flag_EMPTY, "empty flag");
    add(int64_t(INT32_MAX) + 1, 0, 0, "id too large");
    add(9, int64_t(1) << 33, Del, "parent too large");
    add(2000000000, 0, 0, "id far beyond the drive");
    add(10, 1999999999, 0, "parent far beyond the drive");
    add(11, 0, 0, "kept");
    EXPECT_TRUE(analyze());
    EXPECT_EQ(disk.ElementCount(), 3u);
    EXPECT_LE(disk.Elements.Count(), 20000);
    EXPECT_EQ(Names(at(0)->ChildrenFiles), QStringList{"kept"});
    EXPECT_EQ(at(0)->GetName(), "C:");
    EXPECT_EQ(progress.Position, 9);
}

TEST_F(FATAnalysis, HugeAnnouncedCountIsHarmless)
{
    engine.SetTotalFiles(DiskId, INT64_MAX);
    add(7, 0, 0, "only.txt");
    EXPECT_TRUE(analyze());
    EXPECT_EQ(progress.Maximum, INT64_MAX);
    EXPECT_EQ(Names(at(0)->ChildrenFiles), QStringList{"only.txt"});
}

TEST_F(FATAnalysis, EntriesNamingThemselvesAsParentDoNotLoop)
{
    add(20, 20, Dir, "self folder");
    add(21, 21, Del | Dir, "self deleted");
    add(22, 20, 0, "child.txt");
    EXPECT_TRUE(analyze());

    TBaseElement* self = at(20);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->GetName(), "self folder");
    ASSERT_NE(self->Parent, nullptr);
    EXPECT_NE(self->Parent, self);
    EXPECT_EQ(self->Parent->GetName(), "not_found_yet_20");
    EXPECT_EQ(self->Parent->Parent, nullptr);
    EXPECT_EQ(Names(self->ChildrenFiles), QStringList{"child.txt"});
    EXPECT_TRUE(self->ChildrenFolders.IsEmpty());
    EXPECT_EQ(at(22)->GetPath(), "not_found_yet_20\\self folder\\child.txt\\");

    TBaseElement* deleted = at(21);
    ASSERT_NE(deleted, nullptr);
    ASSERT_NE(deleted->Parent, nullptr);
    EXPECT_NE(deleted->Parent, deleted);
    EXPECT_EQ(deleted->Parent->GetName(), "lost_folder_21");
    EXPECT_TRUE(deleted->ChildrenFolders.IsEmpty());
    // The new lost folder is a top of its own.
    EXPECT_TRUE(Names(disk.RootElement->ChildrenFolders).contains("lost_folder_21"));
    EXPECT_EQ(deleted->GetInventPath(), "C:\\lost_folder_21\\self deleted\\");
}

TEST_F(FATAnalysis, RecordsClosingAParentCycleDoNotLoop)
{
    add(10, 20, Dir, "A"); // placeholder 20 holds A
    add(20, 10, Dir, "B"); // B would become A's parent and A B's
    add(30, 40, Del | Dir, "C");
    add(40, 30, Del | Dir, "D");
    add(30, 40, Del | Dir, "C again"); // C is reused, its parent D lies below it
    EXPECT_TRUE(analyze());

    for (int32_t id : {10, 20, 30, 40}) {
        const TBaseElement* element = at(id);
        ASSERT_NE(element, nullptr) << id;
        int steps = 0;
        for (const TBaseElement* e = element; e && steps < 100; e = e->Parent)
            ++steps;
        EXPECT_LT(steps, 100) << id;
    }
    EXPECT_EQ(at(20)->Parent->GetName(), "not_found_yet_10");
    EXPECT_EQ(at(10)->Parent, at(20));
    EXPECT_EQ(at(20)->GetPath(), "not_found_yet_10\\B\\");
    EXPECT_EQ(at(10)->GetPath(), "not_found_yet_10\\B\\A\\");
    EXPECT_EQ(at(30)->GetName(), "C again");
    EXPECT_NE(at(30)->Parent, at(40));
}

TEST_F(FATAnalysis, IdsSharingASlotKeepBothEntries)
{
    add(30, 0, 0, "live.txt");
    add(30, 0, Del, "deleted.txt");
    EXPECT_TRUE(analyze());
    EXPECT_EQ(at(30)->GetName(), "deleted.txt");
    EXPECT_EQ(Names(at(0)->ChildrenFiles), (QStringList{"live.txt", "deleted.txt"}));
    EXPECT_EQ(disk.LostFiles.Count(), 1);
}

TEST_F(FATAnalysis, DeletedFolderReportedAgainMovesInsteadOfAppearingTwice)
{
    add(1, 0, Dir, "One");
    add(2, 0, Dir, "Two");
    add(50, 1, Del | Dir, "Moved");
    add(50, 2, Del | Dir, "Moved");
    EXPECT_TRUE(analyze());
    EXPECT_TRUE(at(1)->ChildrenFolders.IsEmpty());
    EXPECT_EQ(Names(at(2)->ChildrenFolders), QStringList{"Moved"});
    EXPECT_EQ(at(50)->Parent, at(2));
}

TEST_F(FATAnalysis, EntryReportedAgainInItsFolderIsListedOnce)
{
    add(1, 0, Dir, "Docs");
    add(5, 1, 0, "a.txt");
    add(6, 1, 0, "b.txt");
    add(5, 1, 0, "a again.txt");
    add(6, 1, Dir, "b as folder");
    add(7, 1, 0, "c.txt");
    EXPECT_TRUE(analyze());
    // The repeated entry keeps its place; one that changes kind changes lists.
    EXPECT_EQ(Names(at(1)->ChildrenFiles), (QStringList{"a again.txt", "c.txt"}));
    EXPECT_EQ(Names(at(1)->ChildrenFolders), QStringList{"b as folder"});
}

TEST_F(FATAnalysis, RescanOfTheSameDriveKeepsNamesAndLists)
{
    add(1, 0, Dir, "Docs");
    add(5, 1, 0, "a.txt");
    add(6, 0, Del, "gone.txt");
    EXPECT_TRUE(analyze());
    TBaseElement* first = at(5);
    TBaseElement* oldRoot = at(0);

    // The second pass finds the same entries, one of them renamed and moved.
    engine.SetRecords(DiskId, {});
    add(1, 0, Dir, "Docs");
    add(5, 0, 0, QStringLiteral("r\u00e9named.txt"));
    add(7, 1, 0, QStringLiteral("n\u00e9w \u20ac.txt"));
    EXPECT_TRUE(analyze());
    EXPECT_EQ(at(5), first);
    EXPECT_EQ(first->GetName(), QStringLiteral("r\u00e9named.txt"));
    EXPECT_EQ(Names(at(0)->ChildrenFolders), QStringList{"Docs"});
    EXPECT_EQ(Names(at(0)->ChildrenFiles), QStringList{QStringLiteral("r\u00e9named.txt")});
    EXPECT_EQ(Names(at(1)->ChildrenFiles), QStringList{QStringLiteral("n\u00e9w \u20ac.txt")});
    // The first pass's elements keep their names: the arena outlives the pass.
    EXPECT_EQ(oldRoot->GetName(), "C:");
    EXPECT_EQ(Names(oldRoot->ChildrenFiles), QStringList{"gone.txt"});
    EXPECT_EQ(at(6)->GetName(), "gone.txt");
}

TEST_F(FATAnalysis, InitializeFailureIsReported)
{
    engine.SetFailInitialize(true);
    add(1, 0, 0, "never read");
    EXPECT_FALSE(analyze());
    EXPECT_EQ(disk.RootElement, nullptr);
    EXPECT_EQ(engine.Calls.FileGetNext, 0);
    EXPECT_EQ(disk.ElementCount(), 0u);
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked()[0].text, "Can't initialize disk!\nThe disk cannot be read.");
    EXPECT_EQ(prompt.asked()[0].caption, "Error");
}

TEST_F(FATAnalysis, ExceptionFromTheEngineEndsTheEnumeration)
{
    add(1, 0, 0, "first");
    add(2, 0, 0, "second");
    engine.SetOnFileGetNext([](int64_t call) {
        if (call == 1)
            throw std::runtime_error("read error");
    });
    EXPECT_TRUE(analyze());
    EXPECT_EQ(Names(at(0)->ChildrenFiles), QStringList{"first"});
}

TEST_F(FATAnalysis, CancelWithoutConfirmationStopsAfterTheCurrentRecord)
{
    for (int i = 1; i <= 10; ++i)
        add(i, 99, Del, QStringLiteral("f%1").arg(i));
    progress.OnPump = [](int pump) {
        if (pump == 3)
            RequestStopScan();
    };
    EXPECT_FALSE(analyze());
    EXPECT_TRUE(StopScan);
    EXPECT_EQ(engine.Calls.FileGetNext, 3);
    EXPECT_TRUE(prompt.asked().isEmpty());
    // The tops are attached even after a cancel.
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders), (QStringList{"C:", "lost_folder_99"}));
    EXPECT_EQ(disk.LostFiles.Count(), 3);
}

TEST_F(FATAnalysis, CancelNeedsConfirmationWhenAsked)
{
    GlobalConfirmInterrupt = true;
    for (int i = 1; i <= 10; ++i)
        add(i, 0, 0, QStringLiteral("f%1").arg(i));
    prompt.queue(TUserPrompt::Answer::Cancel);
    prompt.queue(TUserPrompt::Answer::Ok);
    progress.OnPump = [](int pump) {
        if (pump == 2 || pump == 6)
            RequestStopScan();
    };
    EXPECT_FALSE(analyze());
    ASSERT_EQ(prompt.asked().size(), 2);
    EXPECT_EQ(prompt.asked()[0].text, "Are you sure you want to stop drive opening?");
    EXPECT_EQ(prompt.asked()[0].caption, "Confirmation");
    EXPECT_EQ(prompt.asked()[0].buttons, TUserPrompt::Buttons::OkCancel);
    EXPECT_EQ(engine.Calls.FileGetNext, 6);
}

TEST_F(FATAnalysis, AnsweringCancelLetsTheScanFinish)
{
    GlobalConfirmInterrupt = true;
    for (int i = 1; i <= 5; ++i)
        add(i, 0, 0, QStringLiteral("f%1").arg(i));
    prompt.queue(TUserPrompt::Answer::Cancel);
    progress.OnPump = [](int pump) {
        if (pump == 1) {
            EXPECT_FALSE(RequestStopScan());
        }
    };
    EXPECT_TRUE(analyze());
    EXPECT_FALSE(StopScan);
    EXPECT_EQ(at(0)->ChildrenFiles.Count(), 5);
}

TEST_F(FATAnalysis, ProgressIsThrottledButEndsComplete)
{
    // No turn ever falls due while the records arrive (the fixture's clock is stepped over).
    const TFrozenClock frozen;
    for (int i = 1; i <= 1000; ++i)
        add(i, 0, i % 2 ? Del : 0, QStringLiteral("f%1").arg(i));
    EXPECT_TRUE(analyze());
    EXPECT_EQ(progress.Pumps, 0);
    EXPECT_EQ(progress.Maximum, 1000);
    EXPECT_EQ(progress.Positions.first(), 0);
    EXPECT_EQ(progress.Position, 1000);
    EXPECT_EQ(progress.Labels, QStringList{"f999 (999)"});
}

TEST_F(FATAnalysis, LogFileOnTheScannedDriveIsWarnedAbout)
{
    GlobalLogEnable = true;
    GlobalLogFilename = "D:\\logs\\scan.log";
    EXPECT_TRUE(analyze());
    EXPECT_TRUE(prompt.asked().isEmpty());

    GlobalLogFilename = "C:\\logs\\scan.log";
    TFATDisk again(DiskId);
    EXPECT_TRUE(again.AnalyzeDisk(nullptr, false));
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked()[0].text,
              "Log file located on the same drive as selected for recovery. To prevent "
              "data loss logging for this drive is disabled.");
    GlobalLogEnable = false;
    GlobalLogFilename.clear();
}

namespace {

// The count an engine that walks a folder tree reports while the analysis reads it.
std::function<int64_t()> g_scanEstimate;
int64_t ScriptedEstimate()
{
    return g_scanEstimate();
}

// The scripted engine's calls with a revised count added.
class RevisedCount
{
public:
    explicit RevisedCount(std::function<int64_t()> estimate) : m_api(TVantrelApi::Current())
    {
        g_scanEstimate = std::move(estimate);
        m_api.ScanEstimate = &ScriptedEstimate;
        m_installed.emplace(&m_api);
    }

private:
    TVantrelApi m_api;
    std::optional<TVantrelApi::TInstalled::Scope> m_installed;
};

void ExpectNeverBack(const QList<int64_t>& positions)
{
    for (qsizetype i = 1; i < positions.size(); ++i)
        ASSERT_LE(positions[i - 1], positions[i]) << "at report " << i;
}

} // namespace

TEST_F(FATAnalysis, RevisedCountMovesTheBarForwardOnlyAndFillsItAtTheEnd)
{
    constexpr int Records = 2000;
    for (int i = 1; i <= Records; ++i)
        add(i, 0, 0, QStringLiteral("f%1").arg(i));
    engine.SetTotalFiles(DiskId, 2);
    // Too low at first, then too high, exact once the last record is read.
    RevisedCount revised([this] {
        const int64_t read = engine.Calls.FileGetNext;
        return read >= Records ? Records : std::max<int64_t>(read + 1, read < 500 ? read * 2 : 3 * Records);
    });
    EXPECT_TRUE(analyze());
    EXPECT_GE(progress.Maximum, TBaseDisk::RevisedBarMinimum);
    ExpectNeverBack(progress.Positions);
    EXPECT_EQ(progress.Position, progress.Maximum);
    // The bar moved through the walk, not only at its end.
    const int64_t half = progress.Positions[progress.Positions.size() / 2];
    EXPECT_GT(half, 0);
    EXPECT_LT(half, progress.Maximum);
    EXPECT_EQ(at(0)->ChildrenFiles.Count(), Records);
}

TEST_F(FATAnalysis, CancelDuringARevisedWalkStopsShortOfAFullBar)
{
    for (int i = 1; i <= 300; ++i)
        add(i, 0, 0, QStringLiteral("f%1").arg(i));
    engine.SetTotalFiles(DiskId, 2);
    RevisedCount revised([this] { return engine.Calls.FileGetNext + 100; });
    progress.OnPump = [](int pump) {
        if (pump == 50)
            StopScan = true;
    };
    EXPECT_FALSE(analyze());
    EXPECT_EQ(engine.Calls.FileGetNext, 50);
    ExpectNeverBack(progress.Positions);
    EXPECT_GT(progress.Position, 0);
    EXPECT_LT(progress.Position, progress.Maximum);
}
