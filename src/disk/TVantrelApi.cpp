#include "disk/TVantrelApi.h"

const TVantrelApi& TVantrelApi::Library()
{
    static const TVantrelApi library{
        ::DisksRescan,          ::DiskGetCount,
        ::DiskGetInformation,   ::DiskInitialize,
        ::FileGetNext,          ::FileRecovery,
        ::VantrelRegisterImage, ::VantrelDiskPath,
        ::VantrelLastError,     ::VantrelSetProgressCallback,
        ::VantrelWait,          ::VantrelRecoveryResult,
        ::VantrelCloseHandle,   ::VantrelFileRecoveryAt,
        ::VantrelScanEstimate,  ::VantrelDiskError,
        ::VantrelFileRead,      ::VantrelClusterOwners,
    };
    return library;
}

const TVantrelApi& TVantrelApi::Current()
{
    const TVantrelApi* installed = TInstalled::Get();
    return installed ? *installed : Library();
}
