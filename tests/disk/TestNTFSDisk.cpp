#include "TFakeScanProgress.h"
#include "disk/TBaseElement.h"
#include "disk/TNTFSDisk.h"
#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "settings/Settings.h"
#include "support/TTestClock.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int64_t Del = flag_IS_DELETED;
constexpr int64_t Dir = flag_IS_DIRECTORY;
constexpr int32_t DiskId = 1;

QStringList Names(const TBaseSortedList& list)
{
    QStringList names;
    for (const TBaseElement* element : list)
        names.append(element->GetName());
    return names;
}

class NTFSAnalysis : public ::testing::Test
{
protected:
    TEveryTurnClock clock; // the window is served after every record
    void SetUp() override
    {
        GlobalConfirmInterrupt = false;
        GlobalLogEnable = false;
    }

    void add(int64_t id, int64_t parent, int64_t flags, const QString& name)
    {
        engine.AddRecord(DiskId, TScriptedEngine::MakeFile(id, parent, flags, 0, name));
    }
    void addRoot() { add(5, 5, Dir, "."); }
    bool analyze() { return disk.AnalyzeDisk(&progress, false); }
    TBaseElement* at(int32_t id) const { return disk.Elements.GetItem(id); }

    bool addDrive()
    {
        engine.AddDisk(TScriptedEngine::MakeDrive(DiskId, 0, 'E', "VOLUME", "NTFS", 1 << 30));
        return true;
    }

    TScriptedEngine engine;
    bool driveAdded = addDrive(); // before the drive object reads its letter
    TScriptedPrompt prompt;
    TFakeScanProgress progress;
    TNTFSDisk disk{DiskId};
};

} // namespace

TEST_F(NTFSAnalysis, ZeroRecordsCostOneCall)
{
    EXPECT_TRUE(analyze());
    EXPECT_EQ(engine.Calls.FileGetNext, 1);
    ASSERT_NE(disk.RootElement, nullptr);
    EXPECT_EQ(disk.RootElement->GetName(), "E: logical drive");
    EXPECT_TRUE(disk.RootElement->ChildrenFolders.IsEmpty());
    EXPECT_EQ(disk.ElementCount(), 1u);
}

TEST_F(NTFSAnalysis, RootRecordAndSystemRecords)
{
    for (int id = 0; id <= 4; ++id)
        add(id, 5, 0, QStringLiteral("$system%1").arg(id));
    addRoot();
    add(16, 5, 0, "record 16");
    add(17, 5, 0, "pagefile.sys");
    add(18, 16, 0, "under record 16");
    add(19, 11, Del, "under $Extend");
    add(20, 5, Dir, "Windows");
    add(21, 20, Dir, "System32");
    add(22, 21, Del, "old.dll");
    EXPECT_TRUE(analyze());

    TBaseElement* root = at(5);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), "E:");
    EXPECT_EQ(root->TrueParentID, 5);
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders), QStringList{"E:"});
    EXPECT_EQ(Names(root->ChildrenFiles), QStringList{"pagefile.sys"});
    EXPECT_EQ(Names(root->ChildrenFolders), QStringList{"Windows"});
    for (int32_t id : {0, 1, 2, 3, 4, 16, 18, 19})
        EXPECT_EQ(at(id), nullptr) << id;
    EXPECT_TRUE(disk.LostFiles.Count() == 1 && disk.LostFolders.IsEmpty());

    // The root hangs under a placeholder of its own id, but paths begin at the root.
    ASSERT_NE(root->Parent, nullptr);
    EXPECT_EQ(root->Parent->GetName(), "not_found_yet_5");
    EXPECT_EQ(at(22)->GetPath(), "E:\\Windows\\System32\\old.dll\\");
    EXPECT_EQ(at(22)->GetInventPath(), "E:\\Windows\\System32\\old.dll\\");
    // Marking climbs to the root and no further.
    EXPECT_TRUE(at(21)->ContainDeleted());
    EXPECT_TRUE(at(20)->ContainDeleted());
    EXPECT_TRUE(root->ContainDeleted());
    EXPECT_FALSE(root->Parent->ContainDeleted());
}

