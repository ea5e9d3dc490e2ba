// The engine's C entry points; each forwards to the engine state.
#include "engine/TVantrelEngine.h"
#include "engine/VantrelLib.h"

extern "C" {

VANTREL_API int32_t DisksRescan(void)
{
    return TVantrelEngine::instance().rescan();
}
VANTREL_API int32_t DiskGetCount(void)
{
    return TVantrelEngine::instance().diskCount();
}
VANTREL_API const TDriveInfo* DiskGetInformation(int32_t id)
{
    return TVantrelEngine::instance().diskInformation(id);
}
VANTREL_API int64_t DiskInitialize(int32_t id, int32_t fullScan)
{
    return TVantrelEngine::instance().initialize(id, fullScan != 0);
}
VANTREL_API const TFileInfo* FileGetNext(void)
{
    return TVantrelEngine::instance().nextEntry();
}

VANTREL_API TVantrelHandle FileRecovery(const char16_t* target, void* window, const TFileInfo* record)
{
    return TVantrelEngine::instance().startRecovery(target, window, record);
}

VANTREL_API TVantrelHandle VantrelFileRecoveryAt(int32_t folder, const char16_t* name, void* window,
                                                 const TFileInfo* record)
{
    return TVantrelEngine::instance().startRecoveryAt(folder, name, window, record);
}

VANTREL_API void VantrelSetOptions(int32_t options)
{
    TVantrelEngine::instance().setOptions(options);
}
VANTREL_API int32_t VantrelRegisterImage(const char* path)
{
    return TVantrelEngine::instance().registerImage(path);
}
VANTREL_API void VantrelClearImages(void)
{
    TVantrelEngine::instance().clearImages();
}
VANTREL_API const char* VantrelDiskPath(int32_t id)
{
    return TVantrelEngine::instance().diskPath(id);
}
VANTREL_API const char* VantrelDiskError(int32_t id)
{
    return TVantrelEngine::instance().diskError(id);
}
VANTREL_API const char* VantrelLastError(void)
{
    return TVantrelEngine::lastError();
}

VANTREL_API void VantrelSetProgressCallback(TVantrelProgressCallback callback)
{
    TVantrelEngine::instance().setProgressCallback(callback);
}

VANTREL_API int64_t VantrelScanEstimate(void)
{
    return TVantrelEngine::instance().scanEstimate();
}

VANTREL_API int32_t VantrelWait(TVantrelHandle handle, int32_t timeoutMs)
{
    return TVantrelEngine::instance().wait(handle, timeoutMs);
}

VANTREL_API int32_t VantrelRecoveryResult(TVantrelHandle handle, char* message, int32_t messageSize)
{
    return TVantrelEngine::instance().recoveryResult(handle, message, messageSize);
}

VANTREL_API void VantrelCloseHandle(TVantrelHandle handle)
{
    TVantrelEngine::instance().closeHandle(handle);
}
}
