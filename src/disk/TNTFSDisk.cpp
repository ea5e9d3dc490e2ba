#include "disk/TNTFSDisk.h"

#include "disk/TVantrelApi.h"

bool TNTFSDisk::AnalyzeDisk(TScanProgress* ScanForm, bool AFullScan)
{
    WarnLogDrive();
    StopScan = false;
    int64_t TotalFiles = 0;
    if (!InitializeDisk(AFullScan, TotalFiles))
        return false;
    BeginProgress(ScanForm, TotalFiles);
    CreateRootElement();

    const TVantrelApi& api = TVantrelApi::Current();
    const auto userRecord = [](int64_t id) { return id > LastSystemRecord || id == RootRecord; };
    int64_t Counter = 0;
    for (;;) {
        const TFileInfo* record =
            TVantrelApi::Guarded(api.FileGetNext, static_cast<const TFileInfo*>(nullptr));
        ++Counter;
        // Nil is an unused record slot, not the end of the enumeration.
        if (record) {
            RecordArrived(Counter);
            const bool skipped = !userRecord(record->TrueId) || (record->Flags & flag_EMPTY) ||
                                 !userRecord(record->TrueParentId) || !IdsIndexable(*record, Counter);
            if (!skipped)
                HandleRecord(*record, record->TrueId != RootRecord);
        } else {
            SlotPassed(Counter);
        }
        if (StopScan)
            break;
        // After the last record the engine may announce entries it learnt from the
        // folder indexes: the count grows by their number.
        if (Counter > TotalFiles) {
            int64_t estimate = -1;
            try {
                estimate = api.ScanEstimate ? api.ScanEstimate() : -1;
            } catch (...) {
                estimate = -1;
            }
            if (estimate <= TotalFiles || Counter > estimate)
                break;
            TotalFiles = estimate;
        }
    }
    EndProgress();

    const bool result = !StopScan;
    AttachTops(int32_t(RootRecord));
    return result;
}
