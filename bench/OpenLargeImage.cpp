// How long the desktop program takes to open a large NTFS image: from StartScan (the scan
// window shown, the engine's stream, the analysis) to the main window showing the drive's
// tree with its first folder selected and listed. Also the longest time the windows went
// without handling events during it (a timer asks every millisecond): the figure for
// "responsive throughout".
//
//   BREVANT_BIG_NTFS=/path/1m-records.img build/bench/bench_OpenLargeImage
//
// scripts/make-big-ntfs.sh builds such an image (--files 1000000 --size-mib 4096).
#include "WindowBench.h"

#include "disk/TBaseDisk.h"
#include "mainwindow/ui/TFoldersTreeView.h"
#include "mainwindow/ui/TMainForm.h"
#include "settings/Settings.h"
#include "settings/TRegistryStore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

// Notes the longest gap between two turns of the event loop.
class TGapWatch
{
public:
    TGapWatch()
    {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_clock.restart()); });
        m_clock.start();
        m_timer.start();
    }
    qint64 longestMs()
    {
        m_longest = std::max(m_longest, m_clock.elapsed());
        return m_longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

void BM_OpenLargeImage(benchmark::State& state)
{
    const QString image = qEnvironmentVariable("BREVANT_BIG_NTFS");
    if (image.isEmpty() || !QFileInfo::exists(image)) {
        state.SkipWithError("set BREVANT_BIG_NTFS to a large NTFS image");
        return;
    }
    QTemporaryDir temp;
    const TRegistryStore::TFileOverride::Scope settingsFile(temp.filePath(QStringLiteral("settings.conf")));
    resetSettingsToInitialValues();
    GlobalStartupDefaultAction = sdaNothing;
    GlobalConfirmInterrupt = false;
    const QByteArray path = QFile::encodeName(image);
    if (TVantrelApi::Library().RegisterImage(path.constData()) != 0) {
        state.SkipWithError("the image cannot be registered");
        return;
    }
    const int id = VolumeOfImage(image);
    if (id < 0) {
        state.SkipWithError("no volume in the image");
        return;
    }
    qint64 longestGap = 0;
    int64_t elements = 0;
    for (auto _ : state) {
        TMainForm form;
        form.show();
        QCoreApplication::processEvents();
        TGapWatch gaps;
        form.StartScan(id, false);
        form.FoldersTreeView()->FlushChangeReport();
        QCoreApplication::processEvents();
        longestGap = std::max(longestGap, gaps.longestMs());
        elements = CurDisk != nullptr ? CurDisk->Elements.Count() : 0;
    }
    state.counters["elements"] = double(elements);
    state.counters["longest_gap_ms"] = double(longestGap);
}

} // namespace

BENCHMARK(BM_OpenLargeImage)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv);
}
