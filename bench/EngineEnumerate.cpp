// Times a full enumeration of a large NTFS volume through the engine's calls and,
// for comparison, the file system library's own listing tools on the same image:
// `ils -e` (every metadata record) and `fls -r -p` (the whole folder tree).
//
//   BREVANT_BIG_NTFS=/path/big.img bench_EngineEnumerate
//
// scripts/make-big-ntfs.sh builds such an image. Each pass runs three times and the
// fastest run counts, so a cold page cache does not decide the comparison.

#include "BigImage.h"

#include "engine/VantrelLib.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct TPass
{
    double seconds = 0;
    int64_t records = 0;
};

TPass enumerate(int32_t id)
{
    TPass pass;
    const Clock::time_point start = Clock::now();
    const int64_t count = DiskInitialize(id, 0);
    if (count < 0) {
        std::fprintf(stderr, "DiskInitialize failed: %s\n", VantrelLastError());
        std::exit(1);
    }
    const bool ntfs = std::string(DiskGetInformation(id)->FileSystemName) == "NTFS";
    for (int64_t call = 0; call <= count; ++call) {
        if (FileGetNext() != nullptr) {
            ++pass.records;
        } else if (!ntfs) {
            break;
        }
    }
    pass.seconds = secondsSince(start);
    return pass;
}

double runTool(const std::string& command)
{
    const Clock::time_point start = Clock::now();
    const int status = std::system((command + " > /dev/null 2>&1").c_str());
    const double seconds = secondsSince(start);
    if (status != 0) {
        std::fprintf(stderr, "'%s' failed (status %d)\n", command.c_str(), status);
    }
    return seconds;
}

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

} // namespace

int main(int argc, char** argv)
{
    std::string image;
    const int32_t volume = OpenBigImageVolume(argc, argv, image);
    if (volume < 0) {
        return volume == -1 ? 0 : 1;
    }
    const TDriveInfo* info = DiskGetInformation(volume);
    const std::string offset = std::to_string(info->OffsetInPhysical / 512);
    std::printf("%s: %s volume, %lld MiB\n", image.c_str(), info->FileSystemName,
                static_cast<long long>(info->SpaceTotal >> 20));

    TPass best;
    double ils = 0;
    double fls = 0;
    for (int run = 0; run < 3; ++run) {
        const TPass pass = enumerate(volume);
        if (run == 0 || pass.seconds < best.seconds) {
            best = pass;
        }
        const double ilsRun = runTool("ils -e -o " + offset + " " + quoted(image));
        const double flsRun = runTool("fls -r -p -o " + offset + " " + quoted(image));
        ils = run == 0 ? ilsRun : std::min(ils, ilsRun);
        fls = run == 0 ? flsRun : std::min(fls, flsRun);
    }

    std::printf("engine enumeration: %lld records in %.3f s = %.0f records/s\n",
                static_cast<long long>(best.records), best.seconds, best.records / best.seconds);
    std::printf("ils -e:             %.3f s = %.0f records/s (engine takes %.2fx its time)\n", ils,
                best.records / ils, best.seconds / ils);
    std::printf("fls -r -p:          %.3f s = %.0f records/s (engine takes %.2fx its time)\n", fls,
                best.records / fls, best.seconds / fls);
    VantrelClearImages();
    return best.seconds <= fls ? 0 : 2;
}
