// How soon the file viewer shows the first page of a large file: from opening the viewer
// on the largest file of an image to the first paint of the hex view with its bytes.
//
//   BREVANT_BENCH_IMAGE=/path/to/image-with-a-1GiB-file.img build/bench/bench_ViewerFirstPaint

#include "WindowBench.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TSourceArgument.h"
#include "disk/TVantrelApi.h"
#include "periphery/TImageLists.h"
#include "viewers/TByteSource.h"
#include "viewers/ui/THexDump.h"
#include "viewers/ui/TFileViewerForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPaintEvent>

#include <benchmark/benchmark.h>

namespace {

// Notes the first paint of the hex view that shows a real byte in its first row.
class TPaintWatch : public QObject
{
public:
    explicit TPaintWatch(THexDump& view) : m_view(view) { view.viewport()->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_view.Source() && m_view.Source()->byte(0) >= 0)
            painted = true;
        return false;
    }

private:
    THexDump& m_view;
};

void BM_ViewerFirstPaint(benchmark::State& state)
{
    const QString image = qEnvironmentVariable("BREVANT_BENCH_IMAGE");
    if (image.isEmpty() || !QFileInfo::exists(image)) {
        state.SkipWithError("set BREVANT_BENCH_IMAGE to an image holding a large file");
        return;
    }
    const QByteArray path = QFile::encodeName(image);
    if (TVantrelApi::Library().RegisterImage(path.constData()) != 0) {
        state.SkipWithError("the engine cannot open the image");
        return;
    }
    const int id = VolumeOfImage(image);
    if (id < 0 || !(CurDisk = CreateDisk(id)) || !CurDisk->AnalyzeDisk(nullptr, false)) {
        state.SkipWithError("the image does not analyse");
        return;
    }
    TBaseElement* largest = nullptr;
    for (int32_t i = 0; i < CurDisk->Elements.Count(); ++i) {
        TBaseElement* e = CurDisk->Elements.GetItem(i);
        if (e && !e->IsFolder() && (!largest || e->Size > largest->Size))
            largest = e;
    }
    if (!largest) {
        state.SkipWithError("the image holds no file");
        return;
    }
    double firstPaintMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        TFileViewerForm form;
        TPaintWatch watch(*form.HexDump);
        form.Open(fvmHEX, largest, TFileViewerForm::SourceFor(largest));
        form.show();
        while (!watch.painted && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        firstPaintMs = double(timer.nsecsElapsed()) / 1e6;
        if (!watch.painted)
            state.SkipWithError("no first page within 10 s");
    }
    state.counters["file_MiB"] = double(largest->Size) / (1024.0 * 1024.0);
    state.counters["first_paint_ms"] = firstPaintMs;
    CloseCurDisk();
}
BENCHMARK(BM_ViewerFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv);
}
