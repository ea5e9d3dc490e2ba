#include "disk/TVantrelApi.h"

namespace {
const TVantrelApi* g_current = nullptr;
}

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
    };
    return library;
}

const TVantrelApi& TVantrelApi::Current()
{
    return g_current ? *g_current : Library();
}

void TVantrelApi::Install(const TVantrelApi* api)
{
    g_current = api;
}
