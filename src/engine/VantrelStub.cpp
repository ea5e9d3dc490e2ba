// Temporary engine with no disks, so the program links before the real engine lands.
#include "engine/VantrelLib.h"

extern "C" {
int32_t DisksRescan(void) { return 0; }
int32_t DiskGetCount(void) { return 0; }
const TDriveInfo* DiskGetInformation(int32_t) { return nullptr; }
int64_t DiskInitialize(int32_t, int32_t) { return -1; }
const TFileInfo* FileGetNext(void) { return nullptr; }
TVantrelHandle FileRecovery(const char16_t*, void*, const TFileInfo*) { return -1; }
void VantrelSetOptions(int32_t) {}
int32_t VantrelRegisterImage(const char*) { return -1; }
void VantrelClearImages(void) {}
const char* VantrelDiskPath(int32_t) { return ""; }
const char* VantrelLastError(void) { return "The engine is not built yet."; }
void VantrelSetProgressCallback(TVantrelProgressCallback) {}
int32_t VantrelWait(TVantrelHandle, int32_t) { return VANTREL_WAIT_FAILED; }
int32_t VantrelRecoveryResult(TVantrelHandle, char*, int32_t) { return VANTREL_RECOVERY_BAD_REQUEST; }
void VantrelCloseHandle(TVantrelHandle) {}
}
