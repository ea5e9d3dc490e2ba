// The FAT and NTFS analyses alone, over a generated stream of 1,000,000 records: 30%
// deleted, 5% folders, 1% orphans (a parent id that never arrives). Reports records
// per second and heap bytes per element of the finished model (names included).
#include "disk/TBaseDisk.h"
#include "disk/TFATDisk.h"
#include "disk/TNTFSDisk.h"
#include "disk/TNoScanProgress.h"
#include "disk/TVantrelApi.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>

namespace {

struct TStream
{
    int64_t Count = 0;
    int64_t FirstId = 1;
    int64_t RootId = 0;
    int64_t Next = 0;
    TFileInfo Record{};
};

TStream g_stream;

// The id of record n; on NTFS the first record is the root folder.
int64_t IdOf(int64_t n)
{
    return n == 0 && g_stream.RootId != 0 ? g_stream.RootId : g_stream.FirstId + n;
}

uint32_t Mix(uint64_t value)
{
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdULL;
    value ^= value >> 33;
    return uint32_t(value);
}

const TDriveInfo* DriveInfo(int32_t)
{
    static TDriveInfo info{};
    info.Letter = 'C';
    return &info;
}

int64_t Initialize(int32_t, int32_t)
{
    g_stream.Next = 0;
    return g_stream.Count;
}

// Record n: every 20th is a folder under an earlier folder, the others are files in the
// latest folder; 30% are deleted and 1% name a parent that does not exist.
const TFileInfo* Next()
{
    if (g_stream.Next >= g_stream.Count)
        return nullptr;
    const int64_t n = g_stream.Next++;
    TFileInfo& r = g_stream.Record;
    const int64_t id = IdOf(n);
    const uint32_t hash = Mix(uint64_t(id));
    const bool folder = n % 20 == 0;
    const bool deleted = n != 0 && (hash >> 16) % 100 < 30;
    const int64_t latestFolder = IdOf((n / 20) * 20);
    int64_t parent;
    if (n == 0) {
        parent = g_stream.RootId; // FAT: the root folder 0; NTFS: the root record names itself
    } else if (hash % 100 == 0) {
        parent = g_stream.FirstId + g_stream.Count + hash % 5000; // never arrives
    } else if (folder) {
        parent = IdOf(((hash >> 8) % (n / 20)) * 20);
    } else {
        parent = latestFolder;
    }
    r.TrueId = id;
    r.TrueParentId = parent;
    r.Flags = (folder ? flag_IS_DIRECTORY : 0) | (deleted ? flag_IS_DELETED : 0);
    r.Size = hash % 100000;
    r.DateCreated = 132000000000000000ULL + uint64_t(hash) * 10000000ULL;
    r.DateAccessed = r.DateCreated + 10000000ULL;
    r.DateModified = r.DateCreated;
    r.Attributes = 0x20;
    // "Folder<id>" or "file<id>.txt", written without the cost of formatted output.
    const char16_t* prefix = folder ? u"Folder" : u"file";
    int length = 0;
    while (prefix[length]) {
        r.WideFileName[length] = prefix[length];
        ++length;
    }
    char16_t digits[20];
    int count = 0;
    for (int64_t rest = id; rest > 0 || count == 0; rest /= 10)
        digits[count++] = char16_t(u'0' + rest % 10);
    while (count > 0)
        r.WideFileName[length++] = digits[--count];
    if (!folder) {
        for (const char16_t c : {u'.', u't', u'x', u't'})
            r.WideFileName[length++] = c;
    }
    r.WideFileName[length] = 0;
    return &r;
}

size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

template<class TDisk> void RunAnalysis(benchmark::State& state, int64_t firstId, int64_t rootId)
{
    TVantrelApi api = TVantrelApi::Library();
    api.DiskGetInformation = &DriveInfo;
    api.DiskInitialize = &Initialize;
    api.FileGetNext = &Next;
    const TVantrelApi::TInstalled::Scope installed(&api);
    g_stream.Count = state.range(0);
    g_stream.FirstId = firstId;
    g_stream.RootId = rootId;
    TNoScanProgress progress;
    double bytesPerElement = 0;
    size_t elements = 0;
    for (auto _ : state) {
        const size_t before = HeapInUse();
        auto disk = std::make_unique<TDisk>(0);
        if (!disk->AnalyzeDisk(&progress, false))
            state.SkipWithError("analysis failed");
        elements = disk->ElementCount();
        bytesPerElement = double(HeapInUse() - before) / double(elements);
        state.PauseTiming();
        disk.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * g_stream.Count);
    state.counters["records_per_second"] =
        benchmark::Counter(double(g_stream.Count), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes_per_element"] = bytesPerElement;
    state.counters["elements"] = double(elements);
}

void BM_FATAnalysis(benchmark::State& state)
{
    RunAnalysis<TFATDisk>(state, 1, 0);
}

void BM_NTFSAnalysis(benchmark::State& state)
{
    RunAnalysis<TNTFSDisk>(state, 24, 5);
}

} // namespace

BENCHMARK(BM_FATAnalysis)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NTFSAnalysis)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
