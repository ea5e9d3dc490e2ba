#pragma once

#include <QString>

#include <cstdint>

// The run counters, reset at the start of every run.
struct TRecoveryCounters
{
    int32_t TotalFiles = 0;     // ticked files counted before the run
    int32_t ProcessedFiles = 0; // files the engine copied successfully
    int64_t TotalSize = 0;      // bytes of the ticked files
    int64_t ProcessedSize = 0;  // bytes of the files copied successfully
    int32_t FailedFiles = 0;    // files whose copy failed, or whose target or its folder was refused
    int32_t SkippedFiles = 0;   // existing files not overwritten, and targets that are no regular file
    // Of the processed files, the deleted ones whose data is known not to be all theirs:
    // rated partly overwritten, overwritten, fragmented guess, no data or not matching
    // their type. They are counted as processed (their bytes were written), never as
    // recovered cleanly.
    int32_t DamagedFiles = 0;
    int64_t DamagedSize = 0; // their bytes

    // The files copied with nothing known to be wrong with them.
    int32_t CleanFiles() const { return ProcessedFiles - DamagedFiles; }
};

// What a recovery run shows while it works. The wizard's Progress page implements it,
// the command line prints, tests record. Every call comes on the thread that runs the
// recovery.
class TRecoverySink
{
public:
    virtual ~TRecoverySink() = default;

    // One line for the log; lines are never taken back.
    virtual void AddLogLine(const QString& line) = 0;
    // The four counters changed: total and processed files as numbers, total and
    // processed sizes with FormatSize; the total bar stands for TotalSize bytes and is at
    // ProcessedSize.
    virtual void ShowCounters(const TRecoveryCounters& counters) = 0;
    // The current-file label: the last file handled, as name and size.
    virtual void SetCurrentFileLabel(const QString& text) = 0;
    // The engine's progress of the file being copied: its bar's maximum and position.
    virtual void RefreshProgress(int64_t total, int64_t position) = 0;
    // Lets pending window messages run; called after every 10 ms wait that timed out.
    virtual void PumpMessages() = 0;
    // True when the run should stop: the copy under way is cancelled (its partial file
    // removed) and nothing further is started. Asked before each element and after
    // every wait turn.
    virtual bool StopRequested() { return false; }
};
