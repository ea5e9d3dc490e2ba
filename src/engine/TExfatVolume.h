#pragma once

#include "engine/TExfatEntrySet.h"
#include "engine/TExfatGeometry.h"

#include <tsk/libtsk.h>

#include <cstdint>
#include <optional>
#include <vector>

// Raw reads of an opened exFAT file system: the directory entry set behind one of the
// library's entry addresses, and the folders stored as one contiguous run. The caller
// holds the library lock for every call.
class TExfatVolume
{
public:
    // Reads the boot sector; valid() is false when it is no usable exFAT boot sector.
    explicit TExfatVolume(TSK_FS_INFO* fs);

    bool valid() const { return m_geometry.clusterSize != 0; }
    const TExfatGeometry& geometry() const { return m_geometry; }

    // The entry set that starts at this address, its checksum good; nothing otherwise.
    std::optional<TExfatEntrySet> readSet(uint64_t address) const;

    struct TEntry
    {
        uint64_t address;
        TExfatEntrySet set;
    };
    // The sets held in a folder stored as one contiguous run (no FAT chain), with their
    // addresses; empty for any other folder.
    std::vector<TEntry> folderEntries(const TExfatEntrySet& folder) const;

    // A folder is read only this far: a hostile length cannot make one read grow without end.
    static constexpr uint64_t kMaxFolderBytes = 256ull << 20;

private:
    TSK_FS_INFO* m_fs;
    TExfatGeometry m_geometry;
};
