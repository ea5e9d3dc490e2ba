#pragma once

#include "disk/TVantrelApi.h"
#include "engine/VantrelLib.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// An engine driven by a script: a list of disks, a record stream per disk, and scripted
// file copies. It installs itself as the engine in use for its lifetime (only one may
// exist at a time) and counts every call.
class TScriptedEngine
{
public:
    // A record of a stream; nullopt stands for a nil result (an empty NTFS record slot).
    using TRecord = std::optional<TFileInfo>;

    struct TCalls
    {
        int DisksRescan = 0;
        int DiskGetCount = 0;
        int DiskGetInformation = 0;
        int DiskInitialize = 0;
        int FileGetNext = 0;
        int FileRecovery = 0;
        int Wait = 0;
        int RecoveryResult = 0;
        int CloseHandle = 0;
        int RegisterImage = 0;
    };

    // One FileRecovery call as the engine saw it.
    struct TRecovered
    {
        QString Target;
        TFileInfo Record;
        TVantrelHandle Handle;
    };

    // What a scripted copy of an entry does.
    struct TCopy
    {
        QByteArray Data;
        int32_t Result = VANTREL_RECOVERY_OK; // OK, READ_ERROR or WRITE_ERROR
    };

    TScriptedEngine();
    ~TScriptedEngine();
    TScriptedEngine(const TScriptedEngine&) = delete;
    TScriptedEngine& operator=(const TScriptedEngine&) = delete;

    // A disk record. Type is a DRIVE_TYPE_ value; status nonzero means ready.
    static TDriveInfo MakeDrive(int32_t id, int32_t parentId, char letter, const QString& label,
                                const QString& fileSystem, int64_t size, int32_t type = DRIVE_TYPE_LOGICAL,
                                int32_t status = 1);
    // An entry record; times are file times (100 ns since 1601).
    static TFileInfo MakeFile(int64_t id, int64_t parentId, int64_t flags, int64_t size, const QString& name,
                              TFileTime created = 0, TFileTime accessed = 0, TFileTime modified = 0,
                              int64_t attributes = 0);

    // Adds a disk (its ID is taken from the record); path is what DiskPath reports.
    void AddDisk(const TDriveInfo& drive, const QString& path = QString());
    QList<TDriveInfo>& Disks() { return m_disks; }
    // The stream DiskInitialize(diskId) starts. The count it returns is the stream's
    // length unless SetTotalFiles gave another.
    void SetRecords(int32_t diskId, std::vector<TRecord> records);
    void AddRecord(int32_t diskId, const TFileInfo& record);
    void AddNil(int32_t diskId);
    void SetTotalFiles(int32_t diskId, int64_t totalFiles);
    // DiskInitialize answers -1 (with this text from LastError) while set.
    void SetFailInitialize(bool fail, const QString& error = QStringLiteral("The disk cannot be read."));
    // Called by FileGetNext with the 0-based number of the call, before it answers.
    void SetOnFileGetNext(std::function<void(int64_t call)> hook) { m_onFileGetNext = std::move(hook); }
    int32_t LastInitializedDisk() const { return m_initDisk; }
    bool LastFullScan() const { return m_fullScan; }

    // What FileRecovery does for an entry id; entries without a script copy no bytes
    // and succeed.
    void SetCopy(int64_t trueId, const QByteArray& data, int32_t result = VANTREL_RECOVERY_OK);
    // FileRecovery answers 0 (the copy cannot start) while set.
    void SetFailRecoveryStart(bool fail) { m_failRecoveryStart = fail; }
    const QList<TRecovered>& Recovered() const { return m_recovered; }

