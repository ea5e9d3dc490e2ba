#include "TCliApplication.h"

#include "TCatCommand.h"
#include "TDrivesCommand.h"
#include "TInterruptGuard.h"
#include "TFindCommand.h"
#include "TRecoverCommand.h"
#include "TScanCommand.h"

#include "disk/TBaseDisk.h"
#include "disk/TNoScanProgress.h"
#include "disk/TImageRegistration.h"
#include "disk/TSourceArgument.h"
#include "disk/TVantrelApi.h"
#include "engine/VantrelLib.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

int TCliApplication::run(const QStringList& arguments)
{
    // "recover", "find" and "cat" read options of their own.
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--") || !arguments[i].startsWith(QLatin1Char('-'))) {
            if (arguments[i] == QLatin1String("recover") || arguments[i] == QLatin1String("find") ||
                arguments[i] == QLatin1String("cat")) {
                QStringList rest = arguments;
                rest.removeAt(i);
                if (arguments[i] == QLatin1String("find"))
                    return TFindCommand(*this).run(rest);
                if (arguments[i] == QLatin1String("cat"))
                    return TCatCommand(*this).run(rest);
                return TRecoverCommand(*this).run(rest);
            }
            break;
        }
    }

    TOptions options;
    QString error;
    if (!parseArguments(arguments, options, error)) {
        return badArguments(error);
    }
    if (options.Help || options.Command.isEmpty()) {
        const QByteArray text = usage().toUtf8();
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), options.Help ? stdout : stderr);
        return options.Help ? ExitOk : ExitBadInput;
    }

    configureEngine(options.Devices);
    if (options.Command == QLatin1String("drives")) {
        return TDrivesCommand(*this).run(options.Operands);
    }
    return TScanCommand(*this).run(options.Operands, options.DeletedOnly, options.Json);
}

bool TCliApplication::parseArguments(const QStringList& arguments, TOptions& options, QString& error)
{
    options = TOptions();
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            if (argument == QLatin1String("--")) {
                optionsEnded = true;
            } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
                options.Help = true;
            } else if (argument == QLatin1String("--devices")) {
                options.Devices = true;
            } else if (argument == QLatin1String("--deleted-only")) {
                options.DeletedOnly = true;
            } else if (argument == QLatin1String("--json")) {
                options.Json = true;
            } else {
                error = QStringLiteral("Unknown option \"%1\".").arg(argument);
                return false;
            }
        } else if (options.Command.isEmpty()) {
            options.Command = argument;
        } else {
            options.Operands.append(argument);
        }
    }
    if (options.Help) {
        return true;
    }
    if (!options.Command.isEmpty() && options.Command != QLatin1String("drives") &&
        options.Command != QLatin1String("scan")) {
        error =
            QStringLiteral("Unknown command \"%1\"; the commands are drives, scan, recover, find and cat.")
                .arg(options.Command);
        return false;
    }
    if (options.Command == QLatin1String("drives") && (options.DeletedOnly || options.Json)) {
        error = QStringLiteral("--deleted-only and --json belong to the scan command.");
        return false;
    }
    if (options.Command == QLatin1String("scan") && options.Operands.isEmpty()) {
        error = QStringLiteral("scan needs at least one SOURCE.");
        return false;
    }
    return true;
}

