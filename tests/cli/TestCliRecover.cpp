// Runs "brevant-cli recover" against the fixture images and checks the recovered files
// against the images' manifests.
#include "TCliRun.h"
#include "TestConfig.h"
#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string describe(const TCliRun& run)
{
    return QStringLiteral("exit %1%2\n--- stderr:\n%3--- stdout (start):\n%4")
        .arg(run.Exit)
        .arg(run.Crashed ? QStringLiteral(" (crashed)") : QString())
        .arg(run.Err, run.Out.left(3000))
        .toStdString();
}

// Files below folder, as "/"-separated paths relative to it, sorted.
QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

QString sha256Of(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<unreadable>");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

// Where a recovered entry lands below the destination: its volume path, or below the lost
// folder invented for the record of a parent that is gone.
QString expectedPath(const TManifest::Volume& volume, const TManifest::Entry& entry)
{
    const QStringList parts = entry.path.split(QLatin1Char('/'));
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        const TManifest::Entry* level = volume.findAny(parts.mid(0, i + 1).join(QLatin1Char('/')));
        if (level && level->lostFolder)
            return (QStringList{QStringLiteral("lost_folder_*")} + parts.mid(i)).join(QLatin1Char('/'));
        if (level && level->parentLost)
            return (QStringList{QStringLiteral("lost_folder_%1").arg(level->parentRecord)} + parts.mid(i))
                .join(QLatin1Char('/'));
    }
    return entry.path;
}

// The recovered file for an entry: a name that lost its first character on the disk
// matches on the rest of the name.
QString findRecovered(const QStringList& files, const QString& expected, bool firstCharLost)
{
    if (files.contains(expected))
        return expected;
    // A lost folder the engine numbered itself: any number, the rest exactly.
    if (expected.startsWith(QLatin1String("lost_folder_*/"))) {
        const QRegularExpression pattern(QStringLiteral("^lost_folder_[0-9]+/") +
                                         QRegularExpression::escape(expected.mid(14)) + QLatin1Char('$'));
        const QStringList hits = files.filter(pattern);
        return hits.size() == 1 ? hits.front() : QString();
    }
    if (!firstCharLost)
        return QString();
    const qsizetype slash = expected.lastIndexOf(QLatin1Char('/'));
    const QString folder = expected.left(slash + 1);
    const QString rest = expected.mid(slash + 2);
    for (const QString& file : files) {
        if (file.startsWith(folder) && file.size() == expected.size() && file.endsWith(rest) &&
            !file.mid(folder.size()).contains(QLatin1Char('/')))
            return file;
    }
    return QString();
}

QStringList goodImages()
{
    QStringList names;
    for (const QString& name : TManifest::available()) {
        const TManifest manifest = TManifest::load(name);
        if (manifest.isValid() && !manifest.broken())
            names << name;
    }
    return names;
}

} // namespace

