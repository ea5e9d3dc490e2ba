#pragma once

#include "viewers/TByteSource.h"

#include <cstdint>

// Bytes of a block in memory, read where they lie and never copied. The block belongs to
// the caller and must outlive the source (or be replaced with SetBlock first). Its size
// is a 32-bit signed count: a negative size, or a size without a block, counts as empty.
class TMemoryByteSource : public TByteSource
{
    Q_OBJECT

public:
    explicit TMemoryByteSource(QObject* parent = nullptr);
    TMemoryByteSource(const void* address, int32_t dataSize, QObject* parent = nullptr);

    // Shows another block (or none); viewers are told through changed().
    void SetBlock(const void* address, int32_t dataSize);

    const void* Address() const { return FAddress; }
    int32_t DataSize() const { return FDataSize; }

    int64_t size() const override { return FDataSize; }
    int byte(int64_t offset) const override;

private:
    const unsigned char* FAddress = nullptr;
    int32_t FDataSize = 0;
};
