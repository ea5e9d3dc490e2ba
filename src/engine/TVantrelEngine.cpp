#include "engine/TVantrelEngine.h"

#include "engine/TClusterOwners.h"
#include "engine/TEntryReader.h"
#include "engine/TNtfsEnumerator.h"
#include "engine/TPrefetchingEnumerator.h"
#include "engine/TRecoveryJob.h"
#include "engine/TTextCodec.h"
#include "engine/TTreeEnumerator.h"
#include "engine/TTskVolume.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <unistd.h>

namespace {
thread_local std::string t_lastError;

const char* const kNoDataText =
    "Only the name of this entry survives, in its folder's index: its file record now holds another "
    "file or is gone, so there is no recoverable data.";
} // namespace

TVantrelEngine& TVantrelEngine::instance()
{
    static TVantrelEngine engine;
    return engine;
}

void TVantrelEngine::setLastError(const std::string& text)
{
    t_lastError = text;
}

const char* TVantrelEngine::lastError()
{
    return t_lastError.c_str();
}

bool TVantrelEngine::imagesOnly() const
{
    return (m_options & VANTREL_OPTION_IMAGES_ONLY) != 0;
}

int32_t TVantrelEngine::rescan()
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    m_catalog.rescan(m_images, imagesOnly());
    return m_catalog.idBound();
}

int32_t TVantrelEngine::diskCount()
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_catalog.idBound();
}

const TDriveInfo* TVantrelEngine::diskInformation(int32_t id)
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    const TDiskCatalog::TEntry* entry = m_catalog.entry(id);
    return entry != nullptr ? &entry->info : nullptr;
}

const char* TVantrelEngine::diskPath(int32_t id)
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    const TDiskCatalog::TEntry* entry = m_catalog.entry(id);
    return entry != nullptr ? entry->path.c_str() : "";
}

const char* TVantrelEngine::diskError(int32_t id)
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    const TDiskCatalog::TEntry* entry = m_catalog.entry(id);
    return entry != nullptr ? entry->openError.c_str() : "";
}

int32_t TVantrelEngine::registerImage(const char* path)
{
    if (path == nullptr || *path == '\0') {
        setLastError("No image path given.");
        return -1;
    }
    std::string error;
    if (!TDiskCatalog::canOpenImage(path, error)) {
        setLastError(error);
        return -1;
    }
    char resolved[PATH_MAX];
    const std::string canonical =
        ::realpath(path, resolved) != nullptr ? std::string(resolved) : std::string(path);
    std::lock_guard<std::mutex> guard(m_stateMutex);
    for (const std::string& known : m_images) {
        if (known == canonical) {
            return 0;
        }
    }
    m_images.push_back(canonical);
    return 0;
}

void TVantrelEngine::clearImages()
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    m_images.clear();
}

int64_t TVantrelEngine::initialize(int32_t id, bool fullScan)
{
    std::unique_ptr<TEntryEnumerator> previous;
    std::lock_guard<std::mutex> guard(m_stateMutex);
    previous = std::move(m_enumerator); // a new initialisation ends the previous enumeration
    const TDiskCatalog::TEntry* entry = m_catalog.entry(id);
    if (entry == nullptr) {
        setLastError("There is no disk with id " + std::to_string(id) + ".");
        return -1;
    }
    if (entry->info.ParentID < 0) {
        setLastError("Disk " + std::to_string(id) + " is a device, not a volume with a file system.");
        return -1;
    }
    std::string error;
    std::shared_ptr<TTskVolume> volume = TTskVolume::open(entry->path, entry->offset, error);
    if (!volume) {
        setLastError(error);
        return -1;
    }
    if (volume->isNtfs()) {
        m_enumerator = std::make_unique<TNtfsEnumerator>(volume, fullScan,
                                                         (m_options & VANTREL_OPTION_LIBRARY_RECORDS) == 0);
        // Parsing the next records overlaps the caller's work on the present ones.
        const int32_t options = m_options;
        const bool ahead =
            (options & VANTREL_OPTION_RECORDS_AHEAD) != 0 ||
            ((options & VANTREL_OPTION_SERIAL_RECORDS) == 0 && std::thread::hardware_concurrency() > 2);
        if (ahead) {
            m_enumerator = std::make_unique<TPrefetchingEnumerator>(std::move(m_enumerator));
        }
    } else {
        m_enumerator = std::make_unique<TTreeEnumerator>(volume);
    }
    return m_enumerator->count();
}

