#pragma once

#include "util/TOverride.h"
#include "engine/VantrelLib.h"

#include <QString>

#include <utility>

// The engine calls as the program reaches them: a table of function pointers, so
// tests can put a scripted engine where the real library sits.
struct TVantrelApi
{
    int32_t (*DisksRescan)();
    int32_t (*DiskGetCount)();
    const TDriveInfo* (*DiskGetInformation)(int32_t id);
    int64_t (*DiskInitialize)(int32_t id, int32_t fullScan);
    const TFileInfo* (*FileGetNext)();
    TVantrelHandle (*FileRecovery)(const char16_t* target, void* window, const TFileInfo* record);

    int32_t (*RegisterImage)(const char* path);
    const char* (*DiskPath)(int32_t id);
    const char* (*LastError)();
    void (*SetProgressCallback)(TVantrelProgressCallback callback);
    int32_t (*Wait)(TVantrelHandle handle, int32_t timeoutMs);
    int32_t (*RecoveryResult)(TVantrelHandle handle, char* message, int32_t messageSize);
    void (*CloseHandle)(TVantrelHandle handle);
    // FileRecovery into a name inside an open folder; may be null in a table without it.
    TVantrelHandle (*FileRecoveryAt)(int32_t folder, const char16_t* name, void* window,
                                     const TFileInfo* record);
    // Optional: the running enumeration's revised record count. Without it the count
    // DiskInitialize returned stands for the whole analysis.
    int64_t (*ScanEstimate)() = nullptr;
    // Optional: why a disk that is not ready does not open ("" or nullptr: not told).
    const char* (*DiskError)(int32_t id) = nullptr;
    // Optional: reads of an entry's data (VantrelFileRead); without it nothing can be read.
    int64_t (*FileRead)(const TFileInfo* record, int64_t offset, void* buffer, int64_t length) = nullptr;
    // Optional: which live files hold a deleted file's clusters (VantrelClusterOwners).
    int32_t (*ClusterOwners)(const TFileInfo* record, char16_t* text, int32_t textUnits) = nullptr;

    // The table of the real engine library.
    static const TVantrelApi& Library();
    // The table in use; the real engine unless a test installed another.
    static const TVantrelApi& Current();
    // The table in use while a scope of it lasts (a scripted engine in tests).
    using TInstalled = TOverride<TVantrelApi, const TVantrelApi*>;

    // Calls an entry of a table: a missing entry, or one that throws (the library's never
    // do; a stand-in's may), gives `failed`.
    template<typename R, typename... Params, typename... Args>
    // Arguments are taken by value: a field of a packed engine record cannot be bound to
    // a reference.
    static R Guarded(R (*entry)(Params...), R failed, Args... args) noexcept
    {
        if (!entry)
            return failed;
        try {
            return entry(args...);
        } catch (...) {
            return failed;
        }
    }
    // The text of an entry that returns one; empty when it is missing, fails or says nothing.
    template<typename... Params, typename... Args>
    static QString GuardedText(const char* (*entry)(Params...), Args... args)
    {
        const char* text = Guarded(entry, static_cast<const char*>(nullptr), args...);
        return text ? QString::fromUtf8(text).trimmed() : QString();
    }
};
