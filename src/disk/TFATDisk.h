#pragma once

#include "disk/TBaseDisk.h"

// A drive analysed as FAT: every file system other than NTFS. The engine numbers the
// entries densely; the root folder is id 0 and is made by the analysis itself.
class TFATDisk : public TBaseDisk
{
public:
    explicit TFATDisk(int32_t ADriveId) : TBaseDisk(ADriveId) {}

    bool AnalyzeDisk(TScanProgress* ScanForm, bool AFullScan) override;
};