const TFileInfo* TVantrelEngine::nextEntry()
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_enumerator ? m_enumerator->next() : nullptr;
}

int64_t TVantrelEngine::scanEstimate()
{
    std::lock_guard<std::mutex> guard(m_stateMutex);
    return m_enumerator ? m_enumerator->count() : -1;
}

TVantrelHandle TVantrelEngine::finishedHandle(int32_t result, const std::string& message)
{
    auto job = std::make_shared<TRecoveryJob>();
    job->finish(result, message);
    return addJob(job);
}

TVantrelHandle TVantrelEngine::addJob(const std::shared_ptr<TRecoveryJob>& job)
{
    std::lock_guard<std::mutex> guard(m_jobsMutex);
    const TVantrelHandle handle = m_nextHandle++;
    m_jobs[handle] = job;
    return handle;
}

TVantrelHandle TVantrelEngine::startRecovery(const char16_t* target, void* window, const TFileInfo* record)
{
    if (target == nullptr || record == nullptr) {
        return finishedHandle(VANTREL_RECOVERY_BAD_REQUEST, "No target or no entry given.");
    }
    std::string path;
    std::string error;
    if (!targetText(target, "target path", path, error)) {
        return finishedHandle(VANTREL_RECOVERY_BAD_REQUEST, error);
    }
    // The folder part is opened as given, links included; the file itself is created in it.
    const size_t slash = path.rfind('/');
    std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, std::max<size_t>(slash, 1));
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return finishedHandle(VANTREL_RECOVERY_BAD_REQUEST, "The target path names a folder, not a file.");
    }
    return queueRecovery(-1, &folder, std::move(name), path, window, record);
}

TVantrelHandle TVantrelEngine::startRecoveryAt(int32_t folder, const char16_t* name, void* window,
                                               const TFileInfo* record)
{
    if (name == nullptr || record == nullptr) {
        return finishedHandle(VANTREL_RECOVERY_BAD_REQUEST, "No target or no entry given.");
    }
    std::string level;
    std::string error;
    if (!targetText(name, "target name", level, error)) {
        return finishedHandle(VANTREL_RECOVERY_BAD_REQUEST, error);
    }
    if (level.find('/') != std::string::npos || level == "." || level == "..") {
        return finishedHandle(VANTREL_RECOVERY_BAD_REQUEST, "The target name must be one path level.");
    }
    std::string shown = level;
    return queueRecovery(folder, nullptr, std::move(level), std::move(shown), window, record);
}

bool TVantrelEngine::targetText(const char16_t* text, const char* what, std::string& result,
                                std::string& error)
{
    size_t length = 0;
    while (length < VANTREL_MAX_TARGET && text[length] != u'\0') {
        ++length;
    }
    if (length > VANTREL_MAX_TARGET - 1) {
        error = std::string("The ") + what + " is longer than 4096 characters.";
        return false;
    }
    if (length == 0 || !TTextCodec::utf16ToUtf8(std::u16string_view(text, length), result)) {
        error = std::string("The ") + what + " is empty or not valid text.";
        return false;
    }
    return true;
}

