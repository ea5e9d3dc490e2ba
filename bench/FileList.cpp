// How fast the main window's file list fills and sorts a folder of 100,000 files.

#include "WindowBench.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "mainwindow/ui/TFileListModel.h"
#include "mainwindow/ui/TFoldersTreeView.h"
#include "mainwindow/ui/TMainForm.h"
#include "periphery/TImageLists.h"
#include "settings/Settings.h"
#include "settings/TRegistryStore.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int FolderSize = 100000;

// A drive whose top element holds one big folder's worth of files.
class TBigFolderDisk : public TBaseDisk
{
public:
    explicit TBigFolderDisk(int files) : TBaseDisk(0)
    {
        static const char* const extensions[] = {".txt", ".JPG", ".doc", ".pdf",
                                                 ".mp3", ".dat", "",     ".tar.gz"};
        QRandomGenerator random(1234);
        RootElement = CreateElement();
        RootElement->Name = QStringLiteral("C: logical drive");
        RootElement->Flags = flag_IS_DIRECTORY;
        for (int i = 0; i < files; ++i) {
            TBaseElement* e = CreateElement();
            e->TrueID = i + 1;
            e->TrueParentID = 0;
            const bool folder = i % 50 == 0;
            e->Flags = (folder ? flag_IS_DIRECTORY : 0) | (random.bounded(3) == 0 ? flag_IS_DELETED : 0);
            e->Size = folder ? 0 : random.bounded(1 << 30);
            e->DateCreated = 36000.0 + random.bounded(10000) + random.bounded(86400) / 86400.0;
            e->Name = QStringLiteral("%1File_%2%3")
                          .arg(random.bounded(2) ? QStringLiteral("my") : QStringLiteral("My"))
                          .arg(random.bounded(1000000))
                          .arg(QLatin1String(extensions[i % 8]));
            e->Parent = RootElement;
            (folder ? RootElement->ChildrenFolders : RootElement->ChildrenFiles).Add(e);
        }
    }
    bool AnalyzeDisk(TScanProgress*, bool) override { return true; }
};

std::vector<TBaseElement*> rowsOf(const TBaseElement* folder)
{
    std::vector<TBaseElement*> rows;
    for (TBaseElement* e : folder->ChildrenFolders)
        rows.push_back(e);
    for (TBaseElement* e : folder->ChildrenFiles)
        rows.push_back(e);
    return rows;
}

TBigFolderDisk& bigDisk()
{
    static TBigFolderDisk disk(FolderSize);
    return disk;
}

// Filling the model and sorting it by one column, texts made from scratch.
void BM_FillAndSort(benchmark::State& state)
{
    const int column = int(state.range(0));
    const std::vector<TBaseElement*> rows = rowsOf(bigDisk().RootElement);
    for (auto _ : state) {
        TFileListModel model;
        model.SetElements(rows);
        model.Sort(column, true);
        benchmark::DoNotOptimize(model.ElementAt(0));
    }
    state.SetItemsProcessed(state.iterations() * int64_t(rows.size()));
}
BENCHMARK(BM_FillAndSort)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// Re-sorting a filled list whose texts are already made (a header click).
void BM_Resort(benchmark::State& state)
{
    const std::vector<TBaseElement*> rows = rowsOf(bigDisk().RootElement);
    TFileListModel model;
    model.SetElements(rows);
    for (int c = 0; c < TFileListModel::ColumnCount; ++c)
        model.Sort(c, true);
    bool ascending = false;
    for (auto _ : state) {
        model.Sort(int(state.range(0)), ascending);
        ascending = !ascending;
    }
}
BENCHMARK(BM_Resort)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The whole window: the folder's node is selected and the list shown in details view.
void BM_OpenFolderInWindow(benchmark::State& state)
{
    QTemporaryDir settingsDir;
    const TRegistryStore::TFileOverride::Scope settingsFile(
        settingsDir.filePath(QStringLiteral("settings.conf")));
    GlobalStartupDefaultAction = sdaNothing;
    CurDisk = std::make_unique<TBigFolderDisk>(FolderSize);
    {
        TMainForm form;
        form.show();
        QTreeWidgetItem* top = AddDriveToTree(CurDisk.get(), form.FoldersTreeView());
        form.FoldersTreeView()->setCurrentItem(top);
        for (auto _ : state) {
            form.FoldersTreeViewClick();
            QCoreApplication::processEvents(); // the repaint
        }
        state.counters["rows"] = form.FilesModel()->rowCount();
    }
    CloseCurDisk();
}
BENCHMARK(BM_OpenFolderInWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv);
}
