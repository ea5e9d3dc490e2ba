// NTFS scan speed on a large image, measured in one run against the file system library's
// own walk over the same records (tsk_fs_meta_walk):
//   - the engine's record stream (DiskInitialize + FileGetNext) with its own MFT reader,
//     and with every record read through the library;
//   - the engine and the analysis together, as `brevant-cli scan` does them;
//   - both with the records read on the caller's thread (serial, the default on fewer
//     than three cores) and ahead of it on the engine's (ahead).
// Each pass runs five times; the fastest counts, so a cold page cache does not decide.
//
// Self-check: both engine streams must be identical, and the records the library's walk
// names must come out of the engine with the same ids, parents and names (count and an
// order-independent checksum). A failed check ends with status 1.
//
//   BREVANT_BIG_NTFS=/path/big.img bench_NtfsScan     (scripts/make-big-ntfs.sh builds one)
#include "BigImage.h"

#include "disk/TBaseDisk.h"
#include "disk/TNoScanProgress.h"
#include "engine/VantrelLib.h"

#include <QString>

#include <tsk/libtsk.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

uint64_t mix(uint64_t value)
{
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdULL;
    value ^= value >> 33;
    return value;
}

uint64_t entryHash(uint64_t id, uint64_t parent, const QByteArray& name)
{
    uint64_t hash = mix(id * 0x9E3779B97F4A7C15ULL ^ mix(parent + 1));
    for (const char c : name) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
    }
    return mix(hash);
}

struct TWalk
{
    int64_t records = 0;     // records the walk visited
    int64_t named = 0;       // of them, records with a name
    uint64_t checksum = 0;   // over the named ones
    std::vector<bool> names; // which record numbers have a name
    bool check = false;
};

TSK_WALK_RET_ENUM walkRecord(TSK_FS_FILE* file, void* context)
{
    TWalk& walk = *static_cast<TWalk*>(context);
    ++walk.records;
    if (!walk.check || file->meta == nullptr || (file->meta->flags & TSK_FS_META_FLAG_UNUSED) ||
        file->meta->name2 == nullptr) {
        return TSK_WALK_CONT;
    }
    const TSK_INUM_T address = file->meta->addr;
    if (address >= walk.names.size()) {
        return TSK_WALK_CONT;
    }
    walk.names[address] = true;
    ++walk.named;
    walk.checksum += entryHash(address, file->meta->name2->par_inode, QByteArray(file->meta->name2->name));
    return TSK_WALK_CONT;
}

// The library's walk over every record of the volume at offset.
double libraryWalk(const std::string& image, int64_t offset, TWalk& walk)
{
    TSK_IMG_INFO* img = tsk_img_open_utf8_sing(image.c_str(), TSK_IMG_TYPE_DETECT, 0);
    TSK_FS_INFO* fs = img != nullptr ? tsk_fs_open_img(img, offset, TSK_FS_TYPE_DETECT) : nullptr;
    if (fs == nullptr) {
        std::fprintf(stderr, "The library cannot open %s\n", image.c_str());
        std::exit(1);
    }
    walk.names.assign(static_cast<size_t>(fs->last_inum + 1), false);
    const Clock::time_point start = Clock::now();
    // The last number is the library's virtual folder of orphans, not a record.
    tsk_fs_meta_walk(fs, fs->first_inum, fs->last_inum - 1,
                     static_cast<TSK_FS_META_FLAG_ENUM>(TSK_FS_META_FLAG_ALLOC | TSK_FS_META_FLAG_UNALLOC),
                     walkRecord, &walk);
    const double seconds = secondsSince(start);
    tsk_fs_close(fs);
    tsk_img_close(img);
    return seconds;
}

struct TStream
{
    double seconds = 0;
    int64_t records = 0; // records served (nil slots excluded)
    uint64_t whole = 0;  // checksum over every field of every record, in order
    uint64_t named = 0;  // checksum over the records the walk names
    int64_t namedCount = 0;
};

TStream engineStream(int32_t id, const TWalk* walk)
{
    TStream stream;
    const Clock::time_point start = Clock::now();
    const int64_t count = DiskInitialize(id, 0);
    if (count < 0) {
        std::fprintf(stderr, "DiskInitialize failed: %s\n", VantrelLastError());
        std::exit(1);
    }
    for (int64_t call = 0; call <= VantrelScanEstimate(); ++call) {
        const TFileInfo* record = FileGetNext();
        if (record == nullptr) {
            continue;
        }
        ++stream.records;
        if (walk == nullptr) {
            continue;
        }
        const QByteArray name = QString::fromUtf16(record->WideFileName).toUtf8();
        const uint64_t hash = entryHash(uint64_t(record->TrueId), uint64_t(record->TrueParentId), name);
        stream.whole =
            mix(stream.whole ^ hash ^
                mix(uint64_t(record->Flags) ^ uint64_t(record->Size) << 7 ^ record->DateModified ^
                    record->DateCreated << 1 ^ record->DateAccessed << 2 ^ uint64_t(record->Reserve) << 3));
        if (record->TrueId >= 0 && size_t(record->TrueId) < walk->names.size() &&
            walk->names[size_t(record->TrueId)]) {
            stream.named += hash;
            ++stream.namedCount;
        }
    }
    stream.seconds = secondsSince(start);
    return stream;
}