TVantrelHandle TVantrelEngine::queueRecovery(int32_t folder, const std::string* folderPath, std::string name,
                                             std::string shown, void* window, const TFileInfo* record)
{
    // An entry known only by its name in a folder's index has nothing to copy.
    if (record->Flags & flag_NO_DATA) {
        return finishedHandle(VANTREL_RECOVERY_READ_ERROR, kNoDataText);
    }
    TRecoveryJob::TRequest request;
    {
        std::lock_guard<std::mutex> guard(m_stateMutex);
        std::string error;
        if (!locate(*record, request.volume, request.address, error)) {
            return finishedHandle(VANTREL_RECOVERY_BAD_REQUEST, error);
        }
    }
    // The request keeps its own handle of the folder: the caller may close its one at once.
    const int fd = folderPath != nullptr ? ::open(folderPath->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                         : ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        const int error = errno;
        if (folderPath == nullptr) {
            return finishedHandle(VANTREL_RECOVERY_BAD_REQUEST, "The target folder handle is not open.");
        }
        return finishedHandle(VANTREL_RECOVERY_WRITE_ERROR,
                              "Cannot create " + shown + ": " + std::strerror(error));
    }
    request.folder = TRecoveryJob::TFolder(fd);
    request.target = std::move(name);
    request.shown = std::move(shown);
    request.window = window;
    request.progress = m_progress.load();

    auto job = std::make_shared<TRecoveryJob>();
    const TVantrelHandle handle = addJob(job);
    m_worker.post(job, std::move(request));
    return handle;
}

bool TVantrelEngine::locateFileData(const TFileInfo& record, std::shared_ptr<TTskVolume>& volume,
                                    uint64_t& address)
{
    if (record.Flags & flag_NO_DATA) {
        setLastError(kNoDataText);
        return false;
    }
    if (record.Flags & flag_IS_DIRECTORY) {
        setLastError("The entry is a folder, not a file.");
        return false;
    }
    std::lock_guard<std::mutex> guard(m_stateMutex);
    std::string error;
    if (!locate(record, volume, address, error)) {
        setLastError(error);
        return false;
    }
    return true;
}

bool TVantrelEngine::locate(const TFileInfo& record, std::shared_ptr<TTskVolume>& volume, uint64_t& address,
                            std::string& error)
{
    if (!m_enumerator) {
        error = "No disk is initialised.";
        return false;
    }
    // The address travels in Attributes; the id map confirms it or fills in for it.
    int64_t found = record.Attributes;
    const int64_t mapped = m_enumerator->addressOf(record.TrueId);
    const TSK_FS_INFO* fs = m_enumerator->volume()->fs();
    const bool inRange =
        found >= static_cast<int64_t>(fs->first_inum) && found <= static_cast<int64_t>(fs->last_inum);
    if (!inRange || (record.Attributes == 0 && mapped > 0)) {
        found = mapped;
    }
    if (found < 0) {
        error = "No entry with id " + std::to_string(record.TrueId) + " on this disk.";
        return false;
    }
    volume = m_enumerator->volume();
    address = static_cast<uint64_t>(found);
    return true;
}

int64_t TVantrelEngine::readFile(const TFileInfo* record, int64_t offset, void* buffer, int64_t length)
{
    if (record == nullptr || offset < 0 || length < 0 || (buffer == nullptr && length > 0)) {
        setLastError("No entry, no buffer, or a negative offset or length given.");
        return -1;
    }
    std::shared_ptr<TTskVolume> volume;
    uint64_t address = 0;
    if (!locateFileData(*record, volume, address))
        return -1;
    // One reader stays open between calls: a viewer or a cat reads the same entry page
    // after page. The lock serialises readers of it (a library file is no shared
    // object); every library call inside also holds the library lock, which keeps them
    // apart from running recoveries and the enumeration.
    std::lock_guard<std::mutex> guard(m_readMutex);
    if (!m_reader || m_reader->volume() != volume || m_reader->address() != address) {
        m_reader.reset();
        auto reader = std::make_unique<TEntryReader>(volume, address);
        std::string reason;
        if (reader->open(reason) != TEntryReader::TOpened::Ok) {
            setLastError(reason);
            return -1;
        }
        m_reader = std::move(reader);
    }
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < length) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(length - done, TRecoveryJob::kChunkSize));
        std::string reason;
        const ssize_t got = m_reader->read(offset + done, out + done, want, reason);
        if (got == 0) {
            break; // the end of the entry
        }
        if (got < 0) {
            if (done > 0) {
                break; // what was read so far is the short result; the next call reports why
            }
            setLastError(reason);
            return -1;
        }
        // A part that reads shorter than asked is followed by a read that fails (what is
        // returned then ends there) or by more data.
        done += got;
    }
    return done;
}

