#pragma once

#include "settings/TMessage.h"

// The texts the program composes at run time, each replaceable through the "Messages"
// section of a language file. Placeholders are QString::arg's %1, %2, ...
namespace Messages {

// Captions of message boxes.
inline const TMessage Confirmation{"Confirmation", "Confirmation"};
inline const TMessage Error{"Error", "Error"};
inline const TMessage Warning{"Warning", "Warning"};

// Questions and errors of the windows.
inline const TMessage QuitQuestion{"QuitQuestion", "Are you sure you want to quit Brevant?"};
inline const TMessage StopScanQuestion{"StopScanQuestion", "Are you sure you want to stop drive opening?"};
inline const TMessage StopLoadQuestion{"StopLoadQuestion", "Are you sure you want to stop file list load?"};
inline const TMessage SettingsNotSaved{"SettingsNotSaved", "Can't save the settings to %1: %2"};
inline const TMessage LiveFileSystem{
    "LiveFileSystem",
    "%1 is mounted for writing at %2: what is found may change while it is read, and whatever "
    "the system writes there may overwrite deleted files. Unmount it or mount it read-only "
    "first for the best results."};
inline const TMessage DiskNotInitialized{"DiskNotInitialized", "Can't initialize disk!"};
inline const TMessage LogOnSourceDrive{
    "LogOnSourceDrive", "Log file located on the same drive as selected for recovery. To prevent "
                        "data loss logging for this drive is disabled."};
inline const TMessage ProgramNotStarted{"ProgramNotStarted", "Unable to execute external program \"%1\"."};
inline const TMessage HelpNotOpened{"HelpNotOpened", "Can't open help file (%1)."};
inline const TMessage ImageNotOpened{"ImageNotOpened", "Can't open disk image %1."};
inline const TMessage DriveInfoUnreadable{
    "DriveInfoUnreadable", "Can't read the information of drive %1. Close the drive and open it again."};

// The recovery run.
inline const TMessage OverwriteQuestion{"OverwriteQuestion",
                                        "File \"%1\" already exists. Do you want to overwrite it?"};
inline const TMessage SameDrive{"SameDrive",
                                "Destination folder is on the same drive as source.  Click \"Back\" "
                                "and change destination location of recovered files."};
inline const TMessage NotFullPath{"NotFullPath",
                                  "Destination folder \"%1\" is not a full path.  Click \"Back\" "
                                  "and choose a folder for the recovered files."};
inline const TMessage DriveLetterPath{"DriveLetterPath",
                                      "Destination folder \"%1\" is a drive-letter path; this system has no "
                                      "drive letters.  Choose a folder whose full path starts with \"/\"."};
inline const TMessage SharePath{"SharePath",
                                "Destination folder \"%1\" is a network share path, which this "
                                "system cannot open.  Choose a folder whose full path starts with "
                                "\"/\" (a mounted share included)."};
inline const TMessage RecoveryStarted{"RecoveryStarted", "Recovery started."};
inline const TMessage RecoveryFatal{"RecoveryFatal", "Recovery encountered fatal error."};
inline const TMessage RecoveryStopped{"RecoveryStopped", "Recovery stopped."};
inline const TMessage RecoveryFinished{"RecoveryFinished", "Recovery finished."};
inline const TMessage CreatingFolder{"CreatingFolder", "Creating folder: %1"};
inline const TMessage FolderNotCreated{"FolderNotCreated", "Can't create folder %1 (%2)"};
inline const TMessage FolderNotUsable{"FolderNotUsable", "Can't use folder %1 (%2)"};
inline const TMessage FileNotRecovered{"FileNotRecovered", "Can't recover file: %1 (%2)"};
inline const TMessage FileSkipped{"FileSkipped", "File skipped %1"};
inline const TMessage RecoveringAs{"RecoveringAs", "Name already used in this run, recovering as: %1"};
inline const TMessage RecoveredDamaged{"RecoveredDamaged", "Recovered, damaged: %1 (%2)"};
inline const TMessage RecoveringFile{"RecoveringFile", "Recovering file: %1"};
inline const TMessage ManifestWritten{"ManifestWritten", "Manifest written: %1"};
inline const TMessage ManifestNotWritten{"ManifestNotWritten", "Can't write manifest into %1 (%2)"};
inline const TMessage LogFileNotWritten{"LogFileNotWritten", "Can't write the log file %1 (%2)"};

// What the lists tell of an entry.
inline const TMessage ConditionDeleted{"ConditionDeleted", "Deleted"};
inline const TMessage ConditionContainsDeleted{"ConditionContainsDeleted", "Contain Deleted"};
inline const TMessage ConditionLive{"ConditionLive", "Live"};
inline const TMessage TypeFolder{"TypeFolder", "Folder"};

// The drive selection and drive properties.
inline const TMessage DriveReady{"DriveReady", "Ready"};
inline const TMessage DriveNotReady{"DriveNotReady", "Not ready"};
inline const TMessage DriveUnreadable{"DriveUnreadable", "The disk cannot be opened for reading."};
inline const TMessage DriveUnreadableBecause{"DriveUnreadableBecause",
                                             "The disk cannot be opened for reading: %1."};
inline const TMessage NeedsRights{"NeedsRights",
                                  "Reading disks needs administrator rights: start the program with \"pkexec "
                                  "brevant-pro\" or \"sudo brevant-pro\", or add your user to the \"disk\" "
                                  "group and log in again; or open a disk image instead."};
inline const TMessage Unknown{"Unknown", "Unknown"};
inline const TMessage Yes{"Yes", "Yes"};
inline const TMessage No{"No", "No"};

// The file properties.
inline const TMessage RecoveryPossible{"RecoveryPossible", "Possible"};
inline const TMessage RecoveryPartiallyPossible{"RecoveryPartiallyPossible", "Partially possible"};
inline const TMessage RecoveryImpossible{"RecoveryImpossible", "Impossible"};
inline const TMessage OwnersNotFound{"OwnersNotFound",
                                     "Which files hold its clusters could not be found: %1"};
inline const TMessage NoOwners{"NoOwners", "No live file was found holding its clusters."};
inline const TMessage FoundPlaceholder{"FoundPlaceholder", "Stands in for a folder that was not found"};
inline const TMessage FoundInIndex{"FoundInIndex", "Only in its folder's index"};
inline const TMessage FoundInRebuiltFolder{"FoundInRebuiltFolder",
                                           "In a deleted folder rebuilt from free clusters"};
inline const TMessage FoundWithoutFolder{"FoundWithoutFolder", "On the disk, with no folder leading to it"};
inline const TMessage FoundInReusedRecord{
    "FoundInReusedRecord", "In the file system's records; its folder's record now holds another entry"};
inline const TMessage FoundInRecords{"FoundInRecords", "In the file system's records"};
inline const TMessage ContentGone{"ContentGone", "; its content cannot be read back"};
inline const TMessage StateLiveContainsDeleted{"StateLiveContainsDeleted", "Live, but contain deleted"};

// The wizard's Finish page.
inline const TMessage FinishDamaged{"FinishDamaged", "Recovered, damaged: %1"};
inline const TMessage FinishFailed{"FinishFailed", "Failed: %1"};
inline const TMessage FinishSkipped{"FinishSkipped", "Skipped: %1"};
inline const TMessage FinishNoManifest{"FinishNoManifest", "The manifest could not be written (%1)."};

// Find.
inline const TMessage FoundCount{"FoundCount", "Found %1 files and %2 folders."};

// How much of a deleted file survives.
inline const TMessage RecoveryIntact{"RecoveryIntact", "Intact"};
inline const TMessage RecoveryDataInRecord{"RecoveryDataInRecord", "Data in record"};
inline const TMessage RecoveryPartly{"RecoveryPartly", "Partly overwritten (%1 %)"};
inline const TMessage RecoveryOverwritten{"RecoveryOverwritten", "Overwritten"};
inline const TMessage RecoveryNoData{"RecoveryNoData", "No data"};
inline const TMessage RecoveryGuess{"RecoveryGuess", "Guess (%1 % in use)"};
inline const TMessage RecoveryMismatch{"RecoveryMismatch", "Content mismatch"};

// The viewer.
inline const TMessage ViewNoFile{"ViewNoFile", "No file is selected."};
inline const TMessage ViewFolder{"ViewFolder", "A folder has no content to show."};
inline const TMessage ViewNameOnly{"ViewNameOnly",
                                   "Only the name of this file was found; its content cannot be read back."};
inline const TMessage ViewUnreadable{"ViewUnreadable", "The file's content cannot be read."};
inline const TMessage ViewPage{"ViewPage", "Bytes %1 to %2 of %3, %4"};
inline const TMessage ViewUnreadableFrom{"ViewUnreadableFrom", "[The bytes from %1 on cannot be read.]"};
inline const TMessage ViewEmpty{"ViewEmpty", "The file is empty."};
inline const TMessage PictureTooLarge{
    "PictureTooLarge", "The picture is larger than %1 MB and is not shown; view it as Hex instead."};
inline const TMessage PictureTooSlow{"PictureTooSlow", "The picture could not be decoded within %1 seconds."};

} // namespace Messages
