// Times the rating of deleted files by the clusters they hold: loading a volume's
// allocation bitmap into the engine's map and counting, for 1,000,000 deleted files,
// how many of the clusters their data runs name are in use.
//
//   bench_RecoveryRating [FILES]
//
// The volume is synthesised: 1 TiB in 4 KiB clusters (a 32 MiB bitmap), about half in
// use in runs of random length; files have one to four runs, most of a few clusters, one
// in a hundred of thousands. The figures are what the engine adds to an enumeration that
// already reads each record's runs. Each pass runs three times; the fastest counts.

#include "engine/VantrelLib.h"
#include "engine/format/TAllocationMap.h"
#include "engine/format/TRecoveryRating.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct TRun
{
    uint64_t addr;
    uint64_t len;
};

struct TFile
{
    uint32_t firstRun;
    uint32_t runs;
};

} // namespace

int main(int argc, char** argv)
{
    const uint64_t fileCount = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
    const uint64_t clusters = (uint64_t{1} << 40) / 4096;
    std::mt19937_64 random(42);

    // The bitmap as $Bitmap holds it: runs in use and free, of 1 to 4096 clusters.
    std::vector<uint8_t> bitmap(static_cast<size_t>(clusters / 8));
    bool inUse = true;
    for (uint64_t at = 0; at < clusters;) {
        const uint64_t length = std::min<uint64_t>(1 + random() % 4096, clusters - at);
        if (inUse) {
            for (uint64_t c = at; c < at + length; ++c) {
                bitmap[static_cast<size_t>(c / 8)] |= static_cast<uint8_t>(1u << (c % 8));
            }
        }
        at += length;
        inUse = !inUse;
    }

    std::vector<TRun> runs;
    std::vector<TFile> files;
    files.reserve(static_cast<size_t>(fileCount));
    uint64_t totalClusters = 0;
    for (uint64_t i = 0; i < fileCount; ++i) {
        const uint32_t count = 1 + static_cast<uint32_t>(random() % 4);
        files.push_back({static_cast<uint32_t>(runs.size()), count});
        for (uint32_t r = 0; r < count; ++r) {
            const uint64_t length = random() % 100 == 0 ? 1000 + random() % 100'000 : 1 + random() % 16;
            runs.push_back({random() % (clusters - length), length});
            totalClusters += length;
        }
    }

    double bestLoad = 0;
    double bestRate = 0;
    uint64_t ratings[8] = {};
    for (int pass = 0; pass < 3; ++pass) {
        const Clock::time_point loadStart = Clock::now();
        TAllocationMap map;
        map.reset(0, clusters);
        // In pieces of 1 MiB, as the engine reads $Bitmap.
        for (size_t offset = 0; offset < bitmap.size(); offset += size_t{1} << 20) {
            const size_t length = std::min(bitmap.size() - offset, size_t{1} << 20);
            map.setBitmap(offset * 8, std::span<const uint8_t>(bitmap.data() + offset, length));
        }
        const double load = secondsSince(loadStart);

        std::fill(std::begin(ratings), std::end(ratings), 0);
        const Clock::time_point rateStart = Clock::now();
        for (const TFile& file : files) {
            uint64_t used = 0;
            uint64_t total = 0;
            for (uint32_t r = file.firstRun; r < file.firstRun + file.runs; ++r) {
                total += runs[r].len;
                used += map.countUsed(runs[r].addr, runs[r].len);
            }
            ++ratings[TRecoveryRating::rating(TRecoveryRating::knownClusters(used, total)) >> 16];
        }
        const double rate = secondsSince(rateStart);
        bestLoad = pass == 0 ? load : std::min(bestLoad, load);
        bestRate = pass == 0 ? rate : std::min(bestRate, rate);
    }

    std::printf("volume: %llu clusters (%llu MiB bitmap); %llu deleted files, %llu runs, %llu clusters\n",
                static_cast<unsigned long long>(clusters),
                static_cast<unsigned long long>(bitmap.size() >> 20),
                static_cast<unsigned long long>(fileCount), static_cast<unsigned long long>(runs.size()),
                static_cast<unsigned long long>(totalClusters));
    std::printf("bitmap into the map: %.3f s\n", bestLoad);
    std::printf("rating pass:         %.3f s = %.0f files/s\n", bestRate, double(fileCount) / bestRate);
    std::printf("ratings: intact %llu, partial %llu, overwritten %llu\n",
                static_cast<unsigned long long>(ratings[flag_RATING_INTACT >> 16]),
                static_cast<unsigned long long>(ratings[flag_RATING_PARTIAL >> 16]),
                static_cast<unsigned long long>(ratings[flag_RATING_OVERWRITTEN >> 16]));
    return 0;
}
