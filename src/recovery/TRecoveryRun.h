#pragma once

#include "util/TThrottle.h"

#include "recovery/TProgramLog.h"
#include "recovery/TRecoveryManifest.h"
#include "recovery/TRecoverySink.h"
#include "recovery/TStateTree.h"
#include "recovery/TTargetFolders.h"
#include "engine/VantrelLib.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

class TBaseElement;

// One recovery run: copies the ticked nodes of a check tree, in index order, out of the
// drive being recovered into a destination folder, recreating each element's folder
// path below it. Folders are created, files handed to the engine, which copies them one
// after another while the run prepares the next few; the run waits for each copy in
// 10 ms turns, letting the sink pump messages in between, and reports everything through
// the sink, in the files' order. Existing files are overwritten only when the user
// (or the overwrite mode) agrees.
//
// Only copies the engine reports as successful count as processed; a failed copy is
// logged with the first reason it failed for and counted as failed. Folders are reached
// from the destination without following links, and only regular files receive data.
// Within one run a name is written once: an entry whose target an earlier entry of the
// run wrote gets a numbered name, so what is counted is what is on disk. Names from the disk are made safe
// per path level, so no target leaves the destination, and a target too long for the engine or the file
// system is refused, never shortened.
//
// Before a deleted file is copied its first bytes are checked against its type
// (TContentCheck). A copy of a file rated anything but intact or data in the record is
// logged and counted as damaged, with the reason, apart from the clean ones. When asked,
// the run writes a manifest of every ticked file (TRecoveryManifest) into the
// destination at its end, stopped runs included; refused destinations get none.
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

    // Who shows the run's messages: they tell what to do in that front end's words.
    enum class TFrontEnd
    {
        Wizard,
        CommandLine
    };

    explicit TRecoveryRun(TRecoverySink& sink);
    ~TRecoveryRun();
    TRecoveryRun(const TRecoveryRun&) = delete;
    TRecoveryRun& operator=(const TRecoveryRun&) = delete;

    void SetOverwrite(TOverwrite mode) { m_overwrite = mode; }
    void SetFrontEnd(TFrontEnd frontEnd) { m_frontEnd = frontEnd; }
    // Longest stretch of quick copies without serving the window's events; 0 serves them
    // after every file and folder.
    void SetPumpInterval(std::chrono::milliseconds interval) { m_pumpThrottle.SetInterval(interval); }
    // Whether the run writes recovery-manifest.csv (or the first free numbered name) into
    // the destination; off unless asked. Each recovered file is then read back for its hash.
    void SetManifest(bool write) { m_writeManifest = write; }
    // Log lines go to log as well (null: to the sink only). A log on the source device,
    // or one that cannot be written, is given up with a line that says so.
    void SetProgramLog(TProgramLog* log) { m_log = log; }

    // Runs the recovery of tree's ticked nodes from the drive with driveLetter and engine
    // id driveId into destination. Returns false when the destination was refused (then
    // nothing was written) or the sink asked to stop (Stopped() tells), true when every
    // ticked node was visited.
    bool StartRecovery(const TStateTree& tree, const QString& destination, char driveLetter, int32_t driveId);

    const TRecoveryCounters& Counters() const { return m_counters; }
    // True when the last run ended early because the sink asked it to stop.
    bool Stopped() const { return m_stopped; }
    // The last run's manifest rows (kept only while SetManifest is on).
    const TRecoveryManifest& Manifest() const { return m_manifest; }
    // The full path of the manifest the last run wrote; empty when it wrote none.
    const QString& ManifestPath() const { return m_manifestPath; }
    // Why the manifest asked for could not be written; empty when it was, or not asked.
    const QString& ManifestError() const { return m_manifestError; }

    // The same-drive text and log line.
    static QString SameDriveText(TFrontEnd frontEnd = TFrontEnd::Wizard);
    // Why destination cannot be a folder of this system because of its form (a drive
    // letter or a network share path), or an empty text when its form is fine.
    static QString DestinationFormProblem(const QString& destination);