TEST_F(NTFSAnalysis, NilSlotsDoNotEndTheEnumeration)
{
    addRoot();
    engine.AddNil(DiskId);
    engine.AddNil(DiskId);
    add(30, 5, 0, "after the gap.txt");
    engine.AddNil(DiskId);
    add(31, 5, Del, "last.txt");
    EXPECT_TRUE(analyze());
    // Six slots announced: six calls and one more.
    EXPECT_EQ(engine.Calls.FileGetNext, 7);
    EXPECT_EQ(Names(at(5)->ChildrenFiles), (QStringList{"after the gap.txt", "last.txt"}));
    // The position follows the records; empty slots leave it where it was.
    QList<int64_t> distinct;
    for (int64_t position : progress.Positions) {
        if (distinct.isEmpty() || distinct.last() != position)
            distinct.append(position);
    }
    EXPECT_EQ(distinct, (QList<int64_t>{0, 1, 4, 6}));
}

TEST_F(NTFSAnalysis, CountBoundsTheCallsWhateverTheStream)
{
    addRoot();
    for (int i = 0; i < 10; ++i)
        add(100 + i, 5, 0, QStringLiteral("f%1").arg(i));
    engine.SetTotalFiles(DiskId, 3);
    EXPECT_TRUE(analyze());
    EXPECT_EQ(engine.Calls.FileGetNext, 4);
    EXPECT_EQ(at(5)->ChildrenFiles.Count(), 3);

    TNTFSDisk allNil(DiskId);
    engine.SetRecords(DiskId, std::vector<TScriptedEngine::TRecord>(5));
    engine.SetTotalFiles(DiskId, 5);
    EXPECT_TRUE(allNil.AnalyzeDisk(nullptr, false));
    EXPECT_EQ(engine.Calls.FileGetNext, 4 + 6);
    EXPECT_TRUE(allNil.RootElement->ChildrenFolders.IsEmpty());
}

TEST_F(NTFSAnalysis, RootRecordIsNeverReused)
{
    add(40, 5, 0, "before root.txt");
    addRoot();
    add(41, 5, 0, "after root.txt");
    add(5, 5, Del | Dir, "deleted root record");
    EXPECT_TRUE(analyze());
    // The early file stays with the placeholder that the live root then hangs under.
    TBaseElement* placeholder = at(40)->Parent;
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->GetName(), "not_found_yet_5");
    // The deleted record 5 is a new element and takes the slot.
    TBaseElement* top = at(5);
    EXPECT_EQ(top->GetName(), "E:");
    EXPECT_TRUE(top->IsDeleted());
    EXPECT_EQ(disk.LostFolders.Count(), 1);
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders), QStringList{"E:"});
}

TEST_F(NTFSAnalysis, DeletedEntriesOfAReusedFolderRecordStayOutOfItsNewOccupant)
{
    addRoot();
    add(40, 5, Dir, "Fresh");                                  // took the record of a deleted folder
    add(41, 40, Del | flag_PARENT_REUSED, "old file.txt");     // written into that deleted folder
    add(42, 40, Del, "deleted from Fresh.txt");                // belongs to Fresh
    add(43, 50, Del | Dir | flag_PARENT_REUSED, "old folder"); // its folder's new occupant comes later
    add(44, 43, Del, "inner.txt");
    add(50, 5, Dir, "Newer");
    EXPECT_TRUE(analyze());
    EXPECT_EQ(Names(at(40)->ChildrenFiles), QStringList{"deleted from Fresh.txt"});
    EXPECT_TRUE(at(50)->ChildrenFolders.IsEmpty());
    EXPECT_EQ(at(41)->GetInventPath(), "E:\\lost_folder_40\\old file.txt\\");
    EXPECT_EQ(at(44)->GetInventPath(), "E:\\lost_folder_50\\old folder\\inner.txt\\");
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders),
              (QStringList{"E:", "lost_folder_40", "lost_folder_50"}));
}