TEST(CliRecover, EveryDeletedFileOfEachFixtureComesBackInItsFolder)
{
    const QStringList names = goodImages();
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        const TManifest manifest = TManifest::load(name);
        for (const TManifest::Volume& volume : manifest.volumes()) {
            SCOPED_TRACE((name + " volume " + QString::number(volume.index)).toStdString());
            TTempDir dir;
            const QString out = dir.filePath(QStringLiteral("out"));
            const TCliRun run =
                runCli({"recover", QStringLiteral("%1@%2").arg(manifest.imagePath()).arg(volume.index),
                        "--to", out, "--deleted-only"});
            // Entries known only by their name in a folder's index have nothing to copy: their
            // recovery fails, and the run says so.
            const auto noData =
                std::count_if(volume.entries.begin(), volume.entries.end(), [](const TManifest::Entry& e) {
                    return (e.noData || e.readable >= 0) && e.deleted && !e.isDir;
                });
            ASSERT_TRUE(!run.Crashed && run.Exit == (noData > 0 ? 1 : 0)) << describe(run);
            EXPECT_TRUE(run.Out.startsWith(QStringLiteral("Recovery started.\n"))) << describe(run);
            EXPECT_TRUE(run.Out.endsWith(QStringLiteral("Recovery finished.\n"))) << describe(run);
            EXPECT_TRUE(run.Err.contains(QStringLiteral(" %1 failed").arg(noData))) << run.Err.toStdString();

            const QStringList files = filesBelow(out);
            const bool isFat = volume.filesystem != QLatin1String("NTFS");
            int checked = 0;
            QStringList recovered;
            for (const TManifest::Entry& entry : volume.entries) {
                if (entry.isDir || !entry.deleted)
                    continue;
                if (entry.readable >= 0) {
                    EXPECT_TRUE(run.Out.contains(QStringLiteral("Can't recover file: ") + out +
                                                 QLatin1Char('/') + expectedPath(volume, entry)))
                        << entry.path.toStdString();
                    continue;
                }
                if (entry.noData) {
                    EXPECT_TRUE(run.Out.contains(QStringLiteral("Can't recover file: ") + out +
                                                 QLatin1Char('/') + expectedPath(volume, entry) +
                                                 QStringLiteral(" (Only the name")))
                        << entry.path.toStdString();
                    continue;
                }
                const QString found =
                    findRecovered(files, expectedPath(volume, entry), entry.nameFirstCharLost);
                ASSERT_FALSE(found.isEmpty()) << "not recovered: " << entry.path.toStdString() << "\nhave:\n"
                                              << files.join(QLatin1Char('\n')).toStdString();
                // A copy of data known to be damaged is logged as such, with its reason.
                const QStringList accepted = entry.acceptedRecovery();
                const bool damaged = !accepted.contains(QStringLiteral("intact")) &&
                                     !accepted.contains(QStringLiteral("data-in-record"));
                EXPECT_TRUE(run.Out.contains(
                    (damaged ? QStringLiteral("Recovered, damaged: ") : QStringLiteral("Recovering file: ")) +
                    out + QLatin1Char('/') + found))
                    << found.toStdString();
                recovered << found;
                const QString path = out + QLatin1Char('/') + found;
                EXPECT_EQ(QFileInfo(path).size(), entry.size) << found.toStdString();
                if (entry.reused || !entry.recoverable)
                    continue;
                EXPECT_EQ(sha256Of(path), entry.sha256) << found.toStdString();
                if (entry.mtime.isValid()) {
                    // FAT times are local calendar fields, written back as such.
                    const QDateTime modified = QFileInfo(path).lastModified();
                    const QDateTime asWritten =
                        isFat ? QDateTime(modified.date(), modified.time(), Qt::UTC) : modified.toUTC();
                    EXPECT_EQ(asWritten, entry.mtime) << found.toStdString();
                }
                ++checked;
            }
            // Nothing live came back.
            for (const TManifest::Entry& entry : volume.entries) {
                const QString path = expectedPath(volume, entry);
                if (!entry.isDir && !entry.deleted && !recovered.contains(path)) {
                    EXPECT_FALSE(files.contains(path)) << entry.path.toStdString();
                }
            }
            if (!volume.deletedEntries().isEmpty()) {
                EXPECT_GT(checked, 0);
            }
        }
    }
}

TEST(CliRecover, MaskSelectsFilesByName)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    TTempDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const TCliRun run = runCli({"recover", manifest.imagePath(), "--to", out, "--mask", "*.TXT"});
    ASSERT_TRUE(!run.Crashed && run.Exit == 0) << describe(run);
    const QStringList files = filesBelow(out);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files) {
        EXPECT_TRUE(file.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive)) << file.toStdString();
    }
    for (const TManifest::Entry& entry : manifest.volumes()[0].entries) {
        if (entry.isDir || entry.nameFirstCharLost)
            continue;
        EXPECT_EQ(files.contains(entry.path),
                  entry.name().endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
            << entry.path.toStdString();
    }

    // With --deleted-only, only deleted files that match.
    const QString deletedOut = dir.filePath(QStringLiteral("deleted"));
    const TCliRun deleted =
        runCli({"recover", "--deleted-only", "--mask=*.bin", manifest.imagePath(), "--to", deletedOut});
    ASSERT_TRUE(!deleted.Crashed && deleted.Exit == 0) << describe(deleted);
    EXPECT_EQ(filesBelow(deletedOut), QStringList{QStringLiteral("Old/Sub/Charlie file.bin")});

    // An invalid mask is refused before anything is read.
    const TCliRun invalid = runCli({"recover", manifest.imagePath(), "--to", out, "--mask", "[]"});
    EXPECT_FALSE(invalid.Crashed);
    EXPECT_EQ(invalid.Exit, 2);
    EXPECT_TRUE(invalid.Err.contains(QStringLiteral("'[]' is an invalid mask at (2)")))
        << invalid.Err.toStdString();
    EXPECT_TRUE(invalid.Out.isEmpty());
}

