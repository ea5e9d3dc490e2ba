#pragma once

#include "disk/TChildStore.h"
#include "disk/TElementPool.h"
#include "disk/TElementsArray.h"
#include "disk/TElementsList.h"
#include "disk/TMoveHistory.h"
#include "disk/TNameArena.h"
#include "engine/VantrelLib.h"

#include "util/TThrottle.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TBaseElement;
class TScanProgress;

// One opened drive: its engine id and letter, the element model its analysis builds,
// and the navigation history. The drive owns every element it creates; its arrays and
// lists only refer to them, and all of them end with the drive.
class TBaseDisk
{
public:
    explicit TBaseDisk(int32_t ADriveId);
    virtual ~TBaseDisk();
    TBaseDisk(const TBaseDisk&) = delete;
    TBaseDisk& operator=(const TBaseDisk&) = delete;

    int32_t DriveId;
    char DriveLetter; // '?' when the engine has no letter for the drive
    TElementsArray Elements;
    TElementsList LostFolders;
    TElementsList LostFiles;
    TMoveHistory MoveHistory;
    bool IsAnalyzed = false;
    TBaseElement* RootElement = nullptr; // the drive's top element, once the analysis started

    // Reads the engine's entries into the model. True when the enumeration ran to its
    // end, false when the disk could not be initialised or the user cancelled.
    virtual bool AnalyzeDisk(TScanProgress* ScanForm, bool AFullScan) = 0;

    // A new element owned by this drive.
    TBaseElement* CreateElement();
    // Number of elements the drive created, invented ones included.
    size_t ElementCount() const { return m_pool.Count(); }
    // The element's place among the drive's elements (0 .. ElementCount() - 1), or
    // ElementCount() for one the drive did not create.
    size_t ElementIndex(const TBaseElement* element) const { return m_pool.IndexOf(element); }
    // The number by which the drive's elements refer to it (TDriveRef).
    uint16_t DriveNumber() const { return m_driveNumber; }

    // Least time between two progress updates of a running analysis, in milliseconds.
    // 0 updates after every record (tests).
    // Least range of the bar when the engine revises its count during the analysis, so
    // that a walk that starts with a small guess still moves in small steps.
    static const int64_t RevisedBarMinimum;

protected:
    // Shows the log-drive warning when logging is on and the log lives on this drive.
    void WarnLogDrive() const;
    // Calls DiskInitialize; on failure tells the user and returns false.
    bool InitializeDisk(bool AFullScan, int64_t& TotalFiles);
    // Appends child to its Parent's folders or files (by its kind) as an analysis does:
    // the entry is laid out by the next BuildChildLists.
    void AppendChild(TBaseElement* child);
    // Lays out the child lists appended since the last call; AttachTops ends with it.
    void BuildChildLists() { m_children.Build(); }
    // Gives element a copy of name kept in the drive's name arena.
    void SetName(TBaseElement* element, QStringView name);
    // Creates RootElement, the drive's top element.
    void CreateRootElement();
    // An invented folder of this drive (deleted, directory and empty flags for placeholders).
    TBaseElement* CreateFolder(const QString& name, int64_t id, int64_t flags);
    // Whether the record's ids can be held in Elements; Counter is the count of records so far.
    bool IdsIndexable(const TFileInfo& record, int64_t Counter) const;
    // Adds one accepted record to the model. With reuse off a new element is always made.
    void HandleRecord(const TFileInfo& record, bool reuse);
    // Attaches the root folder (Elements[rootId]), every lost folder without a parent and
    // every "not_found_yet_" placeholder that still holds entries below RootElement, and
    // lays out the child lists.
    void AttachTops(int32_t rootId);

    // Progress of the running analysis, shown and pumped once per repaint interval.
    void BeginProgress(TScanProgress* ScanForm, int64_t TotalFiles);
    void RecordArrived(int64_t Counter)
    {
        m_position = Counter;
        if (m_progress && ((Counter & 63) == 0 || TThrottle::ClockSet()))
            pumpIfDue(Counter);
    }
    // An empty record slot: the position stays, but the window is kept responsive and
    // Cancel is served during long runs of empty slots.
    void SlotPassed(int64_t Counter)
    {
        if (m_progress && ((Counter & 63) == 0 || TThrottle::ClockSet()))
            pumpIfDue(m_position);
    }
    // Shows the position of the last record and the last deleted entry found.
    void EndProgress();

private:
    void livePath(const TFileInfo& record, bool reuse);
    // A "not_found_yet_" placeholder for a live entry's missing parent.
    TBaseElement* createNotFoundYet(int64_t parentId);
    void deletedPath(const TFileInfo& record, bool reuse);
    // Fills element from the record and lists it in parent's folders or files.
    void fill(TBaseElement* element, const TFileInfo& record, TBaseElement* parent);
    // The record's name, kept in the arena; "." and ".." are stored as "_" and "__".
    void storeRecordName(TBaseElement* element, const TFileInfo& record);
    void markAncestors(TBaseElement* element);
    // Would making parent the parent of element close a loop of Parent links?
    bool wouldLoop(const TBaseElement* element, const TBaseElement* parent) const;
    void pumpIfDue(int64_t Counter);
    void showProgress(int64_t Counter);
    // The bar position for Counter records read, with the engine's revised count.
    int64_t shownPosition(int64_t Counter);

    // Declared before the pool: the elements end first, then what they refer to.
    TNameArena m_names;
    TChildStore m_children;
    TElementPool m_pool;
    uint16_t m_driveNumber;
    // Every "not_found_yet_" placeholder made; those never resolved are shown at the top.
    std::vector<TBaseElement*> m_placeholders;
    // Lost folders standing in for folders whose id a new entry took, by that id.
    std::unordered_map<int64_t, TBaseElement*> m_reusedParents;
    int64_t m_totalFiles = 0;
    int64_t m_position = 0;
    // With an engine that revises its count, the bar runs over a fixed range and the
    // part still to go is spread over the records still expected whenever the count
    // changes, so the bar never moves back and is full when the last record arrives.
    bool m_revised = false;
    int64_t m_barMaximum = 0;
    int64_t m_estimate = 0;
    int64_t m_anchorCounter = 0;
    int64_t m_anchorShown = 0;
    int64_t m_shown = 0;
    TScanProgress* m_progress = nullptr;
    TThrottle m_pumpThrottle;
    TBaseElement* m_lastDeleted = nullptr;
    TBaseElement* m_labelShown = nullptr;
};

// The drive letter the engine reports for a disk id ('?' when it has no record).
char GetDriveLetterById(int32_t Id);
// The engine's file system name of a disk id ("Unknown" when it has no record).
QString GetFileSystem(int32_t Id);
// A drive object for a disk id: NTFS when the engine names the file system exactly
// "NTFS", FAT for every other name.
std::unique_ptr<TBaseDisk> CreateDisk(int32_t ADriveId);

// The open drive, or nil.
extern std::unique_ptr<TBaseDisk> CurDisk;
// Cancel flag of the running analysis.
extern bool StopScan;
// Releases the open drive with its whole model.
void CloseCurDisk();
