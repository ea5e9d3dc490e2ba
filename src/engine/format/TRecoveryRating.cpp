#include "engine/format/TRecoveryRating.h"

#include "engine/VantrelLib.h"

#include <algorithm>

namespace {

int64_t withPercent(int64_t rating, uint64_t used, uint64_t total)
{
    return rating | (int64_t{TRecoveryRating::percent(used, total)} << flag_PERCENT_SHIFT);
}

} // namespace

int TRecoveryRating::percent(uint64_t used, uint64_t total)
{
    if (total == 0 || used == 0) {
        return 0;
    }
    if (used >= total) {
        return 100;
    }
    // In long double: used * 100 overflows for counts no volume has, but a hostile one may claim.
    const long double share = static_cast<long double>(used) * 100 / static_cast<long double>(total);
    return std::clamp(static_cast<int>(share + 0.5L), 1, 99);
}

int64_t TRecoveryRating::knownClusters(uint64_t used, uint64_t total)
{
    if (used == 0) {
        return flag_RATING_INTACT;
    }
    if (used >= total) {
        return flag_RATING_OVERWRITTEN;
    }
    return withPercent(flag_RATING_PARTIAL, used, total);
}

int64_t TRecoveryRating::assumedClusters(bool firstUsed, uint64_t used, uint64_t total)
{
    if (firstUsed || (total > 0 && used >= total)) {
        return flag_RATING_OVERWRITTEN;
    }
    if (used == 0) {
        return flag_RATING_INTACT;
    }
    return withPercent(flag_RATING_GUESS, used, total);
}

int64_t TRecoveryRating::rating(int64_t flags)
{
    return flags & flag_RATING_MASK;
}

int TRecoveryRating::percentOf(int64_t flags)
{
    return static_cast<int>((flags & flag_PERCENT_MASK) >> flag_PERCENT_SHIFT);
}