double engineAndAnalysis(int32_t id)
{
    const Clock::time_point start = Clock::now();
    std::unique_ptr<TBaseDisk> disk = CreateDisk(id);
    TNoScanProgress progress;
    if (!disk->AnalyzeDisk(&progress, false)) {
        std::fprintf(stderr, "The analysis failed: %s\n", VantrelLastError());
        std::exit(1);
    }
    return secondsSince(start);
}

template<typename F> double fastest(F pass)
{
    double best = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double seconds = pass();
        best = run == 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    std::string image;
    const int32_t volume = OpenBigImageVolume(argc, argv, image);
    if (volume < 0) {
        return volume == -1 ? 0 : 1;
    }
    if (std::string(DiskGetInformation(volume)->FileSystemName) != "NTFS") {
        std::fprintf(stderr, "%s holds no NTFS volume\n", image.c_str());
        return 1;
    }
    const int64_t offset = DiskGetInformation(volume)->OffsetInPhysical;

    // The checks, untimed.
    TWalk named;
    named.check = true;
    libraryWalk(image, offset, named);
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY);
    const TStream ownChecked = engineStream(volume, &named);
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY | VANTREL_OPTION_LIBRARY_RECORDS);
    const TStream libraryChecked = engineStream(volume, &named);

    // The timed passes.
    TWalk walk;
    const double walkSeconds = fastest([&] { return libraryWalk(image, offset, walk = TWalk()); });
    const int64_t records = walk.records;
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY | VANTREL_OPTION_LIBRARY_RECORDS |
                      VANTREL_OPTION_SERIAL_RECORDS);
    const double librarySeconds = fastest([&] { return engineStream(volume, nullptr).seconds; });
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY | VANTREL_OPTION_SERIAL_RECORDS);
    const double serialSeconds = fastest([&] { return engineStream(volume, nullptr).seconds; });
    const double serialAnalysisSeconds = fastest([&] { return engineAndAnalysis(volume); });
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY | VANTREL_OPTION_RECORDS_AHEAD);
    const double ownSeconds = fastest([&] { return engineStream(volume, nullptr).seconds; });
    const double analysisSeconds = fastest([&] { return engineAndAnalysis(volume); });

    std::printf("%s: %lld MFT records, %lld entries served\n", image.c_str(), static_cast<long long>(records),
                static_cast<long long>(ownChecked.records));
    std::printf("library meta walk:            %.3f s  %5.2f M records/s\n", walkSeconds,
                records / walkSeconds / 1e6);
    std::printf("engine, library records:      %.3f s  %5.2f M records/s  %.2fx the walk's speed\n",
                librarySeconds, records / librarySeconds / 1e6, walkSeconds / librarySeconds);
    const auto line = [&](const char* what, double seconds) {
        std::printf("%-30s%.3f s  %5.2f M records/s  %.2fx the walk's speed\n", what, seconds,
                    records / seconds / 1e6, walkSeconds / seconds);
    };
    line("engine, own reader, serial:", serialSeconds);
    line("engine + analysis, serial:", serialAnalysisSeconds);
    line("engine, own reader, ahead:", ownSeconds);
    line("engine + analysis, ahead:", analysisSeconds);

    bool ok = true;
    if (ownChecked.records != libraryChecked.records || ownChecked.whole != libraryChecked.whole) {
        std::printf("self-check FAILED: the two engine streams differ (%lld and %lld entries)\n",
                    static_cast<long long>(ownChecked.records),
                    static_cast<long long>(libraryChecked.records));
        ok = false;
    }
    if (ownChecked.namedCount != named.named || ownChecked.named != named.checksum) {
        std::printf("self-check FAILED: the walk names %lld records, the engine gives %lld of them%s\n",
                    static_cast<long long>(named.named), static_cast<long long>(ownChecked.namedCount),
                    ownChecked.named != named.checksum ? " with other ids, parents or names" : "");
        ok = false;
    }
    if (ok) {
        std::printf(
            "self-check ok: both streams identical; the %lld records the walk names match in id, parent "
            "and name\n",
            static_cast<long long>(named.named));
    }
    VantrelClearImages();
    return ok ? 0 : 1;
}
