#include "engine/TFileTimeCodec.h"

namespace {
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;
// The largest second count whose tick value still fits a signed 64-bit FILETIME.
constexpr int64_t kMaxSeconds = INT64_MAX / kTicksPerSecond - kSecondsFrom1601To1970 - 1;
} // namespace

TFileTime TFileTimeCodec::fromUtc(time_t seconds, uint32_t nanoseconds)
{
    // Zero means "not recorded" in the library.
    if (seconds == 0 && nanoseconds == 0) {
        return 0;
    }
    const int64_t s = static_cast<int64_t>(seconds);
    if (s < -kSecondsFrom1601To1970 || s > kMaxSeconds) {
        return 0;
    }
    const uint32_t nanos = nanoseconds < 1000000000u ? nanoseconds : 0;
    return static_cast<TFileTime>((s + kSecondsFrom1601To1970) * kTicksPerSecond + nanos / 100);
}

TFileTime TFileTimeCodec::fromLocalFields(time_t seconds, uint32_t nanoseconds)
{
    if (seconds == 0 && nanoseconds == 0) {
        return 0;
    }
    struct tm fields
    {
    };
    if (localtime_r(&seconds, &fields) == nullptr) {
        return 0;
    }
    const time_t asWritten = timegm(&fields);
    if (asWritten == static_cast<time_t>(-1) && seconds != static_cast<time_t>(-1)) {
        return 0;
    }
    return fromUtc(asWritten, nanoseconds);
}