QString TCliApplication::usage()
{
    return QStringLiteral(
        "Usage: brevant-cli drives [--devices] [IMAGE...]\n"
        "       brevant-cli scan [--deleted-only] [--json] [--devices] SOURCE...\n"
        "       brevant-cli recover [--deleted-only] [--intact-only] [--mask MASK] [--manifest]\n"
        "                           [--overwrite ask|skip|always] [--devices] SOURCE --to DIR\n"
        "       brevant-cli find [--mask MASK] [--id N] [--created-between START END]\n"
        "                        [--not-older-than AGE] [--size {=|>|<}N[K|M]] [--deleted-only]\n"
        "                        [--json] [--devices] SOURCE\n"
        "       brevant-cli cat [--devices] SOURCE ENTRY\n"
        "       brevant-cli --help\n"
        "\n"
        "Lists drives and the live and deleted files and folders their file systems still record.\n"
        "Devices and images are only ever opened for reading.\n"
        "\n"
        "Commands:\n"
        "  drives [IMAGE...]   Register the images and print the engine's disks, one line each:\n"
        "                      id parent letter type filesystem size label status path\n"
        "                      (parent -1 for a device; letter as D: or -; size in bytes;\n"
        "                      status ready or not ready).\n"
        "  scan SOURCE...      Analyse each source and print every element found, one line each:\n"
        "                      id parent condition kind size created modified accessed path recovery\n"
        "                      (condition Live, Deleted or Contain Deleted; kind d for a folder, f for\n"
        "                      a file; times as YYYY-MM-DDTHH:MM:SS as the file system stores them;\n"
        "                      an empty time, null in JSON, means none is recorded; a folder's\n"
        "                      path ends in \\; recovery, the last column, rates a deleted file's data:\n"
        "                      intact, data-in-record, partial, overwritten, mismatch, no-data or\n"
        "                      guess, empty for live files and folders). A summary goes to standard\n"
        "                      error.\n"
        "  recover SOURCE --to DIR\n"
        "                      Analyse the source as scan does and copy its files into DIR, each under\n"
        "                      its folder path (the root folder's content directly in DIR, lost\n"
        "                      folders as lost_folder_N). Names are made safe for the target: '/',\n"
        "                      '\\' and control characters become '_'. The log goes to standard\n"
        "                      output, a summary (files recovered, recovered damaged, failed,\n"
        "                      skipped, bytes, seconds, MB/s) to standard error. A deleted file rated\n"
        "                      anything but intact or data-in-record, after a check of its first\n"
        "                      bytes against its type, is copied but logged and counted as damaged,\n"
        "                      never as recovered. DIR must not be on the device recovered.\n"
        "                      --deleted-only  only the deleted files (and deleted folders)\n"
        "                      --intact-only   only the deleted files rated intact or data-in-record\n"
        "                      --mask MASK     only the files whose name matches MASK (* ? [a-z] [!x])\n"
        "                      --manifest      write recovery-manifest.csv into DIR (an existing one\n"
        "                                      is kept: recovery-manifest-2.csv, ...): UTF-8 CSV with\n"
        "                                      a header row; per ticked file its source path as scan\n"
        "                                      prints it, target, size, written, rating, sha256 of\n"
        "                                      the file written, result (recovered, damaged, failed,\n"
        "                                      skipped, cancelled) and reason. Exit 1 when it cannot\n"
        "                                      be written\n"
        "                      --overwrite     for files that exist: ask (the default; without a\n"
        "                                      terminal the file is kept), skip, or always\n"
        "  find SOURCE         Analyse the source as scan does and print the elements that meet every\n"
        "                      rule given, in scan's line format (or JSON), then \"Found N files and\n"
        "                      M folders.\" on standard error. Order: all elements by id first (live\n"
        "                      and deleted), then the deleted files, then the deleted folders; each\n"
        "                      element is printed once.\n"
        "                      --mask MASK     names matching MASK (* ? [a-z] [!x]); the default is *\n"
        "                      --id N          the element with engine id N, whatever its name\n"
        "                      --created-between START END\n"
        "                                      created in that range, both ends included; each as\n"
        "                                      YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS; END runs to the end\n"
        "                                      of its day or second; compared with the times as the\n"
        "                                      file system stores them, as scan prints them\n"
        "                      --not-older-than AGE\n"
        "                                      created within AGE before now: a count and min, h, d,\n"
        "                                      w, mon or y, as in 30min or 2w (mon and y by calendar)\n"
        "                      --size {=|>|<}N[K|M]\n"
        "                                      size equal to, above or below N bytes (K: KiB, M: MiB)\n"
        "                      --deleted-only  only deleted elements; the pass by id is left out\n"
        "                      Options with a value also take it as --option=value.\n"
        "  cat SOURCE ENTRY    Analyse the source as scan does and write the data of one file to\n"
        "                      standard output, read as recover reads it (a deleted file from its first\n"
        "                      cluster on). ENTRY is the path exactly as scan prints it (D:\\Docs\\a.txt)\n"
        "                      or #N for the entry with engine id N. When only part of the data can be\n"
        "                      read, that part is written and standard error says how many bytes could\n"
        "                      be read.\n"
        "\n"
        "SOURCE is one of:\n"
        "  IMAGE               an image file: its first volume that has a drive letter\n"
        "  IMAGE@N             the N-th volume of an image file, counted from 1\n"
        "  D:                  a drive letter, as 'drives' shows it\n"
        "  #N                  an engine disk id, as 'drives' shows it\n"
        "\n"
        "Options:\n"
        "  --deleted-only      print only deleted elements and the folders that contain deleted ones\n"
        "  --json              print one JSON object per element (the same keys) instead of lines\n"
        "  --devices           list the machine's block devices as well as the images given\n"
        "  --help, -h          show this text\n"
        "\n"
        "Order of the scan: depth first from the drive's top. Each folder's line comes first, then\n"
        "each of its sub-folders in turn (with everything below it), then its files; sub-folders and\n"
        "files keep the order in which the file system delivered them. The root folder comes first,\n"
        "then the lost_folder_ folders invented for deleted entries whose folder is gone, then the\n"
        "not_found_yet_ folders invented for live entries whose folder never appeared. Each element\n"
        "is printed once.\n"
        "\n"
        "Names: in the line format every control character (U+0000 to U+001F and U+007F to U+009F,\n"
        "tab and newline included) in a path is printed as '?', so each element stays on one line\n"
        "with ten tab-separated fields. The JSON output keeps names exact, in JSON escapes.\n"
        "\n"
        "Exit status: 0 success, 1 a scan failed or could not start, 2 wrong arguments, an unknown\n"
        "source or an image that cannot be opened, 130 interrupted (Ctrl+C, SIGTERM, SIGHUP).\n"
        "recover: 1 when a file could not be recovered, 2 also for an invalid mask or a refused\n"
        "destination. find: 2 also for an invalid mask, id or option value. cat: 2 also for an\n"
        "entry that is not found, names more than one entry (give its #N) or is a folder, 1 when its\n"
        "data cannot be read in full.\n");
}