private:
    bool destinationRefused(const QString& destination, char driveLetter, int32_t driveId);
    QStringList sourcePaths(int32_t driveId) const;
    void log(TProgramLog::Kind kind, const QString& line);
    void recoverFolder(const TBaseElement* folder);
    void recoverFile(const TBaseElement* file);
    // Opens the folder of levels for the files of one folder, creating it when missing.
    void reachFileFolder(const QStringList& levels, const QString& folder);
    // Hands one file's copy into name inside the open folder to the engine; its handle, or
    // 0 or less with the reason in problem.
    TVantrelHandle startCopy(const TBaseElement* file, int folder, const QString& name, const QString& target,
                             QString& problem);
    // Waits for a copy in turns, serving the window: empty when it succeeded, else the
    // reason; nothing when a stop came first and the copy still runs.
    std::optional<QString> awaitCopy(TVantrelHandle handle);
    // The result of a copy its wait ended for with waited; the handle is closed.
    QString copyResult(TVantrelHandle handle, int32_t waited);
    // Waits for the oldest copies until at most keep are running, and tells of each.
    void finishCopies(size_t keep);
    // After a stop: the copies that finished keep their result, the others are cancelled.
    // interrupted: the stop came while the oldest of them was being waited for, which then
    // counts as a failed copy; the others are told as left out by the stop.
    void abandonCopies(bool interrupted);
    // Tells of a copy that ended: recovered when problem is empty, else failed.
    struct TPendingCopy;
    void copyFinished(const TPendingCopy& copy, const QString& problem);
    void fileCopied(const TBaseElement* file, const QString& target, int folder, const QString& name);
    // copyStopped: a copy the stop of the run ended, which is no failure of the file.
    void fileFailed(const TBaseElement* file, const QString& target, const QString& problem,
                    bool copyStopped);
    // The safe folder levels below the destination for the folder chain ending at element
    // (nullptr: none, the destination itself).
    QStringList folderLevels(const TBaseElement* element) const;
    // The target folder of levels, with a trailing separator.
    QString targetFolder(const QStringList& levels) const;
    // How the run remembers a target it wrote: by the file system's idea of equal names.
    QString writtenKey(const QString& target) const;
    bool overwriteAgreed(const QString& target);
    void fileDone(const TBaseElement* file);
    // Adds a manifest row for file when a manifest is kept.
    void addRow(const TBaseElement* file, const QString& target, TRecoveryManifest::Result result,
                const QString& reason, int folder = -1, const QString& name = QString());
    void writeManifest();
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
    TThrottle m_pumpThrottle;
    TFrontEnd m_frontEnd = TFrontEnd::Wizard;
    TTargetFolders m_folders;
    QString m_lastFolder;    // the target folder last reached, reached once per run of files
    int m_lastFolderFd = -1; // its handle (owned by m_folders), or -1 when it failed
    QString m_folderError;   // why it failed
    QSet<QString> m_written; // targets this run wrote or is writing, by writtenKey
    // Copies handed to the engine and not told of yet, oldest first. The engine copies one
    // file after another on its own thread; keeping a few queued lets this thread prepare
    // the next files (names, folders, checks) while it copies, and its thread never waits
    // for the next file. All are in the folder reached last.
    struct TPendingCopy
    {
        const TBaseElement* File;
        QString Target;
        QString Name;
        int Folder;
        TVantrelHandle Handle;
    };
    static constexpr size_t MaxPendingCopies = 16;
    std::deque<TPendingCopy> m_pending;
    bool m_writeManifest = false;
    TProgramLog* m_log = nullptr;
    TRecoveryManifest m_manifest;
    QString m_manifestPath;
    QString m_manifestError;

    // Progress of the running copy, written by the engine's worker thread.
    std::atomic<int64_t> m_progressTotal{0};
    std::atomic<int64_t> m_progressPosition{0};
    std::atomic<uint32_t> m_progressCount{0};
    uint32_t m_progressShown = 0;
};
