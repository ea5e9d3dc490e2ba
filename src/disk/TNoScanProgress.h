#pragma once

#include "disk/TScanProgress.h"

// An analysis without a window: nothing is shown and nothing stops it.
class TNoScanProgress : public TScanProgress
{
public:
    void SetMaximum(int64_t) override {}
    void SetPosition(int64_t) override {}
    void SetFileLabel(const QString&) override {}
    void PumpMessages() override {}
};