TEST(CliRecover, IntactOnlyLeavesDamagedFilesOut)
{
    const TManifest manifest = TManifest::load("ntfs");
    ASSERT_TRUE(manifest.isValid());
    const TManifest::Volume& volume = manifest.volumes()[0];
    TTempDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const TCliRun run = runCli({"recover", "--intact-only", manifest.imagePath(), "--to", out});
    ASSERT_TRUE(!run.Crashed && run.Exit == 0) << describe(run);
    QStringList expected;
    for (const TManifest::Entry& entry : volume.entries) {
        if (!entry.isDir && entry.deleted && entry.acceptedRecovery().contains(QStringLiteral("intact")))
            expected << expectedPath(volume, entry);
    }
    expected.sort();
    ASSERT_TRUE(volume.find(QStringLiteral("Temp/victim.txt"), true));
    EXPECT_FALSE(expected.contains(QStringLiteral("Temp/victim.txt")));
    EXPECT_EQ(filesBelow(out), expected);

    // With a mask, the intact files that match.
    const QString masked = dir.filePath(QStringLiteral("masked"));
    const TCliRun bins =
        runCli({"recover", "--intact-only", "--mask", "*.bin", manifest.imagePath(), "--to", masked});
    ASSERT_TRUE(!bins.Crashed && bins.Exit == 0) << describe(bins);
    EXPECT_EQ(filesBelow(masked), QStringList{QStringLiteral("Old/Sub/Charlie file.bin")});
}

