// The recovery wizard's run over a real image, as a user starts it: every deleted file
// ticked, Next through the pages, the copy into an empty folder.
//
//   BREVANT_BENCH_IMAGE=build/big-ntfs.img build/bench/bench_WizardRecover
//
// The output goes below OUT_DIR (default: the system's temporary folder) and is removed.

#include "WindowBench.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TElementsList.h"
#include "disk/TSourceArgument.h"
#include "disk/TVantrelApi.h"
#include "periphery/TImageLists.h"
#include "recovery/ui/TRecoveryForm.h"
#include "settings/Settings.h"
#include "settings/TRegistryStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

void BM_WizardRecoversEveryDeletedFile(benchmark::State& state)
{
    const QString image = qEnvironmentVariable("BREVANT_BENCH_IMAGE");
    if (image.isEmpty() || !QFileInfo::exists(image)) {
        state.SkipWithError("set BREVANT_BENCH_IMAGE to an image (scripts/make-big-ntfs.sh makes one)");
        return;
    }
    QTemporaryDir settingsDir;
    const TRegistryStore::TFileOverride::Scope settingsFile(
        settingsDir.filePath(QStringLiteral("settings.conf")));
    GlobalConfirmInterrupt = false;
    const QByteArray path = QFile::encodeName(image);
    if (TVantrelApi::Library().RegisterImage(path.constData()) != 0) {
        state.SkipWithError("the engine cannot open the image");
        return;
    }
    const int id = VolumeOfImage(image);
    if (id < 0) {
        state.SkipWithError("no volume with a letter on the image");
        return;
    }
    CurDisk = CreateDisk(id);
    if (!CurDisk->AnalyzeDisk(nullptr, false)) {
        state.SkipWithError("the analysis failed");
        return;
    }

    int recovered = 0;
    qint64 logLines = 0;
    double runSeconds = 0;
    for (auto _ : state) {
        const QString outRoot = qEnvironmentVariable("OUT_DIR", QDir::tempPath());
        QTemporaryDir out(outRoot + QStringLiteral("/wizard-bench-XXXXXX"));
        GlobalRecoveryDestinationFolder = out.path();
        TElementsList selection;
        selection.SetItem(CurDisk->RootElement);
        const TRecoveryForm::TModalAnswer::Scope driven([&](TRecoveryForm& form) {
            form.show();
            while (form.FirstActivation)
                QCoreApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            form.NextButton->click();
            form.NextButton->click(); // runs the recovery
            form.NextButton->click();
            runSeconds = double(timer.nsecsElapsed()) / 1e9;
            recovered = form.FinishLabel2->text().toInt();
            logLines = form.ProgressLog->blockCount();
        });
        StartRecoveryWizard(selection, nullptr);
    }
    state.counters["files"] = recovered;
    state.counters["log_lines"] = double(logLines);
    state.counters["run_s"] = runSeconds;
    state.counters["files_per_s"] = runSeconds > 0 ? recovered / runSeconds : 0;
    CloseCurDisk();
}
BENCHMARK(BM_WizardRecoversEveryDeletedFile)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv);
}
