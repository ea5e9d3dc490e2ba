// The engine's C entry points; each forwards to the engine state. None lets an exception
// out: what a call throws becomes its failure value and the thread's last error.
#include "engine/TReadFaults.h"
#include "engine/TVantrelEngine.h"
#include "engine/VantrelLib.h"

#include <exception>
#include <new>
#include <string>

namespace {

void noteFailure(const char* what) noexcept
{
    try {
        TVantrelEngine::setLastError(what);
    } catch (...) {
        // No memory even for the message: the failure value alone must tell.
    }
}

template<typename R, typename F> R guarded(R failed, F&& call) noexcept
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        noteFailure("Out of memory.");
    } catch (const std::exception& e) {
        try {
            noteFailure((std::string("Internal error: ") + e.what()).c_str());
        } catch (...) {
            noteFailure("Internal error.");
        }
    } catch (...) {
        noteFailure("Internal error.");
    }
    return failed;
}

template<typename F> void guardedVoid(F&& call) noexcept
{
    guarded(0, [&] {
        call();
        return 0;
    });
}

} // namespace

extern "C" {

VANTREL_API int32_t DisksRescan(void) VANTREL_NOEXCEPT
{
    return guarded(int32_t{-1}, [&] { return TVantrelEngine::instance().rescan(); });
}
VANTREL_API int32_t DiskGetCount(void) VANTREL_NOEXCEPT
{
    return guarded(int32_t{0}, [&] { return TVantrelEngine::instance().diskCount(); });
}
VANTREL_API const TDriveInfo* DiskGetInformation(int32_t id) VANTREL_NOEXCEPT
{
    return guarded(static_cast<const TDriveInfo*>(nullptr),
                   [&] { return TVantrelEngine::instance().diskInformation(id); });
}
VANTREL_API int64_t DiskInitialize(int32_t id, int32_t fullScan) VANTREL_NOEXCEPT
{
    return guarded(int64_t{-1}, [&] { return TVantrelEngine::instance().initialize(id, fullScan != 0); });
}
VANTREL_API const TFileInfo* FileGetNext(void) VANTREL_NOEXCEPT
{
    return guarded(static_cast<const TFileInfo*>(nullptr),
                   [&] { return TVantrelEngine::instance().nextEntry(); });
}

VANTREL_API TVantrelHandle FileRecovery(const char16_t* target, void* window,
                                        const TFileInfo* record) VANTREL_NOEXCEPT
{
    return guarded(TVantrelHandle{0},
                   [&] { return TVantrelEngine::instance().startRecovery(target, window, record); });
}

VANTREL_API TVantrelHandle VantrelFileRecoveryAt(int32_t folder, const char16_t* name, void* window,
                                                 const TFileInfo* record) VANTREL_NOEXCEPT
{
    return guarded(TVantrelHandle{0},
                   [&] { return TVantrelEngine::instance().startRecoveryAt(folder, name, window, record); });
}

VANTREL_API int64_t VantrelFileRead(const TFileInfo* record, int64_t offset, void* buffer,
                                    int64_t length) VANTREL_NOEXCEPT
{
    return guarded(int64_t{-1},
                   [&] { return TVantrelEngine::instance().readFile(record, offset, buffer, length); });
}

VANTREL_API int32_t VantrelClusterOwners(const TFileInfo* record, char16_t* text,
                                         int32_t textUnits) VANTREL_NOEXCEPT
{
    return guarded(int32_t{-1},
                   [&] { return TVantrelEngine::instance().clusterOwners(record, text, textUnits); });
}

VANTREL_API void VantrelSetOptions(int32_t options) VANTREL_NOEXCEPT
{
    guardedVoid([&] { TVantrelEngine::instance().setOptions(options); });
}
VANTREL_API int32_t VantrelRegisterImage(const char* path) VANTREL_NOEXCEPT
{
    return guarded(int32_t{-1}, [&] { return TVantrelEngine::instance().registerImage(path); });
}
VANTREL_API int32_t VantrelSetReadFaults(const char* path, const TVantrelReadFault* faults,
                                         int32_t count) VANTREL_NOEXCEPT
{
    return guarded(int32_t{-1}, [&] {
        if (path == nullptr || count < 0 || (count > 0 && faults == nullptr))
            return int32_t{-1};
        TReadFaults::set(path, std::vector<TVantrelReadFault>(faults, faults + count));
        return int32_t{0};
    });
}
VANTREL_API void VantrelClearImages(void) VANTREL_NOEXCEPT
{
    guardedVoid([&] { TVantrelEngine::instance().clearImages(); });
}
VANTREL_API const char* VantrelDiskPath(int32_t id) VANTREL_NOEXCEPT
{
    return guarded<const char*>("", [&] { return TVantrelEngine::instance().diskPath(id); });
}
VANTREL_API const char* VantrelDiskError(int32_t id) VANTREL_NOEXCEPT
{
    return guarded<const char*>("", [&] { return TVantrelEngine::instance().diskError(id); });
}
VANTREL_API const char* VantrelLastError(void) VANTREL_NOEXCEPT
{
    return guarded<const char*>("", [&] { return TVantrelEngine::lastError(); });
}

VANTREL_API void VantrelSetProgressCallback(TVantrelProgressCallback callback) VANTREL_NOEXCEPT
{
    guardedVoid([&] { TVantrelEngine::instance().setProgressCallback(callback); });
}

VANTREL_API int64_t VantrelScanEstimate(void) VANTREL_NOEXCEPT
{
    return guarded(int64_t{-1}, [&] { return TVantrelEngine::instance().scanEstimate(); });
}

VANTREL_API int32_t VantrelWait(TVantrelHandle handle, int32_t timeoutMs) VANTREL_NOEXCEPT
{
    return guarded(int32_t{VANTREL_WAIT_FAILED},
                   [&] { return TVantrelEngine::instance().wait(handle, timeoutMs); });
}

VANTREL_API int32_t VantrelRecoveryResult(TVantrelHandle handle, char* message,
                                          int32_t messageSize) VANTREL_NOEXCEPT
{
    return guarded(int32_t{VANTREL_RECOVERY_BAD_REQUEST},
                   [&] { return TVantrelEngine::instance().recoveryResult(handle, message, messageSize); });
}

VANTREL_API void VantrelCloseHandle(TVantrelHandle handle) VANTREL_NOEXCEPT
{
    guardedVoid([&] { TVantrelEngine::instance().closeHandle(handle); });
}
}
