// How fast the file search runs its three passes over a drive model of 1,000,000
// elements, with a sink that only counts and with one that formats the progress texts
// as the find window does.

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "search/TFileSearch.h"
#include "search/TSearchSink.h"

#include <benchmark/benchmark.h>

#include <deque>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int ModelSize = 1000000;

// A drive as an analysis leaves it: a root folder at id 5 below the drive's top, folders
// of 3 to 60 files nested up to 8 levels, about a third of the files camera pictures
// (IMG_000123.jpg) and the rest documents and notes, about 10% of everything deleted.
// Every element is registered by id, the deleted ones also in the lists of deleted
// files and folders.
class TSearchModelDisk final : public TBaseDisk
{
public:
    TSearchModelDisk() : TBaseDisk(1)
    {
        DriveLetter = 'C';
        RootElement = CreateElement();
        RootElement->Name = QStringLiteral("C: logical drive");
        RootElement->Flags = flag_IS_DIRECTORY;
        RootElement->Drive = this;
        std::mt19937 random(7);
        int64_t nextId = 5;
        auto add = [&](TBaseElement* parent, QString name, bool folder) {
            TBaseElement* e = CreateElement();
            e->TrueID = nextId++;
            e->TrueParentID = parent ? parent->TrueID : -1;
            e->Name = std::move(name);
            e->Flags = (folder ? flag_IS_DIRECTORY : 0) | (random() % 10 == 0 ? flag_IS_DELETED : 0);
            e->Size = folder ? 0 : int64_t(random() % (8 * dwMB));
            e->DateCreated = 43000.0 + double(random() % 3000) + double(random() % 86400) / 86400.0;
            e->Drive = this;
            e->Parent = parent;
            TBaseElement& holder = parent ? *parent : *RootElement;
            (folder ? holder.ChildrenFolders : holder.ChildrenFiles).Add(e);
            Elements.SetItem(int32_t(e->TrueID), e);
            if (e->IsDeleted())
                (folder ? LostFolders : LostFiles).SetItem(e);
            return e;
        };
        std::deque<std::pair<TBaseElement*, int>> folders;
        folders.emplace_back(add(nullptr, QStringLiteral("."), true), 0);
        int made = 1;
        while (made < ModelSize && !folders.empty()) {
            const auto [folder, depth] = folders.front();
            folders.pop_front();
            const int subFolders = depth < 8 ? 1 + int(random() % 4) : 0;
            const int files = 3 + int(random() % 58);
            for (int i = 0; i < subFolders && made < ModelSize; ++i, ++made)
                folders.emplace_back(add(folder, QStringLiteral("Folder %1").arg(made), true), depth + 1);
            for (int i = 0; i < files && made < ModelSize; ++i, ++made) {
                const unsigned kind = random() % 6;
                QString name = kind < 2    ? QStringLiteral("IMG_%1.jpg").arg(made, 6, 10, QLatin1Char('0'))
                               : kind == 2 ? QStringLiteral("Report %1.docx").arg(made)
                               : kind == 3 ? QStringLiteral("notes_%1.txt").arg(made)
                               : kind == 4 ? QStringLiteral("Letter to the bank %1.doc").arg(made)
                                           : QStringLiteral("readme-%1.txt").arg(made);
                add(folder, std::move(name), false);
            }
            // Keep the tree going when every folder got its fill before the count was reached.
            if (folders.empty() && made < ModelSize)
                folders.emplace_back(folder, 0);
        }
    }
    bool AnalyzeDisk(TScanProgress*, bool) override { return true; }
};

TSearchModelDisk& modelDisk()
{
    static TSearchModelDisk disk;
    return disk;
}

class TCountingSink final : public TSearchSink
{
public:
    void AddResult(TBaseElement*) override { ++Hits; }
    void ShowStatus(const QString&, const QString&) override {}
    int64_t Hits = 0;
};

// What the find window does with the search's reports: keeps the hits for its list,
// and on each status sets a progress label and a status line naming the element
// being tested, shortened in the middle to fit.
class TWindowLikeSink final : public TSearchSink
{
public:
    void AddResult(TBaseElement* element) override { Results.push_back(element); }
    void ShowStatus(const QString& progress, const QString& detail) override
    {
        ++Statuses;
        ProgressLabel = progress;
        constexpr qsizetype Width = 80;
        StatusLine = detail.size() <= Width
                         ? detail
                         : detail.left(Width / 2 - 2) + QStringLiteral("...") + detail.right(Width / 2 - 1);
        StatusLine = QStringLiteral("Searching: %1").arg(StatusLine);
    }
    void PumpMessages() override { benchmark::ClobberMemory(); }

    std::vector<TBaseElement*> Results;
    QString ProgressLabel;
    QString StatusLine;
    int64_t Statuses = 0;
};

TSearchCriteria jpgCriteria(bool deletedOnly)
{
    TSearchCriteria criteria;
    criteria.Mask = QStringLiteral("*.jpg");
    criteria.OnlyDeleted = deletedOnly;
    return criteria;
}

void BM_SearchCounting(benchmark::State& state)
{
    const TSearchModelDisk& disk = modelDisk();
    const bool deletedOnly = state.range(0) != 0;
    int64_t hits = 0;
    for (auto _ : state) {
        TCountingSink sink;
        TFileSearch search(jpgCriteria(deletedOnly), sink);
        benchmark::DoNotOptimize(search.Run(disk));
        hits = sink.Hits;
    }
    state.counters["hits"] = double(hits);
    state.SetItemsProcessed(state.iterations() *
                            (deletedOnly ? disk.LostFiles.Count() + disk.LostFolders.Count() : ModelSize));
}
// 0: all three passes; 1: only the two passes over the deleted lists.
BENCHMARK(BM_SearchCounting)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SearchWindowLike(benchmark::State& state)
{
    const TSearchModelDisk& disk = modelDisk();
    int64_t hits = 0, statuses = 0;
    for (auto _ : state) {
        TWindowLikeSink sink;
        TFileSearch search(jpgCriteria(false), sink);
        benchmark::DoNotOptimize(search.Run(disk));
        hits = int64_t(sink.Results.size());
        statuses = sink.Statuses;
    }
    state.counters["hits"] = double(hits);
    state.counters["statuses"] = double(statuses);
    state.SetItemsProcessed(state.iterations() * ModelSize);
}
BENCHMARK(BM_SearchWindowLike)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