TEST_F(NTFSAnalysis, EngineExceptionsCountAsEmptySlots)
{
    addRoot();
    add(30, 5, 0, "skipped by the failure");
    add(31, 5, 0, "read after it");
    engine.SetTotalFiles(DiskId, 4);
    engine.SetOnFileGetNext([](int64_t call) {
        if (call == 1)
            throw std::runtime_error("bad record");
    });
    EXPECT_TRUE(analyze());
    EXPECT_EQ(engine.Calls.FileGetNext, 5);
    EXPECT_EQ(Names(at(5)->ChildrenFiles), (QStringList{"skipped by the failure", "read after it"}));
}

TEST_F(NTFSAnalysis, CancelStopsTheLoop)
{
    addRoot();
    for (int i = 0; i < 20; ++i)
        add(100 + i, 5, 0, QStringLiteral("f%1").arg(i));
    progress.OnPump = [](int pump) {
        if (pump == 4)
            RequestStopScan();
    };
    EXPECT_FALSE(analyze());
    EXPECT_EQ(engine.Calls.FileGetNext, 4);
    EXPECT_EQ(Names(disk.RootElement->ChildrenFolders), QStringList{"E:"});
    EXPECT_EQ(at(5)->ChildrenFiles.Count(), 3);
}

TEST_F(NTFSAnalysis, CancelIsServedDuringEmptySlots)
{
    engine.SetRecords(DiskId, std::vector<TScriptedEngine::TRecord>(50));
    progress.OnPump = [](int pump) {
        if (pump == 10)
            RequestStopScan();
    };
    EXPECT_FALSE(analyze());
    EXPECT_EQ(engine.Calls.FileGetNext, 10);
    EXPECT_EQ(progress.Position, 0); // empty slots do not move the position
}

TEST_F(NTFSAnalysis, InitializeFailureIsReported)
{
    engine.SetFailInitialize(true);
    EXPECT_FALSE(analyze());
    EXPECT_EQ(disk.RootElement, nullptr);
    EXPECT_EQ(engine.Calls.FileGetNext, 0);
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked()[0].text, "Can't initialize disk!\nThe disk cannot be read.");
}

namespace {

std::function<int64_t()> g_ntfsEstimate;
int64_t NtfsEstimate()
{
    return g_ntfsEstimate();
}

} // namespace

TEST_F(NTFSAnalysis, EntriesAnnouncedAfterTheLastRecordAreRead)
{
    // Three records, then two entries the engine learnt from a folder index: it raises
    // its count once the records are read.
    addRoot();
    add(20, 5, Dir, "Album");
    add(21, 20, Del, "kept.jpg");
    add(40, 20, Del | flag_FOUND_INDEX | flag_NO_DATA, "name only.jpg");
    add(41, 5, Del | flag_FOUND_INDEX | flag_NO_DATA, "gone.txt");
    engine.SetTotalFiles(DiskId, 3);
    const TVantrelApi* scripted = &TVantrelApi::Current();
    TVantrelApi api = *scripted;
    g_ntfsEstimate = [this] { return engine.Calls.FileGetNext > 3 ? 5 : 3; };
    api.ScanEstimate = &NtfsEstimate;
    {
        const TVantrelApi::TInstalled::Scope estimating(&api);
        EXPECT_TRUE(analyze());
    }
    EXPECT_EQ(engine.Calls.FileGetNext, 6) << "every entry and the closing nil";
    ASSERT_NE(at(20), nullptr);
    EXPECT_EQ(Names(at(20)->ChildrenFiles), (QStringList{"kept.jpg", "name only.jpg"}));
    EXPECT_EQ(Names(at(5)->ChildrenFiles), QStringList{"gone.txt"});
}
