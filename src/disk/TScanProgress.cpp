#include "disk/TScanProgress.h"

#include "settings/Messages.h"
#include "disk/TBaseDisk.h"
#include "settings/Settings.h"
#include "util/TUserPrompt.h"

bool ConfirmStopScan(bool confirmInterrupt)
{
    if (!confirmInterrupt)
        return true;
    return TUserPrompt::Current().Confirm(Messages::StopScanQuestion.Text(), TUserPrompt::Buttons::OkCancel);
}

bool ConfirmStopScan()
{
    return ConfirmStopScan(GlobalConfirmInterrupt);
}

bool RequestStopScan()
{
    if (!ConfirmStopScan())
        return false;
    StopScan = true;
    return true;
}
