#pragma once

#include "engine/TDiskCatalog.h"
#include "engine/TRecoveryWorker.h"
#include "engine/VantrelLib.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TEntryEnumerator;
class TEntryReader;
class TTskVolume;

// The engine's state behind the C calls: the disk list, the one enumeration in
// progress and the running recoveries. Calls may come from any thread.
class TVantrelEngine
{
public:
    static TVantrelEngine& instance();

    int32_t rescan();
    int32_t diskCount();
    const TDriveInfo* diskInformation(int32_t id);
    const char* diskPath(int32_t id);
    const char* diskError(int32_t id);
    // fullScan: read more of the file system where that can find more (NTFS: every
    // folder index block's slack).
    int64_t initialize(int32_t id, bool fullScan = false);
    const TFileInfo* nextEntry();
    int64_t scanEstimate();
    TVantrelHandle startRecovery(const char16_t* target, void* window, const TFileInfo* record);
    TVantrelHandle startRecoveryAt(int32_t folder, const char16_t* name, void* window,
                                   const TFileInfo* record);

    // Reads up to length bytes of the record's entry at offset, by the rules of the copy.
    // Result: bytes read (0 at or past the end, fewer than asked where the source gives
    // fewer), or -1 with the last error set.
    int64_t readFile(const TFileInfo* record, int64_t offset, void* buffer, int64_t length);

    // Writes the paths of the live files that now hold the record's deleted clusters into
    // text, one a line. Result: the number of owners, or -1 with the last error set.
    int32_t clusterOwners(const TFileInfo* record, char16_t* text, int32_t textUnits);

    void setOptions(int32_t options) { m_options = options; }
    int32_t registerImage(const char* path);
    void clearImages();
    void setProgressCallback(TVantrelProgressCallback callback) { m_progress = callback; }

    int32_t wait(TVantrelHandle handle, int32_t timeoutMs);
    int32_t recoveryResult(TVantrelHandle handle, char* message, int32_t messageSize);
    void closeHandle(TVantrelHandle handle);

    static void setLastError(const std::string& text);
    static const char* lastError();

private:
    TVantrelEngine() = default;
    bool imagesOnly() const;
    TVantrelHandle finishedHandle(int32_t result, const std::string& message);
    // A target text as UTF-8; false with a reason when it is empty, too long or not text.
    static bool targetText(const char16_t* text, const char* what, std::string& result, std::string& error);
    // Queues the copy of record into name inside a folder: the open handle folder, or the
    // folder at folderPath when that is given.
    TVantrelHandle queueRecovery(int32_t folder, const std::string* folderPath, std::string name,
                                 std::string shown, void* window, const TFileInfo* record);
    // The volume and library address of the record's entry on the initialised disk; false
    // with a reason when there is none. The caller holds m_stateMutex.
    bool locate(const TFileInfo& record, std::shared_ptr<TTskVolume>& volume, uint64_t& address,
                std::string& error);
    // As locate, for an entry whose data is asked for: a folder and a name-only entry are
    // refused. False with the last error set; takes m_stateMutex itself.
    bool locateFileData(const TFileInfo& record, std::shared_ptr<TTskVolume>& volume, uint64_t& address);
    TVantrelHandle addJob(const std::shared_ptr<TRecoveryJob>& job);
    std::shared_ptr<TRecoveryJob> findJob(TVantrelHandle handle);

    std::mutex m_stateMutex; // disk list and enumeration
    TDiskCatalog m_catalog;
    std::vector<std::string> m_images;
    std::atomic<int32_t> m_options{0};
    std::unique_ptr<TEntryEnumerator> m_enumerator;
    std::atomic<TVantrelProgressCallback> m_progress{nullptr};

    // The entry the read call read last, kept open for the next call; taken after
    // m_stateMutex is released, never while holding it.
    std::mutex m_readMutex;
    std::unique_ptr<TEntryReader> m_reader;

    std::mutex m_jobsMutex;
    std::map<TVantrelHandle, std::shared_ptr<TRecoveryJob>> m_jobs;
    TVantrelHandle m_nextHandle = 1;
    // Declared last so that it stops first, while everything its jobs use still exists.
    TRecoveryWorker m_worker;
};
