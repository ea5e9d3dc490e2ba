#include "disk/TDriveRef.h"

#include "disk/TBaseDisk.h"

#include <mutex>

TBaseDisk* TDriveRef::s_drives[65536];

namespace {

std::mutex tableLock;
uint16_t lastNumber = 0;

} // namespace

TDriveRef& TDriveRef::operator=(TBaseDisk* disk)
{
    m_number = disk ? disk->DriveNumber() : 0;
    return *this;
}

uint16_t TDriveRef::Enlist(TBaseDisk* disk)
{
    const std::lock_guard<std::mutex> guard(tableLock);
    for (unsigned tries = 0; tries < 65535; ++tries) {
        lastNumber = uint16_t(lastNumber == 65535 ? 1 : lastNumber + 1);
        if (!s_drives[lastNumber]) {
            s_drives[lastNumber] = disk;
            return lastNumber;
        }
    }
    return 0;
}

void TDriveRef::StrikeOff(uint16_t number)
{
    if (number == 0)
        return;
    const std::lock_guard<std::mutex> guard(tableLock);
    s_drives[number] = nullptr;
}
