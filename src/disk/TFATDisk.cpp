#include "disk/TFATDisk.h"

#include "disk/TBaseElement.h"
#include "disk/TVantrelApi.h"

bool TFATDisk::AnalyzeDisk(TScanProgress* ScanForm, bool AFullScan)
{
    WarnLogDrive();
    StopScan = false;
    int64_t TotalFiles = 0;
    if (!InitializeDisk(AFullScan, TotalFiles))
        return false;
    BeginProgress(ScanForm, TotalFiles);

    CreateRootElement();
    TBaseElement* root =
        CreateFolder(QString(QLatin1Char(DriveLetter)) + QLatin1Char(':'), 0, flag_IS_DIRECTORY);
    Elements.SetItem(0, root);

    const TVantrelApi& api = TVantrelApi::Current();
    int64_t Counter = 0;
    for (;;) {
        const TFileInfo* record =
            TVantrelApi::Guarded(api.FileGetNext, static_cast<const TFileInfo*>(nullptr));
        if (!record)
            break;
        ++Counter;
        RecordArrived(Counter);
        const bool skipped = record->TrueId <= 0 || (record->Flags & flag_EMPTY) ||
                             record->TrueParentId < 0 || !IdsIndexable(*record, Counter);
        if (!skipped)
            HandleRecord(*record, true);
        if (StopScan)
            break;
    }
    EndProgress();

    const bool result = !StopScan;
    AttachTops(0);
    return result;
}
