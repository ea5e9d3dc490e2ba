#pragma once

#include <QString>

#include <cstdint>

// What an analysis tells the window that shows its progress. The scan window implements
// it; tests fake it. Cancel reaches the analysis through the StopScan flag, which the
// window sets from within PumpMessages.
class TScanProgress
{
public:
    virtual ~TScanProgress() = default;

    virtual void SetMaximum(int64_t maximum) = 0;
    virtual void SetPosition(int64_t position) = 0;
    // Name and id of the last deleted entry found.
    virtual void SetFileLabel(const QString& text) = 0;
    // Lets the window process pending events (repaints, the Cancel button).
    virtual void PumpMessages() = 0;
};

// Whether a request to stop the running analysis is to be granted: always when
// confirmInterrupt is off, else when the user answers OK to "Are you sure you want to
// stop drive opening?".
bool ConfirmStopScan(bool confirmInterrupt);
// ConfirmStopScan with the user's GlobalConfirmInterrupt setting.
bool ConfirmStopScan();
// Asks as ConfirmStopScan does and, when granted, sets StopScan. Returns whether it did.
bool RequestStopScan();