    // FileRead serves the data SetCopy gave an entry (none: the entry reads as empty).
    // With a readable count, a read that reaches it comes back short and a read at or
    // past it fails, as a deleted file whose clusters run out. Reads may come from any
    // thread; scripts must be set before reading starts.
    void SetReadable(int64_t trueId, int64_t bytes);
    // Called on the reading thread with the offset before each FileRead answers (a test
    // can hold a read there).
    void SetOnFileRead(std::function<void(int64_t offset)> hook) { m_onFileRead = std::move(hook); }
    int FileReads() const { return m_fileReads.load(); }
    // What ClusterOwners answers for an entry id: the owners' paths (the count is their
    // number), or with fail set -1 and error from LastError. Entries without a script have
    // no owners. Answers may be asked from any thread; scripts must be set before.
    void SetOwners(int64_t trueId, const QStringList& paths, bool fail = false,
                   const QString& error = QString());
    int OwnerCalls() const { return m_ownerCalls.load(); }
    // Handles given out and not yet closed.
    int OpenHandles() const { return int(m_handles.size()) - m_closed; }

    // RegisterImage: paths accepted add the disks given here; others are refused.
    void AcceptImage(const QString& path, const QList<TDriveInfo>& disks);
    const QStringList& RegisteredImages() const { return m_registered; }

    TCalls Calls;

    static TScriptedEngine* Active() { return s_active; }

private:
    struct THandleState
    {
        int32_t Result;
        bool Closed;
    };

    static int32_t disksRescan();
    static int32_t diskGetCount();
    static const TDriveInfo* diskGetInformation(int32_t id);
    static int64_t diskInitialize(int32_t id, int32_t fullScan);
    static const TFileInfo* fileGetNext();
    static TVantrelHandle fileRecovery(const char16_t* target, void* window, const TFileInfo* record);
    static TVantrelHandle fileRecoveryAt(int32_t folder, const char16_t* name, void* window,
                                         const TFileInfo* record);
    static TVantrelHandle recover(int folder, const char16_t* target, void* window, const TFileInfo* record);
    static int32_t registerImage(const char* path);
    static const char* diskPath(int32_t id);
    static const char* lastError();
    static void setProgressCallback(TVantrelProgressCallback callback);
    static int32_t wait(TVantrelHandle handle, int32_t timeoutMs);
    static int32_t recoveryResult(TVantrelHandle handle, char* message, int32_t messageSize);
    static void closeHandle(TVantrelHandle handle);
    static int64_t fileRead(const TFileInfo* record, int64_t offset, void* buffer, int64_t length);
    static int32_t clusterOwners(const TFileInfo* record, char16_t* text, int32_t textUnits);

    const TDriveInfo* findDisk(int32_t id) const;

    static TScriptedEngine* s_active;

    TVantrelApi m_api;
    QList<TDriveInfo> m_disks;
    QList<std::string> m_paths;
    std::vector<std::pair<int32_t, std::vector<TRecord>>> m_streams;
    std::vector<std::pair<int32_t, int64_t>> m_totals;
    bool m_failInitialize = false;
    std::string m_lastError;
    std::function<void(int64_t)> m_onFileGetNext;
    const std::vector<TRecord>* m_stream = nullptr;
    size_t m_next = 0;
    int32_t m_initDisk = -1;
    bool m_fullScan = false;
    alignas(8) TFileInfo m_current{};

    std::vector<std::pair<int64_t, TCopy>> m_copies;
    bool m_failRecoveryStart = false;
    std::vector<std::pair<int64_t, int64_t>> m_readable;
    std::function<void(int64_t)> m_onFileRead;
    std::atomic<int> m_fileReads{0};
    struct TOwners
    {
        QStringList Paths;
        bool Fail = false;
        std::string Error;
    };
    std::vector<std::pair<int64_t, TOwners>> m_owners;
    std::atomic<int> m_ownerCalls{0};
    TVantrelProgressCallback m_progress = nullptr;
    QList<TRecovered> m_recovered;
    std::vector<THandleState> m_handles;
    int m_closed = 0;

    QList<std::pair<QString, QList<TDriveInfo>>> m_images;
    QStringList m_registered;
    std::optional<TVantrelApi::TInstalled::Scope> m_installed;
};
