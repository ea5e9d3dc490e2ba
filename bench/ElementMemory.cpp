// Memory of the element model: bytes per element for a drive of 1,000,000 elements,
// counting each element's share of the drive's blocks, its child lists, its slot in
// Elements and its entry in its parent's list. The child lists are built as an analysis
// builds them: appended during the pass, laid out after it. Names are left empty: their
// text is not part of the figure.
#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TVantrelApi.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <vector>

namespace {

const TDriveInfo* NoDrive(int32_t)
{
    return nullptr;
}

// A drive object that is filled directly instead of by an engine stream.
class TBuiltDisk final : public TBaseDisk
{
public:
    TBuiltDisk() : TBaseDisk(0) {}
    bool AnalyzeDisk(TScanProgress*, bool) override { return true; }

    // Every 20th element is a folder; each element hangs under the folder before it in
    // id order, and each folder under one of the earlier folders.
    void Build(int32_t count)
    {
        TBaseElement* root = CreateElement();
        root->TrueID = 0;
        root->Flags = flag_IS_DIRECTORY;
        Elements.SetItem(0, root);
        std::vector<TBaseElement*> folders{root};
        for (int32_t id = 1; id < count; ++id) {
            TBaseElement* element = CreateElement();
            element->TrueID = id;
            const bool folder = id % 20 == 0;
            element->Flags = folder ? flag_IS_DIRECTORY : 0;
            TBaseElement* parent = folder ? folders[size_t(id * 7919) % folders.size()] : folders.back();
            element->Parent = parent;
            element->TrueParentID = parent->TrueID;
            Elements.SetItem(id, element);
            AppendChild(element);
            if (folder)
                folders.push_back(element);
        }
        BuildChildLists();
        Elements.Squeeze();
    }
};

size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void BM_ElementMemory(benchmark::State& state)
{
    TVantrelApi api = TVantrelApi::Library();
    api.DiskGetInformation = &NoDrive;
    const TVantrelApi::TInstalled::Scope installed(&api);
    const int32_t count = int32_t(state.range(0));
    double bytesPerElement = 0;
    for (auto _ : state) {
        const size_t before = HeapInUse();
        auto disk = std::make_unique<TBuiltDisk>();
        disk->Build(count);
        const size_t after = HeapInUse();
        bytesPerElement = double(after - before) / count;
        state.PauseTiming();
        disk.reset();
        state.ResumeTiming();
    }
    state.counters["bytes_per_element"] = bytesPerElement;
    state.counters["element_object_bytes"] = double(sizeof(TBaseElement));
}

} // namespace

BENCHMARK(BM_ElementMemory)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