TEST(CliRecover, ExistingFilesAndFailures)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    TTempDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    QFile kept(out + QStringLiteral("/Deleted empty.txt"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("mine");
    kept.close();
    auto content = [&]() {
        QFile file(out + QStringLiteral("/Deleted empty.txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };

    // Asked without a terminal: existing files are kept.
    const TCliRun asked = runCli({"recover", manifest.imagePath(), "--to", out, "--deleted-only"});
    EXPECT_EQ(asked.Exit, 0) << describe(asked);
    EXPECT_TRUE(
        asked.Out.contains(QStringLiteral("File skipped ") + out + QStringLiteral("/Deleted empty.txt")))
        << describe(asked);
    EXPECT_TRUE(asked.Err.contains(QStringLiteral(" 0 failed, 1 skipped"))) << asked.Err.toStdString();
    EXPECT_TRUE(asked.Err.contains(QStringLiteral("MB/s"))) << asked.Err.toStdString();
    EXPECT_EQ(content(), "mine");

    // A folder where a file goes: that copy fails, the run goes on, the exit status says so.
    ASSERT_TRUE(QFile::remove(out + QStringLiteral("/Deleted report.txt")));
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/Deleted report.txt")));
    const TCliRun failed =
        runCli({"recover", manifest.imagePath(), "--to", out, "--deleted-only", "--overwrite", "always"});
    EXPECT_FALSE(failed.Crashed);
    EXPECT_EQ(failed.Exit, 1) << describe(failed);
    EXPECT_TRUE(failed.Out.contains(QStringLiteral("Can't recover file: ") + out +
                                    QStringLiteral("/Deleted report.txt (")))
        << describe(failed);
    EXPECT_FALSE(failed.Out.contains(QStringLiteral("Recovering file: ") + out +
                                     QStringLiteral("/Deleted report.txt\n")));
    EXPECT_TRUE(failed.Out.endsWith(QStringLiteral("Recovery finished.\n")));
    EXPECT_TRUE(failed.Err.contains(QStringLiteral(" 1 failed, 0 skipped"))) << failed.Err.toStdString();
    EXPECT_EQ(content(), ""); // overwritten with the empty deleted file

    ASSERT_TRUE(QDir(out + QStringLiteral("/Deleted report.txt")).removeRecursively());
    const TCliRun skipped =
        runCli({"recover", manifest.imagePath(), "--to", out, "--deleted-only", "--overwrite", "skip"});
    EXPECT_EQ(skipped.Exit, 0) << describe(skipped);
    EXPECT_FALSE(
        skipped.Out.contains(QStringLiteral("Recovering file: ") + out + QStringLiteral("/Deleted empty")));
    EXPECT_TRUE(
        skipped.Out.contains(QStringLiteral("Recovering file: ") + out + QStringLiteral("/Deleted report")));
}

TEST(CliRecover, ArgumentErrors)
{
    const TManifest manifest = TManifest::load("fat16");
    TTempDir dir;
    const QList<QStringList> bad = {
        {"recover", manifest.imagePath()},
        {"recover", "--to", dir.path()},
        {"recover", manifest.imagePath(), "--to"},
        {"recover", manifest.imagePath(), "--to", dir.path(), "--overwrite", "never"},
        {"recover", manifest.imagePath(), manifest.imagePath(), "--to", dir.path()},
        {"recover", manifest.imagePath(), "--to", dir.path(), "--json"},
    };
    for (const QStringList& arguments : bad) {
        const TCliRun run = runCli(arguments);
        EXPECT_FALSE(run.Crashed);
        EXPECT_EQ(run.Exit, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.Out.isEmpty());
        EXPECT_TRUE(run.Err.startsWith(QStringLiteral("brevant-cli: "))) << run.Err.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(CliRecover, DriveLetterAndShareDestinationsAreRefused)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    for (const QString& to : {QStringLiteral("C:\\Recovered Files\\"), QStringLiteral("\\\\server\\share")}) {
        const TCliRun run = runCli({"recover", manifest.imagePath(), "--to", to});
        EXPECT_EQ(run.Exit, 2) << describe(run);
        EXPECT_TRUE(run.Out.isEmpty()) << describe(run);
        EXPECT_TRUE(run.Err.contains(QStringLiteral("starts with \"/\""))) << describe(run);
        EXPECT_FALSE(run.Err.contains(QStringLiteral("Click"))) << describe(run);
    }
    // The drive's own letter in a full path: refused with the command line's wording.
    TTempDir dir;
    const TCliRun same =
        runCli({"recover", manifest.imagePath(), "--to", dir.filePath(QStringLiteral("C:\\out"))});
    EXPECT_EQ(same.Exit, 2) << describe(same);
    EXPECT_TRUE(
        same.Out.contains(QStringLiteral("same drive as source.  Give a folder on another drive with --to.")))
        << describe(same);
    EXPECT_FALSE((same.Out + same.Err).contains(QStringLiteral("Click"))) << describe(same);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// A link planted at a folder's place in the destination: nothing goes through it, that
// folder's files are failed and reported, the rest is recovered. A pipe at a file's place
// is kept and the file skipped; the run neither blocks nor dies on it.
TEST(CliRecover, LinksAndPipesInTheDestination)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    TTempDir dir;
    TTempDir outside;
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    ASSERT_TRUE(QFile::link(outside.path(), out + QStringLiteral("/Docs")));
    const QString pipe = out + QStringLiteral("/Deleted empty.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    const TCliRun run = runCli({"recover", manifest.imagePath(), "--to", out, "--overwrite", "always"});
    EXPECT_FALSE(run.Crashed) << describe(run);
    EXPECT_EQ(run.Exit, 1) << describe(run);
    EXPECT_TRUE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(run.Out.contains(out + QStringLiteral("/Docs is a link; nothing is written through it")))
        << describe(run);
    EXPECT_TRUE(
        run.Out.contains(QStringLiteral("File skipped ") + pipe + QStringLiteral(" (not a regular file)")))
        << describe(run);
    EXPECT_TRUE(run.Out.endsWith(QStringLiteral("Recovery finished.\n"))) << describe(run);
    EXPECT_TRUE(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());
    EXPECT_TRUE(QFile::exists(out + QStringLiteral("/Data/table.csv")));
    // The summary names what happened: no file under the link is counted as recovered.
    EXPECT_FALSE(run.Out.contains(QStringLiteral("Recovering file: ") + out + QStringLiteral("/Docs/")));
    EXPECT_TRUE(run.Err.contains(QStringLiteral(" skipped;"))) << describe(run);
    EXPECT_FALSE(run.Err.contains(QStringLiteral("::"))) << describe(run);
}

// SIGTERM and SIGHUP stop a recovery as Ctrl+C does: the run ends with its summary and
// exit status 130. The program's log goes into a pipe nobody reads until the signal is
// sent, so the signal surely comes while the run is under way.
TEST(CliRecover, TerminationSignalsStopTheRunCleanly)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        TTempDir dir;
        const QByteArray out = QFile::encodeName(dir.filePath(QString(200, QLatin1Char('o'))));
        const QByteArray errors = QFile::encodeName(dir.filePath(QStringLiteral("stderr.txt")));
        const QByteArray image = QFile::encodeName(manifest.imagePath());
        int output[2];
        ASSERT_EQ(::pipe(output), 0);
        ::fcntl(output[1], F_SETPIPE_SZ, 4096);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::dup2(output[1], STDOUT_FILENO);
            const int err = ::open(errors.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, STDERR_FILENO);
            const int in = ::open("/dev/null", O_RDONLY);
            ::dup2(in, STDIN_FILENO);
            ::close(output[0]);
            ::execl(BREVANT_CLI_PATH, BREVANT_CLI_PATH, "recover", image.constData(), "--to", out.constData(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(output[1]);
        // The first log line: the run has started and its guard is in place.
        char first = 0;
        ASSERT_EQ(::read(output[0], &first, 1), 1);
        ::kill(child, signal);
        QByteArray log(1, first);
        char buffer[4096];
        for (ssize_t got; (got = ::read(output[0], buffer, sizeof buffer)) > 0;)
            log.append(buffer, int(got));
        ::close(output[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        QFile err(QFile::decodeName(errors));
        ASSERT_TRUE(err.open(QIODevice::ReadOnly));
        const QByteArray summary = err.readAll();
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal << " killed the program";
        EXPECT_EQ(WEXITSTATUS(status), 130) << summary.constData();
        EXPECT_TRUE(log.endsWith("Recovery stopped.\n")) << log.right(300).constData();
        EXPECT_TRUE(summary.contains("files recovered")) << summary.constData();
    }
}

// On the rating fixtures, the deleted files rated anything but intact are copied but
// counted and logged as damaged, and the manifest records each with the hash of what was
// written: the fixture's own hash for the intact ones.
TEST(CliRecover, DamagedFilesAreCountedApartAndTheManifestRecordsEachFile)
{
    for (const char* name : {"fat32-rating", "exfat-rating", "ntfs-rating"}) {
        SCOPED_TRACE(name);
        const TManifest manifest = TManifest::load(name);
        ASSERT_TRUE(manifest.isValid());
        const TManifest::Volume& volume = manifest.volumes()[0];
        TTempDir dir;
        const QString out = dir.filePath(QStringLiteral("out"));
        const TCliRun run =
            runCli({"recover", "--deleted-only", "--manifest", manifest.imagePath(), "--to", out});
        ASSERT_TRUE(!run.Crashed && run.Exit == 0) << describe(run);

        QFile file(out + QStringLiteral("/recovery-manifest.csv"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << describe(run);
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.front(), QStringLiteral("source,target,size,written,rating,sha256,result,reason"));
        QHash<QString, QStringList> byTarget;
        for (const QString& line : lines.mid(1)) {
            // Only the reason, the last field, holds commas (and is quoted) in these fixtures.
            QStringList fields = line.split(QLatin1Char(','));
            ASSERT_GE(fields.size(), 8) << line.toStdString();
            fields = fields.mid(0, 7) << fields.mid(7).join(QLatin1Char(','));
            byTarget.insert(fields[1], fields);
        }

        const QStringList files = filesBelow(out);
        int damaged = 0, clean = 0;
        for (const TManifest::Entry& entry : volume.entries) {
            if (entry.isDir || !entry.deleted)
                continue;
            const QString found = findRecovered(files, expectedPath(volume, entry), entry.nameFirstCharLost);
            ASSERT_FALSE(found.isEmpty()) << entry.path.toStdString();
            const QString target = out + QLatin1Char('/') + found;
            const QStringList row = byTarget.value(target);
            ASSERT_EQ(row.size(), 8) << target.toStdString();
            const bool intact = entry.recovery == QLatin1String("intact") ||
                                entry.recovery == QLatin1String("data-in-record");
            (intact ? clean : damaged) += 1;
            EXPECT_EQ(row[4], entry.recovery) << entry.path.toStdString();
            EXPECT_EQ(row[6], intact ? QStringLiteral("recovered") : QStringLiteral("damaged"))
                << entry.path.toStdString();
            EXPECT_EQ(row[5], sha256Of(target)) << entry.path.toStdString();
            if (intact) {
                EXPECT_EQ(row[5], entry.sha256) << entry.path.toStdString();
            }
            EXPECT_EQ(row[2].toLongLong(), entry.size) << entry.path.toStdString();
            EXPECT_EQ(
                run.Out.contains(QStringLiteral("Recovered, damaged: ") + target + QStringLiteral(" (")),
                !intact)
                << entry.path.toStdString();
        }
        EXPECT_GT(damaged, 0);
        EXPECT_EQ(byTarget.size(), clean + damaged);
        EXPECT_TRUE(run.Err.contains(
            QStringLiteral("%1 files recovered, %2 recovered damaged, 0 failed").arg(clean).arg(damaged)))
            << run.Err.toStdString();
        EXPECT_TRUE(run.Out.contains(QStringLiteral("Manifest written: ") + out +
                                     QStringLiteral("/recovery-manifest.csv")));
    }
}
