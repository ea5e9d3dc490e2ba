#pragma once

#include "disk/TBaseDisk.h"

// A drive analysed as NTFS. Ids are file record numbers; records 0 to 16 belong to the
// file system itself, except record 5, the root folder, whose parent is record 5 too.
// The engine returns nil for unused records, so the count it announced bounds the loop.
class TNTFSDisk : public TBaseDisk
{
public:
    explicit TNTFSDisk(int32_t ADriveId) : TBaseDisk(ADriveId) {}

    bool AnalyzeDisk(TScanProgress* ScanForm, bool AFullScan) override;

    static constexpr int64_t RootRecord = 5;
    static constexpr int64_t LastSystemRecord = 16;
};
