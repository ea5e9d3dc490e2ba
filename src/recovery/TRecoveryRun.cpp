#include "recovery/TRecoveryRun.h"

#include "disk/TBaseElement.h"
#include "disk/TContentCheck.h"
#include "disk/TEngineRecord.h"
#include "disk/TScanReport.h"
#include "disk/TVantrelApi.h"
#include "recovery/TDeviceCheck.h"
#include "recovery/TProgramLog.h"
#include "recovery/TTargetName.h"
#include "settings/Messages.h"
#include "util/TUserPrompt.h"
#include "util/Utils.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unordered_set>
#include <vector>

namespace {

// Length of one wait turn for the engine's handle, in milliseconds.
constexpr int32_t WaitTurnMs = 10;

// The drive's root folder is named by its letter ("D:"); it stands for the destination.
bool isDriveRoot(const QString& name)
{
    return name.size() == 2 && name[1] == QLatin1Char(':') && name[0].isLetter();
}

// What is at name inside folder, a dangling link included; one lookup per file.
enum class TPresent
{
    Nothing,
    File,    // a regular file or a link, which the engine replaces when agreed
    Folder,  // cannot take the file's data: the copy fails
    Special, // a pipe, device or socket: kept as it is, never receives data
};

TPresent entryPresent(int folder, const QString& name)
{
    struct stat status
    {
    };
    if (::fstatat(folder, QFile::encodeName(name).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? TPresent::Nothing : TPresent::Special;
    if (S_ISDIR(status.st_mode))
        return TPresent::Folder;
    return S_ISREG(status.st_mode) || S_ISLNK(status.st_mode) ? TPresent::File : TPresent::Special;
}

QString engineReason(int32_t result)
{
    switch (result) {
    case VANTREL_RECOVERY_READ_ERROR:
        return QStringLiteral("the source could not be read");
    case VANTREL_RECOVERY_WRITE_ERROR:
        return QStringLiteral("the target could not be written");
    case VANTREL_RECOVERY_CANCELLED:
        return QStringLiteral("the copy was cancelled");
    case VANTREL_RECOVERY_RUNNING:
        return QStringLiteral("the engine did not finish the copy");
    default:
        return QStringLiteral("the engine refused the request");
    }
}

// Whether a copy of a file so rated gives back something other than the file: everything
// but intact and data in the record. A live file, or a deleted one the engine could not
// rate, has no rating and nothing known against it.
bool knownDamaged(TRecoverability::Rating rating)
{
    return rating != TRecoverability::Rating::None && !TRecoverability::IsIntact(rating);
}

// Unregisters the run's progress callback however the run ends.
class TProgressRegistration
{
public:
    explicit TProgressRegistration(TVantrelProgressCallback callback)
    {
        if (TVantrelApi::Current().SetProgressCallback)
            TVantrelApi::Current().SetProgressCallback(callback);
    }
    ~TProgressRegistration()
    {
        if (TVantrelApi::Current().SetProgressCallback)
            TVantrelApi::Current().SetProgressCallback(nullptr);
    }
    TProgressRegistration(const TProgressRegistration&) = delete;
    TProgressRegistration& operator=(const TProgressRegistration&) = delete;
};

} // namespace

TRecoveryRun::TRecoveryRun(TRecoverySink& sink) : m_sink(sink), m_record(std::make_unique<TFileInfo>()) {}

TRecoveryRun::~TRecoveryRun()
{
    // Only a run left by an exception still has copies under way: they are cancelled, and
    // what they wrote removed, rather than left to finish unreported.
    for (auto copy = m_pending.rbegin(); copy != m_pending.rend(); ++copy)
        TVantrelApi::Current().CloseHandle(copy->Handle);
}

QString TRecoveryRun::SameDriveText(TFrontEnd frontEnd)
{
    if (frontEnd == TFrontEnd::CommandLine)
        return QStringLiteral("Destination folder is on the same drive as source.  Give a folder on another "
                              "drive with --to.");
    return Messages::SameDrive.Text();
}

QString TRecoveryRun::DestinationFormProblem(const QString& destination)
{
    const bool driveLetter = destination.size() >= 2 && destination[0].isLetter() &&
                             destination[0].unicode() < 0x80 && destination[1] == QLatin1Char(':') &&
                             (destination.size() == 2 || destination[2] == QLatin1Char('\\') ||
                              destination[2] == QLatin1Char('/'));
    if (driveLetter)
        return Messages::DriveLetterPath.Text().arg(destination);
    if (destination.startsWith(QStringLiteral("\\\\")))
        return Messages::SharePath.Text().arg(destination);
    return QString();
}

bool TRecoveryRun::StartRecovery(const TStateTree& tree, const QString& destination, char driveLetter,
                                 int32_t driveId)
{
    log(TProgramLog::Kind::Status, Messages::RecoveryStarted.Text());
    m_counters = TRecoveryCounters();
    m_stopped = false;
    m_lastFolder.clear();
    m_lastFolderFd = -1;
    m_written.clear();
    m_manifest.Clear();
    m_manifestPath.clear();
    m_manifestError.clear();
    m_pumpThrottle.Start();

    if (destinationRefused(destination, driveLetter, driveId)) {
        log(TProgramLog::Kind::Error, Messages::RecoveryFatal.Text());
        return false;
    }
    // A log written to the source device could overwrite what is being recovered.
    if (m_log && TDeviceCheck::OnSourceDevice(m_log->Path(), sourcePaths(driveId))) {
        m_sink.AddLogLine(Messages::LogOnSourceDrive.Text());
        m_log = nullptr;
    }

    const std::vector<TStateTree::NodeId> order = tree.IndexOrder();
    std::vector<const TBaseElement*> ticked;
    for (const TStateTree::NodeId node : order) {
        const TBaseElement* element = tree.Data(node);
        if (tree.StateIndex(node) != 2 || !element)
            continue;
        ticked.push_back(element);
        if (!element->IsFolder()) {
            ++m_counters.TotalFiles;
            m_counters.TotalSize += element->Size;
        }
    }
    m_sink.ShowCounters(m_counters);

    TProgressRegistration registration(&TRecoveryRun::progressCallback);
    m_progressCount = 0;
    m_progressShown = 0;
    size_t next = 0;
    for (; next < ticked.size(); ++next) {
        // The copies still running are told of before anything of another folder.
        const TBaseElement* element = ticked[next];
        if (!m_pending.empty() && (element->IsFolder() || element->Parent != m_pending.back().File->Parent))
            finishCopies(0);
        if (m_stopped || m_sink.StopRequested()) {
            m_stopped = true;
            break;
        }
        if (ticked[next]->IsFolder())
            recoverFolder(ticked[next]);
        else
            recoverFile(ticked[next]);
    }
    finishCopies(0);
    // The manifest also names the files a stop left out.
    for (size_t i = m_stopped ? next : ticked.size(); i < ticked.size(); ++i) {
        if (!ticked[i]->IsFolder())
            addRow(ticked[i], QString(), TRecoveryManifest::Result::Cancelled,
                   QStringLiteral("the run was stopped before this file"));
    }
    if (m_writeManifest)
        writeManifest();
    if (m_stopped) {
        log(TProgramLog::Kind::Status, Messages::RecoveryStopped.Text());
        return false;
    }
    log(TProgramLog::Kind::Status, Messages::RecoveryFinished.Text());
    return true;
}

QStringList TRecoveryRun::sourcePaths(int32_t driveId) const
{
    const TVantrelApi& api = TVantrelApi::Current();
    QStringList sources;
    if (api.DiskPath) {
        sources << QFile::decodeName(api.DiskPath(driveId));
        if (api.DiskGetInformation) {
            if (const TDriveInfo* info = api.DiskGetInformation(driveId); info && info->ParentID >= 0)
                sources << QFile::decodeName(api.DiskPath(info->ParentID));
        }
    }
    return sources;
}

void TRecoveryRun::log(TProgramLog::Kind kind, const QString& line)
{
    m_sink.AddLogLine(line);
    if (m_log && !m_log->Add(kind, line)) {
        m_sink.AddLogLine(Messages::LogFileNotWritten.Text().arg(m_log->Path(), m_log->Error()));
        m_log = nullptr;
    }
}

bool TRecoveryRun::destinationRefused(const QString& destination, char driveLetter, int32_t driveId)
{
    // The text rule for drive-letter paths, then the device rule: the destination's file
    // system must not live on the device being recovered or on its disk.
    const QString root = (QString(QLatin1Char(driveLetter)) + QStringLiteral(":\\")).toUpper();
    bool sameDrive = destination.toUpper().contains(root);
    if (!sameDrive && destination.startsWith(QLatin1Char('/')))
        sameDrive = TDeviceCheck::OnSourceDevice(destination, sourcePaths(driveId));
    if (sameDrive) {
        TUserPrompt::Current().Ask(SameDriveText(m_frontEnd), Messages::Warning.Text(),
                                   TUserPrompt::Buttons::Ok, TUserPrompt::Icon::Warning);
        log(TProgramLog::Kind::Warning, SameDriveText(m_frontEnd));
        return true;
    }
    // A drive-letter or share path names nothing here: taken as a relative path, it
    // would put the files wherever the program happens to run.
    if (const QString problem = DestinationFormProblem(destination); !problem.isEmpty()) {
        TUserPrompt::Current().Ask(problem, Messages::Warning.Text(), TUserPrompt::Buttons::Ok,
                                   TUserPrompt::Icon::Warning);
        log(TProgramLog::Kind::Warning, problem);
        return true;
    }

    // Only a full path is a destination: an empty or relative one would put the files
    // wherever the program happens to run.
    if (!destination.startsWith(QLatin1Char('/'))) {
        log(TProgramLog::Kind::Warning,
            m_frontEnd == TFrontEnd::CommandLine
                ? QStringLiteral("Destination folder \"%1\" is not a full path.  Give a full "
                                 "path with --to.")
                      .arg(destination)
                : Messages::NotFullPath.Text().arg(destination));
        return true;
    }
    m_separator = QLatin1Char('/');
    m_destination = destination;
    if (!m_destination.endsWith(m_separator))
        m_destination += m_separator;
    m_folders.Reset(destination);
    m_windowsRules = TTargetName::RulesFor(destination) == TTargetName::Rules::Windows;
    return false;
}

QStringList TRecoveryRun::folderLevels(const TBaseElement* element) const
{
    // The element's chain of display names from the top, as its path has them; the drive's
    // root folder itself is no level.
    QStringList levels;
    if (!element)
        return levels;
    const std::vector<const TBaseElement*> chain = element->ChainFromTop();
    const TTargetName::Rules rules = m_windowsRules ? TTargetName::Rules::Windows : TTargetName::Rules::Posix;
    for (size_t i = 0; i < chain.size(); ++i) {
        const QString name = chain[i]->GetName();
        if (i == 0 && isDriveRoot(name))
            continue;
        levels << TTargetName::SafeLevel(name, rules);
    }
    return levels;
}

QString TRecoveryRun::targetFolder(const QStringList& levels) const
{
    QString folder = m_destination;
    for (const QString& level : levels)
        folder += level + m_separator;
    return folder;
}

QString TRecoveryRun::writtenKey(const QString& target) const
{
    // FAT, exFAT and NTFS take names that differ only in case for one.
    return m_windowsRules ? target.toCaseFolded() : target;
}

void TRecoveryRun::recoverFolder(const TBaseElement* folder)
{
    finishCopies(0); // their folder's handle is given up below
    const QStringList levels = folderLevels(folder);
    const QString target = targetFolder(levels);
    log(TProgramLog::Kind::Status, Messages::CreatingFolder.Text().arg(target));
    QString error;
    bool missing = false;
    if (m_folders.Reach(levels, true, error, missing) < 0)
        log(TProgramLog::Kind::Error, QStringLiteral("Cant create folder ") + target + QStringLiteral(" (") +
                                          error + QStringLiteral(")"));
    // The handle given for the files' folder is gone with this call.
    m_lastFolder.clear();
    m_lastFolderFd = -1;
    pumpWhenDue();
}

void TRecoveryRun::reachFileFolder(const QStringList& levels, const QString& folder)
{
    m_lastFolder = folder;
    bool missing = false;
    m_lastFolderFd = m_folders.Reach(levels, false, m_folderError, missing);
    if (m_lastFolderFd >= 0)
        return;
    if (missing) {
        log(TProgramLog::Kind::Status, Messages::CreatingFolder.Text().arg(folder));
        m_lastFolderFd = m_folders.Reach(levels, true, m_folderError, missing);
        if (m_lastFolderFd < 0)
            log(TProgramLog::Kind::Error, Messages::FolderNotCreated.Text().arg(folder, m_folderError));
    } else {
        log(TProgramLog::Kind::Error, Messages::FolderNotUsable.Text().arg(folder, m_folderError));
    }
}

void TRecoveryRun::recoverFile(const TBaseElement* file)
{
    const QStringList levels = folderLevels(file->Parent);
    const QString folder = targetFolder(levels);
    // Files come folder by folder: the folder is reached once, not for every file in it.
    if (folder != m_lastFolder) {
        finishCopies(0); // the copies still running write into the folder being left
        reachFileFolder(levels, folder);
    }
    const TTargetName::Rules rules = m_windowsRules ? TTargetName::Rules::Windows : TTargetName::Rules::Posix;
    const QString safeName = TTargetName::SafeLevel(file->GetName(), rules);
    QString name = safeName;
    QString target = folder + name;

    // What is told of this file comes after what is told of the copies still running.
    auto failed = [&](const QString& problem) {
        finishCopies(0);
        fileFailed(file, target, problem, false);
    };
    auto skipped = [&](const QString& why) {
        finishCopies(0);
        log(TProgramLog::Kind::Warning, Messages::FileSkipped.Text().arg(target + why));
        ++m_counters.SkippedFiles;
        addRow(file, target, TRecoveryManifest::Result::Skipped,
               why.isEmpty() ? QStringLiteral("a file of that name exists and was kept")
                             : why.mid(2).chopped(1));
        fileDone(file);
    };
    // A file whose folder could not be made never reaches the engine.
    if (m_lastFolderFd < 0)
        return failed(m_folderError);

    // A name an earlier entry of this run wrote (two names made equal by making them safe,
    // a deleted and a live file of one name) gets the first numbered name still free. A
    // copy of that name still running may yet fail and leave it free.
    if (m_written.contains(writtenKey(target)))
        finishCopies(0);
    if (m_written.contains(writtenKey(target))) {
        for (int n = 2;; ++n) {
            name = TTargetName::Numbered(safeName, n);
            target = folder + name;
            if (!m_written.contains(writtenKey(target)) &&
                entryPresent(m_lastFolderFd, name) == TPresent::Nothing)
                break;
        }
        log(TProgramLog::Kind::Warning, Messages::RecoveringAs.Text().arg(target));
    }

    QString problem = TTargetName::LengthProblem(target, m_separator);
    if (!problem.isEmpty())
        return failed(problem);
    switch (entryPresent(m_lastFolderFd, name)) {
    case TPresent::Nothing:
        break;
    case TPresent::Folder:
        return failed(QStringLiteral("a folder of that name is in the way"));
    case TPresent::Special:
        // A pipe or device would swallow the data or block the run, a socket cannot take it.
        return skipped(QStringLiteral(" (not a regular file)"));
    case TPresent::File:
        finishCopies(0);
        if (!overwriteAgreed(target))
            return skipped(QString());
        break;
    }
    // A deleted file whose free clusters hold another type's data is rated so before its
    // copy is counted. The element is the drive's own (the tree only lends it read-only);
    // the list shows the new rating too.
    TContentCheck::Check(const_cast<TBaseElement&>(*file));
    const TVantrelHandle handle = startCopy(file, m_lastFolderFd, name, target, problem);
    if (handle <= 0)
        return failed(problem);
    // The name is taken now: the files after this one are prepared while it is copied.
    m_written.insert(writtenKey(target));
    m_pending.push_back({file, target, name, m_lastFolderFd, handle});
    finishCopies(MaxPendingCopies - 1);
}

void TRecoveryRun::fileFailed(const TBaseElement* file, const QString& target, const QString& problem,
                              bool copyStopped)
{
    log(TProgramLog::Kind::Error, Messages::FileNotRecovered.Text().arg(target, problem));
    ++m_counters.FailedFiles;
    // A copy ended by a stop is no failure of the file.
    addRow(file, target,
           copyStopped ? TRecoveryManifest::Result::Cancelled : TRecoveryManifest::Result::Failed, problem);
    fileDone(file);
}

void TRecoveryRun::finishCopies(size_t keep)
{
    while (m_pending.size() > keep) {
        if (m_stopped || m_sink.StopRequested()) {
            m_stopped = true;
            return abandonCopies(false);
        }
        const std::optional<QString> problem = awaitCopy(m_pending.front().Handle);
        if (!problem)
            return abandonCopies(true); // a stop while this copy ran
        const TPendingCopy copy = m_pending.front();
        m_pending.pop_front();
        copyFinished(copy, *problem);
    }
}

void TRecoveryRun::copyFinished(const TPendingCopy& copy, const QString& problem)
{
    if (problem.isEmpty())
        return fileCopied(copy.File, copy.Target, copy.Folder, copy.Name);
    // Nothing of it is left under the name.
    m_written.remove(writtenKey(copy.Target));
    fileFailed(copy.File, copy.Target, problem, m_stopped);
}

void TRecoveryRun::abandonCopies(bool interrupted)
{
    const TVantrelApi& api = TVantrelApi::Current();
    // The engine copies in order, so once a copy is unfinished the later ones have not
    // begun: they are cancelled first, last to first, and never start. Closing a handle
    // cancels its copy, removes what it wrote, and returns when it is over.
    std::vector<int32_t> waited(m_pending.size());
    for (size_t i = m_pending.size(); i-- > 0;) {
        waited[i] = api.Wait(m_pending[i].Handle, 0);
        if (waited[i] == VANTREL_WAIT_TIMEOUT)
            api.CloseHandle(m_pending[i].Handle);
    }
    bool runningOne = interrupted;
    for (size_t i = 0; i < m_pending.size(); ++i) {
        const TPendingCopy& copy = m_pending[i];
        if (waited[i] != VANTREL_WAIT_TIMEOUT) {
            // Finished before the stop: it keeps its result.
            copyFinished(copy, copyResult(copy.Handle, waited[i]));
        } else if (runningOne) {
            // The copy the stop interrupted.
            runningOne = false;
            m_written.remove(writtenKey(copy.Target));
            fileFailed(copy.File, copy.Target, engineReason(VANTREL_RECOVERY_CANCELLED), true);
        } else {
            m_written.remove(writtenKey(copy.Target));
            addRow(copy.File, QString(), TRecoveryManifest::Result::Cancelled,
                   QStringLiteral("the run was stopped before this file"));
        }
    }
    m_pending.clear();
}

void TRecoveryRun::fileCopied(const TBaseElement* file, const QString& target, int folder,
                              const QString& name)
{
    ++m_counters.ProcessedFiles;
    m_counters.ProcessedSize += file->Size;
    if (knownDamaged(file->Recovery)) {
        const QString why = file->GetRecoveryText();
        log(TProgramLog::Kind::Warning, Messages::RecoveredDamaged.Text().arg(target, why));
        ++m_counters.DamagedFiles;
        m_counters.DamagedSize += file->Size;
        addRow(file, target, TRecoveryManifest::Result::Damaged, why, folder, name);
    } else {
        log(TProgramLog::Kind::Status, Messages::RecoveringFile.Text().arg(target));
        addRow(file, target, TRecoveryManifest::Result::Recovered, QString(), folder, name);
    }
    fileDone(file);
}

bool TRecoveryRun::overwriteAgreed(const QString& target)
{
    switch (m_overwrite) {
    case TOverwrite::Always:
        return true;
    case TOverwrite::Skip:
        return false;
    case TOverwrite::Ask:
        break;
    }
    return TUserPrompt::Current().Ask(Messages::OverwriteQuestion.Text().arg(target),
                                      Messages::Confirmation.Text(), TUserPrompt::Buttons::YesNo,
                                      TUserPrompt::Icon::Question) == TUserPrompt::Answer::Yes;
}

TVantrelHandle TRecoveryRun::startCopy(const TBaseElement* file, int folder, const QString& name,
                                       const QString& target, QString& problem)
{
    const TVantrelApi& api = TVantrelApi::Current();
    TFileInfo& record = *m_record;
    TEngineRecord::Fill(*file, record);

    // The target fits: LengthProblem refused anything longer than the engine takes. The
    // engine creates the file in the folder already reached; an engine without that call
    // gets the whole path.
    const QString& text = api.FileRecoveryAt ? name : target;
    char16_t path[VANTREL_MAX_TARGET] = {};
    std::memcpy(path, text.utf16(), size_t(text.size()) * sizeof(char16_t));

    const TVantrelHandle handle = api.FileRecoveryAt ? api.FileRecoveryAt(folder, path, this, &record)
                                                     : api.FileRecovery(path, this, &record);
    if (handle <= 0) {
        const char* reason = api.LastError ? api.LastError() : nullptr;
        problem = reason && *reason ? QString::fromUtf8(reason)
                                    : QStringLiteral("the engine could not start the copy");
    }
    return handle;
}

std::optional<QString> TRecoveryRun::awaitCopy(TVantrelHandle handle)
{
    const TVantrelApi& api = TVantrelApi::Current();
    int32_t waited = VANTREL_WAIT_TIMEOUT;
    for (;;) {
        waited = api.Wait(handle, WaitTurnMs);
        deliverProgress();
        if (waited != VANTREL_WAIT_TIMEOUT)
            break;
        m_sink.PumpMessages();
        m_pumpThrottle.Start();
        if (m_sink.StopRequested()) {
            m_stopped = true;
            // A copy that finished meanwhile keeps its result; the run stops after it.
            waited = api.Wait(handle, 0);
            if (waited != VANTREL_WAIT_TIMEOUT)
                break;
            return std::nullopt;
        }
    }
    return copyResult(handle, waited);
}

QString TRecoveryRun::copyResult(TVantrelHandle handle, int32_t waited)
{
    const TVantrelApi& api = TVantrelApi::Current();
    if (waited != VANTREL_WAIT_DONE) {
        api.CloseHandle(handle);
        return QStringLiteral("waiting for the engine failed");
    }
    char message[512] = {};
    const int32_t result = api.RecoveryResult(handle, message, int32_t(sizeof message));
    api.CloseHandle(handle);
    if (result == VANTREL_RECOVERY_OK)
        return QString();
    const QString reason = QString::fromUtf8(message).trimmed();
    return reason.isEmpty() ? engineReason(result) : reason;
}

void TRecoveryRun::fileDone(const TBaseElement* file)
{
    m_sink.SetCurrentFileLabel(file->GetName() + QStringLiteral(" (") + FormatSize(file->Size) +
                               QStringLiteral(")"));
    m_sink.ShowCounters(m_counters);
    pumpWhenDue();
}

void TRecoveryRun::addRow(const TBaseElement* file, const QString& target, TRecoveryManifest::Result result,
                          const QString& reason, int folder, const QString& name)
{
    if (!m_writeManifest)
        return;
    TRecoveryManifest::TRow row;
    row.Source = TScanReport::CleanText(TScanReport::elementPath(*file));
    row.Target = target;
    row.Size = file->Size;
    row.Rating = file->GetRecoveryWord();
    row.Outcome = result;
    row.Reason = reason;
    if (folder >= 0) {
        // What the engine left under the name, read back; a long read still serves the
        // window and its stop button.
        row.Sha256 = TRecoveryManifest::HashFile(folder, name, row.Written, [this] {
            pumpWhenDue();
            if (!m_stopped && m_sink.StopRequested())
                m_stopped = true;
            return !m_stopped;
        });
    }
    m_manifest.Add(std::move(row));
}

void TRecoveryRun::writeManifest()
{
    QString error;
    bool missing = false;
    // The destination itself; the handle given for the files' folder is gone with this.
    const int folder = m_folders.Reach(QStringList(), true, error, missing);
    m_lastFolder.clear();
    m_lastFolderFd = -1;
    if (folder >= 0) {
        const QString name = m_manifest.WriteInto(folder, error);
        if (!name.isEmpty()) {
            m_manifestPath = m_destination + name;
            log(TProgramLog::Kind::Status, Messages::ManifestWritten.Text().arg(m_manifestPath));
            return;
        }
    }
    m_manifestError = error;
    log(TProgramLog::Kind::Error, Messages::ManifestNotWritten.Text().arg(m_destination, error));
}

void TRecoveryRun::pumpWhenDue()
{
    // Small files finish within the engine's first wait turn, so the turns alone would
    // leave the window unpainted for a whole run of them.
    if (m_pumpThrottle.Due())
        m_sink.PumpMessages();
}

void TRecoveryRun::deliverProgress()
{
    const uint32_t count = m_progressCount.load(std::memory_order_acquire);
    if (count == m_progressShown)
        return;
    m_progressShown = count;
    m_sink.RefreshProgress(m_progressTotal.load(std::memory_order_relaxed),
                           m_progressPosition.load(std::memory_order_relaxed));
}

void TRecoveryRun::progressCallback(void* window, int64_t total, int64_t position)
{
    // Called on the engine's worker thread; the values are shown on the run's thread.
    auto* run = static_cast<TRecoveryRun*>(window);
    if (!run)
        return;
    run->m_progressTotal.store(total, std::memory_order_relaxed);
    run->m_progressPosition.store(position, std::memory_order_relaxed);
    run->m_progressCount.fetch_add(1, std::memory_order_release);
}
