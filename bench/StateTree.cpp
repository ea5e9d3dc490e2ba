// How fast the recovery wizard's check tree of 1,000,000 nodes fills and answers its
// three selection buttons and a click on its top node.

#include "recovery/TStateTree.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

constexpr int NodeCount = 1000000;

// A drive-like tree, added depth-first as the wizard adds it: a top folder, folders of
// 3 to 40 entries nested up to 8 levels, about a third of everything deleted; every
// node ticked when added, with propagation on.
std::unique_ptr<TStateTree> buildTree()
{
    auto tree = std::make_unique<TStateTree>();
    tree->setStateRecursion(true);
    std::mt19937 random(42);
    int added = 0;
    auto image = [&](bool folder) {
        const bool deleted = random() % 3 == 0;
        return folder ? (deleted ? 4 : 2) : (deleted ? 1 : 0);
    };
    // Explicit stack of folders still to fill: (node, depth).
    std::vector<std::pair<TStateTree::NodeId, int>> folders;
    folders.emplace_back(tree->AddNode(-1, QStringLiteral("C: logical drive"), nullptr, 3, 2), 0);
    ++added;
    while (added < NodeCount) {
        if (folders.empty())
            folders.emplace_back(tree->Children(-1).front(), 0);
        const auto [folder, depth] = folders.back();
        folders.pop_back();
        const int subFolders = depth < 8 ? int(random() % 4) : 0;
        const int files = 3 + int(random() % 38);
        std::vector<TStateTree::NodeId> made;
        for (int i = 0; i < subFolders && added < NodeCount; ++i, ++added)
            made.push_back(tree->AddNode(folder, QStringLiteral("folder"), nullptr, image(true), 2));
        for (int i = 0; i < files && added < NodeCount; ++i, ++added)
            tree->AddNode(folder, QStringLiteral("file.txt"), nullptr, image(false), 2);
        for (auto it = made.rbegin(); it != made.rend(); ++it)
            folders.emplace_back(*it, depth + 1);
    }
    return tree;
}

TStateTree& sharedTree()
{
    static std::unique_ptr<TStateTree> tree = buildTree();
    return *tree;
}

void BM_Build(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(buildTree());
    state.SetItemsProcessed(state.iterations() * NodeCount);
}

// Each button is timed after the opposite selection, so every run changes states.
template<void (TStateTree::*Before)(), void (TStateTree::*Button)()> void BM_Button(benchmark::State& state)
{
    TStateTree& tree = sharedTree();
    for (auto _ : state) {
        state.PauseTiming();
        (tree.*Before)();
        state.ResumeTiming();
        (tree.*Button)();
    }
    state.SetItemsProcessed(state.iterations() * tree.Count());
}

void BM_ClickTopNode(benchmark::State& state)
{
    TStateTree& tree = sharedTree();
    tree.CheckDeletedOnly();
    for (auto _ : state)
        tree.ClickStateImage(0); // grey or ticked to unticked, unticked to ticked: the whole tree
    state.SetItemsProcessed(state.iterations() * tree.Count());
}

} // namespace

BENCHMARK(BM_Build)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Button<&TStateTree::UncheckAll, &TStateTree::CheckAll>)
    ->Name("BM_CheckAll")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_Button<&TStateTree::CheckAll, &TStateTree::CheckDeletedOnly>)
    ->Name("BM_CheckDeletedOnly")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_Button<&TStateTree::CheckAll, &TStateTree::UncheckAll>)
    ->Name("BM_UncheckAll")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_ClickTopNode)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