std::shared_ptr<TRecoveryJob> TVantrelEngine::findJob(TVantrelHandle handle)
{
    std::lock_guard<std::mutex> guard(m_jobsMutex);
    const auto found = m_jobs.find(handle);
    return found != m_jobs.end() ? found->second : nullptr;
}

int32_t TVantrelEngine::wait(TVantrelHandle handle, int32_t timeoutMs)
{
    const std::shared_ptr<TRecoveryJob> job = findJob(handle);
    return job ? job->wait(timeoutMs) : VANTREL_WAIT_FAILED;
}

int32_t TVantrelEngine::recoveryResult(TVantrelHandle handle, char* message, int32_t messageSize)
{
    const std::shared_ptr<TRecoveryJob> job = findJob(handle);
    std::string text = "Unknown recovery handle.";
    const int32_t result = job ? job->result(text) : VANTREL_RECOVERY_BAD_REQUEST;
    if (message != nullptr && messageSize > 0) {
        TTextCodec::copyToField(text, message, static_cast<size_t>(messageSize));
    }
    return result;
}

void TVantrelEngine::closeHandle(TVantrelHandle handle)
{
    std::shared_ptr<TRecoveryJob> job;
    {
        std::lock_guard<std::mutex> guard(m_jobsMutex);
        const auto found = m_jobs.find(handle);
        if (found == m_jobs.end()) {
            return;
        }
        job = std::move(found->second);
        m_jobs.erase(found);
    }
    // A closed handle's copy is over before the call returns: cancelled at its next
    // chunk if still running, so no half-written target is left behind by a caller
    // that gave up on it.
    job->cancel();
    job->wait(-1);
}

int32_t TVantrelEngine::clusterOwners(const TFileInfo* record, char16_t* text, int32_t textUnits)
{
    if (text != nullptr && textUnits > 0) {
        text[0] = u'\0';
    }
    if (record == nullptr || textUnits < 0 || (text == nullptr && textUnits > 0)) {
        setLastError("No entry given, or no room for the text.");
        return -1;
    }
    std::shared_ptr<TTskVolume> volume;
    uint64_t address = 0;
    if (!locateFileData(*record, volume, address))
        return -1;
    if (!(record->Flags & flag_IS_DELETED)) {
        setLastError("The entry is not deleted: its clusters are its own.");
        return -1;
    }
    TClusterOwners::TResult owners;
    std::string error;
    if (!TClusterOwners::find(volume, address, VANTREL_MAX_OWNERS_LISTED, owners, error)) {
        setLastError(error);
        return -1;
    }
    std::u16string lines;
    for (const std::string& path : owners.Paths) {
        if (!lines.empty()) {
            lines += u'\n';
        }
        lines += TTextCodec::utf8ToUtf16(path);
    }
    const int64_t more = owners.Count - static_cast<int64_t>(owners.Paths.size());
    if (more > 0) {
        lines += TTextCodec::utf8ToUtf16("\nand " + std::to_string(more) + " more");
    }
    if (text != nullptr && textUnits > 0) {
        size_t units = std::min(lines.size(), static_cast<size_t>(textUnits) - 1);
        // A cut never splits a surrogate pair.
        if (units < lines.size() && units > 0 && (lines[units - 1] & 0xFC00) == 0xD800) {
            --units;
        }
        std::copy_n(lines.data(), units, text);
        text[units] = u'\0';
    }
    return static_cast<int32_t>(std::min<int64_t>(owners.Count, INT32_MAX));
}