void TCliApplication::configureEngine(bool devices)
{
    VantrelSetOptions(devices ? 0 : VANTREL_OPTION_IMAGES_ONLY);
}

bool TCliApplication::registerImage(const QString& path)
{
    const QString canonical = TSourceArgument::canonicalPath(path);
    if (m_registered.contains(canonical)) {
        return true;
    }
    QString problem;
    if (!TImageRegistration::Register(path, &problem)) {
        printError(problem);
        return false;
    }
    m_registered.append(canonical);
    return true;
}

int32_t TCliApplication::resolveSource(const QString& source, bool devices)
{
    TSourceArgument spec;
    QString error;
    if (!TSourceArgument::Parse(source, spec, error)) {
        printError(error);
        return -1;
    }
    configureEngine(devices);
    if (spec.isImage() && !registerImage(spec.imagePath()))
        return -1;
    const TVantrelApi& api = TVantrelApi::Current();
    api.DisksRescan();
    const int32_t driveId = spec.Resolve(api, error);
    if (driveId < 0)
        printError(error);
    return driveId;
}

namespace {

// An analysis without a display that turns Ctrl+C into a cancel.
class TQuietScanProgress final : public TNoScanProgress
{
public:
    void PumpMessages() override
    {
        if (TInterruptGuard::Interrupted())
            StopScan = true;
    }
};

} // namespace

std::unique_ptr<TBaseDisk> TCliApplication::analyseSource(const QString& source, bool devices, int& status)
{
    const int32_t driveId = resolveSource(source, devices);
    if (driveId < 0) {
        status = ExitBadInput;
        return nullptr;
    }
    std::unique_ptr<TBaseDisk> disk = CreateDisk(driveId);
    TQuietScanProgress progress;
    if (!disk->AnalyzeDisk(&progress, false) || !disk->RootElement) {
        status = analysisFailed(source);
        return nullptr;
    }
    status = ExitOk;
    return disk;
}

bool TCliApplication::writeOut(const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) ==
           static_cast<size_t>(bytes.size());
}

int TCliApplication::analysisFailed(const QString& source)
{
    if (TInterruptGuard::Interrupted()) {
        printError(QStringLiteral("The scan of %1 was interrupted.").arg(source));
        return ExitInterrupted;
    }
    const QString reason = TVantrelApi::GuardedText(TVantrelApi::Current().LastError);
    printError(
        QStringLiteral("The scan of %1 failed: the engine cannot read the drive%2. Check that it holds a "
                       "FAT, exFAT or NTFS file system and that you may read it.")
            .arg(source, reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)));
    return ExitFailed;
}

int TCliApplication::badArguments(const QString& error)
{
    printError(error + QStringLiteral(" Run 'brevant-cli --help' for usage."));
    return ExitBadInput;
}

int TCliApplication::printUsage()
{
    const QByteArray text = usage().toUtf8();
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    return ExitOk;
}

QString TCliApplication::sourceLabel(const QString& source)
{
    return source.endsWith(QLatin1Char(':')) ? source + QLatin1Char(' ') : source + QStringLiteral(": ");
}

void TCliApplication::printError(const QString& text)
{
    std::fprintf(stderr, "brevant-cli: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}
