#pragma once

#include "engine/VantrelLib.h"

#include <cstdint>
#include <string>

class TTskVolume;

// Reads what a drive record says about one file system: its name, label, serial,
// OEM id, geometry, free space and capability bits. Free space is counted from
// the allocation structure itself (FAT table, allocation bitmap, $Bitmap), which
// is a sequential read, not a walk over every cluster.
class TVolumeProbe
{
public:
    // Fills the file-system fields of info; the caller sets ids, type and letter.
    static void fill(const TTskVolume& volume, TDriveInfo& info);
    static const char* fileSystemName(uint32_t tskType);
    static int32_t fileSystemFlags(uint32_t tskType);
};
