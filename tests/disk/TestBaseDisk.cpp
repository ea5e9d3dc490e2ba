#include "TFakeScanProgress.h"
#include "disk/TBaseElement.h"
#include "disk/TFATDisk.h"
#include "disk/TNTFSDisk.h"
#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <memory>

TEST(BaseDisk, DriveFactsComeFromTheEngine)
{
    TScriptedEngine engine;
    engine.AddDisk(TScriptedEngine::MakeDrive(0, -1, 0, "", "", 1 << 30, DRIVE_TYPE_PHYSICAL));
    engine.AddDisk(TScriptedEngine::MakeDrive(1, 0, 'C', "SYSTEM", "NTFS", 1 << 29));
    engine.AddDisk(TScriptedEngine::MakeDrive(2, 0, 'D', "data", "ntfs", 1 << 29));
    TDriveInfo full = TScriptedEngine::MakeDrive(3, 0, 0, "", "", 1 << 20);
    std::fill(std::begin(full.FileSystemName), std::end(full.FileSystemName), 'X');
    engine.AddDisk(full);

    EXPECT_EQ(GetDriveLetterById(1), 'C');
    EXPECT_EQ(GetDriveLetterById(9), '?');
    EXPECT_EQ(GetFileSystem(1), "NTFS");
    EXPECT_EQ(GetFileSystem(9), "Unknown");
    EXPECT_EQ(GetFileSystem(3), QString(30, QLatin1Char('X')));

    // Only the exact name NTFS gets the NTFS analysis; everything else is FAT.
    EXPECT_NE(dynamic_cast<TNTFSDisk*>(CreateDisk(1).get()), nullptr);
    EXPECT_NE(dynamic_cast<TFATDisk*>(CreateDisk(2).get()), nullptr);
    EXPECT_NE(dynamic_cast<TFATDisk*>(CreateDisk(9).get()), nullptr);

    TFATDisk disk(1);
    EXPECT_EQ(disk.DriveId, 1);
    EXPECT_EQ(disk.DriveLetter, 'C');
    EXPECT_FALSE(disk.IsAnalyzed);
    EXPECT_EQ(disk.RootElement, nullptr);
    EXPECT_EQ(disk.Elements.Count(), 0);
    EXPECT_EQ(disk.MoveHistory.CurElement, nullptr);
    // A volume without a letter is named with '?', never with a NUL character.
    EXPECT_EQ(TFATDisk(3).DriveLetter, '?');
    EXPECT_EQ(TFATDisk(9).DriveLetter, '?');
}

TEST(BaseDisk, ClosingReleasesTheWholeModel)
{
    TScriptedEngine engine;
    TScriptedPrompt prompt;
    engine.AddDisk(TScriptedEngine::MakeDrive(1, 0, 'F', "USB", "FAT16", 1 << 26));
    engine.AddRecord(1, TScriptedEngine::MakeFile(3, 2, 0, 1, "orphan.txt")); // placeholder in Elements
    engine.AddRecord(1, TScriptedEngine::MakeFile(4, 4, flag_IS_DIRECTORY, 0, "s")); // placeholder in no list
    engine.AddRecord(1, TScriptedEngine::MakeFile(5, 9, flag_IS_DELETED, 1, "x"));   // lost folder

    CurDisk = CreateDisk(1);
    ASSERT_TRUE(CurDisk->AnalyzeDisk(nullptr, false));
    EXPECT_EQ(CurDisk->ElementCount(), 8u);
    CurDisk->MoveHistory.NewFolder(CurDisk->Elements.GetItem(0));
    CloseCurDisk(); // the sanitizer build reports anything left behind
    EXPECT_EQ(CurDisk, nullptr);

    // Opening the same drive again starts from nothing.
    CurDisk = CreateDisk(1);
    EXPECT_EQ(CurDisk->MoveHistory.CurElement, nullptr);
    ASSERT_TRUE(CurDisk->AnalyzeDisk(nullptr, false));
    EXPECT_EQ(CurDisk->ElementCount(), 8u);
    CloseCurDisk();
}

TEST(BaseDisk, StopRequestFollowsTheConfirmSetting)
{
    TScriptedPrompt prompt(TUserPrompt::Answer::Cancel);
    StopScan = false;
    EXPECT_TRUE(ConfirmStopScan(false));
    EXPECT_TRUE(prompt.asked().isEmpty());
    EXPECT_FALSE(ConfirmStopScan(true));
    prompt.queue(TUserPrompt::Answer::Ok);
    EXPECT_TRUE(ConfirmStopScan(true));
    ASSERT_EQ(prompt.asked().size(), 2);
    EXPECT_EQ(prompt.asked()[1].caption, "Confirmation");

    const bool saved = GlobalConfirmInterrupt;
    GlobalConfirmInterrupt = true;
    EXPECT_FALSE(RequestStopScan());
    EXPECT_FALSE(StopScan);
    GlobalConfirmInterrupt = false;
    EXPECT_TRUE(RequestStopScan());
    EXPECT_TRUE(StopScan);
    GlobalConfirmInterrupt = saved;
    StopScan = false;
}

TEST(BaseDisk, ElementsReferToTheirOwnDriveWhileDrivesComeAndGo)
{
    TScriptedEngine engine;
    auto first = std::make_unique<TFATDisk>(1);
    TFATDisk second(2);
    TBaseElement* a = first->CreateElement();
    TBaseElement* b = second.CreateElement();
    EXPECT_EQ(a->Drive, first.get());
    EXPECT_EQ(b->Drive, &second);
    // A closed drive's number is not the next one given out, so nothing that outlived
    // it by mistake turns into an element of the drive opened after it.
    const uint16_t closed = first->DriveNumber();
    first.reset();
    TFATDisk third(3);
    EXPECT_NE(third.DriveNumber(), closed);
    EXPECT_EQ(third.CreateElement()->Drive, &third);
    EXPECT_EQ(b->Drive, &second);
    b->Drive = nullptr;
    EXPECT_EQ(b->Drive, nullptr);
}
