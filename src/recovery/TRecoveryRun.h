#pragma once

#include "recovery/TRecoverySink.h"
#include "recovery/TStateTree.h"
#include "engine/VantrelLib.h"

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

class TBaseElement;

// One recovery run: copies the ticked nodes of a check tree, in index order, out of the
// drive being recovered into a destination folder, recreating each element's folder
// path below it. Folders are created, files handed to the engine one at a time; the run
// waits for each copy in 10 ms turns, letting the sink pump messages in between, and
// reports everything through the sink. Existing files are overwritten only when the user
// (or the overwrite mode) agrees.
//
// Only copies the engine reports as successful count as processed; a failed copy is
// logged with its reason and counted as failed. Names from the disk are made safe per
// path level, so no target leaves the destination, and a target too long for the engine
// or the file system is refused, never shortened.
class TRecoveryRun
{
public:
    // What to do with a target that exists already.
    enum class TOverwrite
    {
        Ask,   // ask the user: "Confirmation", Yes/No
        Skip,  // keep the existing file
        Always // overwrite without asking
    };

    explicit TRecoveryRun(TRecoverySink& sink);
    ~TRecoveryRun();
    TRecoveryRun(const TRecoveryRun&) = delete;
    TRecoveryRun& operator=(const TRecoveryRun&) = delete;

    void SetOverwrite(TOverwrite mode) { m_overwrite = mode; }
    // Longest stretch of quick copies without serving the window's events; 0 serves them
    // after every file and folder.
    void SetPumpInterval(std::chrono::milliseconds interval) { m_pumpInterval = interval; }

    // Runs the recovery of tree's ticked nodes from the drive with driveLetter and engine
    // id driveId into destination. Returns false when the destination was refused (then
    // nothing was written) or the sink asked to stop (Stopped() tells), true when every
    // ticked node was visited.
    bool StartRecovery(const TStateTree& tree, const QString& destination, char driveLetter, int32_t driveId);

    const TRecoveryCounters& Counters() const { return m_counters; }
    // True when the last run ended early because the sink asked it to stop.
    bool Stopped() const { return m_stopped; }

    // The same-drive text and log line.
    static QString SameDriveText();

private:
    bool destinationRefused(const QString& destination, char driveLetter, int32_t driveId);
    void recoverFolder(const TBaseElement* folder);
    void recoverFile(const TBaseElement* file);
    // Copies one file through the engine; empty when it succeeded, else the reason.
    QString copyFile(const TBaseElement* file, const QString& target);
    // The target folder for the folder chain ending at element (nullptr: the destination
    // itself), with a trailing separator.
    QString targetFolder(const TBaseElement* element) const;
    bool overwriteAgreed(const QString& target);
    void fileDone(const TBaseElement* file);
    void pumpWhenDue();
    void deliverProgress();
    static void progressCallback(void* window, int64_t total, int64_t position);

    TRecoverySink& m_sink;
    TOverwrite m_overwrite = TOverwrite::Ask;
    TRecoveryCounters m_counters;
    QString m_destination; // with its trailing separator
    QChar m_separator = QLatin1Char('/');
    bool m_windowsRules = false;
    std::unique_ptr<TFileInfo> m_record;
    bool m_stopped = false;
    QElapsedTimer m_sincePump;
    std::chrono::milliseconds m_pumpInterval{50};
    QString m_lastFolder; // the target folder last found or made, checked once per run of files

    // Progress of the running copy, written by the engine's worker thread.
    std::atomic<int64_t> m_progressTotal{0};
    std::atomic<int64_t> m_progressPosition{0};
    std::atomic<uint32_t> m_progressCount{0};
    uint32_t m_progressShown = 0;
};
