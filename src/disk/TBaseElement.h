#pragma once

#include "disk/TBaseSortedList.h"
#include "disk/TDriveRef.h"
#include "disk/TElementName.h"
#include "disk/TRecoverability.h"
#include "engine/VantrelLib.h"
#include "util/Utils.h"

#include <QString>

#include <vector>

#include <cstdint>

class TBaseDisk;

// One file or folder the engine reported, or a folder the analysis invented to hold
// orphans. Elements belong to their drive (TBaseDisk), which creates and frees them;
// every other holder only refers to them.
//
// A drive may hold millions of elements, so the object is kept compact (88 bytes): plain
// fields, no virtual functions, the name a reference into the drive's name arena, the
// child lists handles to blocks in the drive's child store and the drive a two-byte
// number (see TElementName, TBaseSortedList, TDriveRef).
class TBaseElement
{
public:
    TBaseElement() = default;
    TBaseElement(const TBaseElement&) = delete;
    TBaseElement& operator=(const TBaseElement&) = delete;

    int64_t TrueID = -1;
    int64_t TrueParentID = -1;
    int64_t Size = 0;
    TDateTime DateCreated = 0;
    TDateTime DateAccessed = 0;
    TDateTime DateModified = 0;
    int64_t Attributes = 0;               // engine-private, handed back at recovery
    static constexpr int64_t Reserve = 0; // always 0; kept out of the object
    TElementName Name;                    // as the engine gave it, possibly empty or blank
    TBaseElement* Parent = nullptr;
    TBaseSortedList ChildrenFolders;
    TBaseSortedList ChildrenFiles;
    // The entry flags (flag_IS_DIRECTORY ... flag_NO_DATA); the rating bits of the
    // engine's flags are kept apart, in Recovery and RecoveryPercent.
    int32_t Flags = 0;
    static constexpr bool FlagsInitialized = false; // never set; kept out of the object
    TDriveRef Drive;
    // A deleted file's rating.
    TRecoverability::Rating Recovery = TRecoverability::Rating::None;
    uint8_t RecoveryPercent : 7 = 0; // for Partial and Guess: share of its clusters in use
    bool ContentChecked : 1 = false; // its first bytes were checked against its type (TContentCheck)

    bool IsFolder() const { return Flags & flag_IS_DIRECTORY; }
    bool IsDeleted() const { return Flags & flag_IS_DELETED; }
    bool ContainDeleted() const { return Flags & flag_HAS_CHILD_DELETED; }
    // "intact", "partial", ...; empty for live files and folders.
    QString GetRecoveryWord() const { return TRecoverability::Word(Recovery); }
    QString GetRecoveryText() const { return TRecoverability::Text(Recovery, RecoveryPercent); }
    QString GetRecoveryShortText() const { return TRecoverability::ShortText(Recovery, RecoveryPercent); }
    bool SubDirFound() const { return !ChildrenFolders.IsEmpty(); }
    int GetChildrensCount() const { return ChildrenFolders.Count() + ChildrenFiles.Count(); }

    // The name windows show: "lost_name_<id>" when the name is blank or unconvertible.
    QString GetName() const;
    // "Folder", or the platform's type description of the name; empty when it has none.
    QString GetFileType() const;
    // "Deleted", "Contain Deleted" or "Live".
    QString GetCondition() const;
    // Display names from the top of the element's chain down to it, each followed by
    // "\"; empty for a drive's top element.
    QString GetPath() const;
    // The element and the folders above it, top first: the walk stops at the drive's top
    // element, after the NTFS root record, and where the chain comes back to an element
    // already seen (only inconsistent engine data makes one), so every element appears once.
    std::vector<const TBaseElement*> ChainFromTop() const;
    // GetPath, with the drive letter in front when the path does not begin with one.
    QString GetInventPath() const;
    // The parent's path followed by the stored name (no "lost_name_" substitute).
    QString GetFullName() const;

    // The drive letter text ("C:") of a path, or empty when it starts with none.
    static QString ExtractDrive(const QString& path);
};
