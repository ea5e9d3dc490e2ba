#include "viewers/TMemoryByteSource.h"

TMemoryByteSource::TMemoryByteSource(QObject* parent) : TByteSource(parent) {}

TMemoryByteSource::TMemoryByteSource(const void* address, int32_t dataSize, QObject* parent)
    : TByteSource(parent)
{
    SetBlock(address, dataSize);
}

void TMemoryByteSource::SetBlock(const void* address, int32_t dataSize)
{
    const bool empty = address == nullptr || dataSize <= 0;
    FAddress = empty ? nullptr : static_cast<const unsigned char*>(address);
    FDataSize = empty ? 0 : dataSize;
    emit changed();
}

int TMemoryByteSource::byte(int64_t offset) const
{
    if (offset < 0 || offset >= FDataSize)
        return Unreadable;
    return FAddress[offset];
}
