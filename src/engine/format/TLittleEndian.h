#pragma once

#include <cstdint>
#include <type_traits>

// Reads the little-endian integers of on-disk structures, whatever the machine's own order.
// The caller has checked that the bytes lie inside its buffer.
class TLittleEndian
{
public:
    template<typename T> static T Read(const uint8_t* p)
    {
        static_assert(std::is_unsigned_v<T>);
        T value = 0;
        for (unsigned i = 0; i < sizeof(T); ++i)
            value = static_cast<T>(value | (static_cast<T>(p[i]) << (8 * i)));
        return value;
    }
    static uint16_t U16(const uint8_t* p) { return Read<uint16_t>(p); }
    static uint32_t U32(const uint8_t* p) { return Read<uint32_t>(p); }
    static uint64_t U64(const uint8_t* p) { return Read<uint64_t>(p); }
};
