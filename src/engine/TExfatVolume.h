#pragma once

#include "engine/format/TExfatEntrySet.h"
#include "engine/format/TExfatGeometry.h"

#include <tsk/libtsk.h>

#include <cstdint>
#include <optional>

// Raw reads of an opened exFAT file system: the directory entry set behind one of the
// library's entry addresses. The caller holds the library lock for every call.
class TExfatVolume
{
public:
    // Reads the boot sector; valid() is false when it is no usable exFAT boot sector.
    explicit TExfatVolume(TSK_FS_INFO* fs);

    bool valid() const { return m_geometry.clusterSize != 0; }
    const TExfatGeometry& geometry() const { return m_geometry; }

    // The entry set that starts at this address, its checksum good; nothing otherwise.
    std::optional<TExfatEntrySet> readSet(uint64_t address) const;

private:
    TSK_FS_INFO* m_fs;
    TExfatGeometry m_geometry;
};
