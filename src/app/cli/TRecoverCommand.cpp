#include "TRecoverCommand.h"

#include "TCliApplication.h"
#include "TCliArguments.h"
#include "TInterruptGuard.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "recovery/TCheckTreeFiller.h"
#include "recovery/TStateTree.h"
#include "search/TMask.h"

#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// The run's log on standard output, one line per entry, as it happens.
class TCliRecoverySink final : public TRecoverySink
{
public:
    void AddLogLine(const QString& line) override
    {
        const QByteArray text = line.toUtf8() + '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
    }
    void ShowCounters(const TRecoveryCounters&) override {}
    void SetCurrentFileLabel(const QString&) override {}
    void RefreshProgress(int64_t, int64_t) override {}
    void PumpMessages() override {}
    // Ctrl+C, SIGTERM and SIGHUP stop the run: the file being copied is removed, not left half-written.
    bool StopRequested() override { return TInterruptGuard::Interrupted(); }
};

} // namespace

bool TRecoverCommand::parseArguments(const QStringList& arguments, TOptions& options, QString& error)
{
    options = TOptions();
    TCliArguments args(arguments);
    QString value;
    while (args.NextOption()) {
        const QString& name = args.Name();
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.Help = true;
        } else if (name == QLatin1String("--devices")) {
            options.Devices = true;
        } else if (name == QLatin1String("--deleted-only")) {
            options.DeletedOnly = true;
        } else if (name == QLatin1String("--intact-only")) {
            options.IntactOnly = true;
        } else if (name == QLatin1String("--manifest")) {
            options.Manifest = true;
        } else if (name == QLatin1String("--to")) {
            if (!args.TakeValue(options.Destination, error))
                return false;
        } else if (name == QLatin1String("--mask")) {
            if (!args.TakeValue(options.Mask, error))
                return false;
            options.HasMask = true;
        } else if (name == QLatin1String("--overwrite")) {
            if (!args.TakeValue(value, error))
                return false;
            if (value == QLatin1String("ask")) {
                options.Overwrite = TRecoveryRun::TOverwrite::Ask;
            } else if (value == QLatin1String("skip")) {
                options.Overwrite = TRecoveryRun::TOverwrite::Skip;
            } else if (value == QLatin1String("always")) {
                options.Overwrite = TRecoveryRun::TOverwrite::Always;
            } else {
                error = QStringLiteral("--overwrite takes ask, skip or always, not \"%1\".").arg(value);
                return false;
            }
        } else {
            return args.Unknown(error);
        }
    }
    const QStringList& operands = args.Operands();
    if (options.Help)
        return true;
    if (operands.size() != 1) {
        error = QStringLiteral("recover needs exactly one SOURCE.");
        return false;
    }
    options.Source = operands.front();
    if (options.Destination.isEmpty()) {
        error = QStringLiteral("recover needs a destination folder: --to DIR.");
        return false;
    }
    return true;
}

int TRecoverCommand::run(const QStringList& arguments)
{
    TOptions options;
    QString error;
    if (!parseArguments(arguments, options, error))
        return TCliApplication::badArguments(error);
    if (options.Help)
        return TCliApplication::printUsage();
    std::unique_ptr<TMask> mask;
    if (options.HasMask) {
        try {
            mask = std::make_unique<TMask>(options.Mask);
        } catch (const EMaskException& e) {
            TCliApplication::printError(e.Message());
            return TCliApplication::ExitBadInput;
        }
    }
    // A drive-letter or share path names no folder here; made absolute it would put the
    // files in a folder of that odd name below the current one.
    if (const QString problem = TRecoveryRun::DestinationFormProblem(options.Destination);
        !problem.isEmpty()) {
        TCliApplication::printError(problem);
        return TCliApplication::ExitBadInput;
    }
    // The run takes full paths only; a relative one is meant from the current folder.
    const QString destination = QDir::cleanPath(QDir::current().absoluteFilePath(options.Destination));
    // Without a terminal nobody can answer; existing files are then kept.
    if (options.Overwrite == TRecoveryRun::TOverwrite::Ask && !isatty(STDIN_FILENO))
        options.Overwrite = TRecoveryRun::TOverwrite::Skip;

    int status = TCliApplication::ExitOk;
    const std::unique_ptr<TBaseDisk> disk =
        m_application.analyseSource(options.Source, options.Devices, status);
    if (!disk)
        return status;

    // The selection, made the way the wizard's buttons and clicks make it.
    TStateTree tree;
    tree.setStateRecursion(true);
    TCheckTreeFiller::AddElement(tree, -1, disk->RootElement);
    if (!mask && !options.IntactOnly) {
        if (options.DeletedOnly)
            tree.CheckDeletedOnly();
        else
            tree.CheckAll();
    } else {
        tree.UncheckAll();
        for (TStateTree::NodeId node = 0; node < tree.Count(); ++node) {
            const TBaseElement* element = tree.Data(node);
            if (element->IsFolder() || (options.DeletedOnly && !element->IsDeleted()))
                continue;
            if (options.IntactOnly && !TRecoverability::IsIntact(element->Recovery))
                continue;
            if (!mask || mask->Matches(tree.Text(node)))
                tree.SetStateIndex(node, 2);
        }
    }

    TCliRecoverySink sink;
    TRecoveryRun recovery(sink);
    recovery.SetOverwrite(options.Overwrite);
    recovery.SetFrontEnd(TRecoveryRun::TFrontEnd::CommandLine);
    recovery.SetManifest(options.Manifest);
    QElapsedTimer timer;
    timer.start();
    bool ran = false;
    {
        TInterruptGuard guard;
        ran = recovery.StartRecovery(tree, destination, disk->DriveLetter, disk->DriveId);
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const TRecoveryCounters& counters = recovery.Counters();
    // Damaged copies are written but never counted among the files recovered.
    std::fprintf(stderr,
                 "%s%d files recovered, %d recovered damaged, %d failed, %d skipped; %lld bytes in %.3f s, "
                 "%.1f MB/s\n",
                 TCliApplication::sourceLabel(options.Source).toUtf8().constData(), counters.CleanFiles(),
                 counters.DamagedFiles, counters.FailedFiles, counters.SkippedFiles,
                 static_cast<long long>(counters.ProcessedSize), seconds,
                 seconds > 0 ? double(counters.ProcessedSize) / 1e6 / seconds : 0.0);
    std::fflush(stderr);
    if (recovery.Stopped()) {
        TCliApplication::printError(
            QStringLiteral("The recovery was interrupted. Files logged as recovered are complete; a file "
                           "whose copy was under way was removed."));
        return TCliApplication::ExitInterrupted;
    }
    if (!ran)
        return TCliApplication::ExitBadInput;
    // A manifest asked for and not written leaves the user without the proof wanted.
    if (options.Manifest && recovery.ManifestPath().isEmpty()) {
        TCliApplication::printError(QStringLiteral("The manifest could not be written into %1 (%2).")
                                        .arg(destination, recovery.ManifestError()));
        return TCliApplication::ExitFailed;
    }
    return counters.FailedFiles > 0 ? TCliApplication::ExitFailed : TCliApplication::ExitOk;
}
