// Runs the built brevant-cli against the fixture images and checks what it prints
// against the images' manifests.
#include "TCliRun.h"
#include "TestConfig.h"
#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QString describe(const TCliRun& run)
{
    return QStringLiteral("exit %1%2\n--- stderr:\n%3--- stdout (start):\n%4")
        .arg(run.Exit)
        .arg(run.Crashed ? QStringLiteral(" (crashed)") : QString())
        .arg(run.Err, run.Out.left(3000));
}

#define ASSERT_RAN_OK(run) ASSERT_TRUE(!(run).Crashed && (run).Exit == 0) << describe(run).toStdString()

const QString ScanHeader =
    QStringLiteral("id\tparent\tcondition\tkind\tsize\tcreated\tmodified\taccessed\tpath\trecovery");

// One printed element.
struct TLine
{
    QString Id;
    QString Condition;
    QString Kind;
    qint64 Size = 0;
    QString Created;
    QString Modified;
    QString Accessed;
    QString Path; // as printed, e.g. C:\Docs\a.txt
    QString Recovery;
};

// The lines of a scan in printed order; the header must come first.
QList<TLine> parseScan(const QString& out)
{
    QList<TLine> lines;
    QStringList texts = out.split(QLatin1Char('\n'));
    EXPECT_TRUE(texts.size() >= 2 && texts.constLast().isEmpty()) << "output does not end in a newline";
    texts.removeLast();
    EXPECT_FALSE(texts.isEmpty());
    if (texts.isEmpty()) {
        return lines;
    }
    EXPECT_EQ(texts.takeFirst(), ScanHeader);
    for (const QString& text : texts) {
        const QStringList f = text.split(QLatin1Char('\t'));
        EXPECT_EQ(f.size(), 10) << text.toStdString();
        if (f.size() != 10) {
            continue;
        }
        lines.append({f[0], f[2], f[3], f[4].toLongLong(), f[5], f[6], f[7], f[8], f[9]});
    }
    return lines;
}

// "C:\Docs\Notes\" -> "Docs/Notes"; the volume root gives "".
QString volumePath(const QString& printed)
{
    QString path = printed.mid(3);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

bool isInvented(const QString& path)
{
    for (const QString& part : path.split(QLatin1Char('/'))) {
        if (part.startsWith(QLatin1String("lost_folder_")) ||
            part.startsWith(QLatin1String("not_found_yet_"))) {
            return true;
        }
    }
    return false;
}

// Where the listing shows an entry: below the volume root, or, when the entry or a folder
// above it lost its parent's record, below the lost folder invented for that record.
QString expectedPath(const TManifest::Volume& volume, const TManifest::Entry& entry)
{
    const QStringList parts = entry.path.split(QLatin1Char('/'));
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        const TManifest::Entry* level = volume.findAny(parts.mid(0, i + 1).join(QLatin1Char('/')));
        if (level && (level->parentLost || level->lostFolder)) {
            // A lost folder the engine made for entries no folder leads to has a number of its own.
            const QString folder = level->lostFolder
                                       ? QStringLiteral("lost_folder_*")
                                       : QStringLiteral("lost_folder_%1").arg(level->parentRecord);
            const QStringList below = QStringList{folder} + parts.mid(i);
            return below.join(QLatin1Char('/'));
        }
    }
    return entry.path;
}

// Whether a printed path names a manifest entry. A deleted FAT short name may have lost
// its first character; such a component matches on the rest of the name.
bool samePath(const TManifest::Volume& volume, const TManifest::Entry& entry, const QString& printed)
{
    const QStringList want = expectedPath(volume, entry).split(QLatin1Char('/'));
    const QStringList real = entry.path.split(QLatin1Char('/'));
    const QStringList got = printed.split(QLatin1Char('/'));
    if (want.size() != got.size()) {
        return false;
    }
    const qsizetype shift = real.size() - want.size(); // components replaced by a lost folder
    for (qsizetype i = 0; i < want.size(); ++i) {
        if (want[i] == got[i] || (want[i] == QLatin1String("lost_folder_*") && isInvented(got[i]))) {
            continue;
        }
        const TManifest::Entry* level =
            i + shift >= 0 ? volume.findAny(real.mid(0, i + shift + 1).join(QLatin1Char('/'))) : nullptr;
        const bool lost = level && level->nameFirstCharLost;
        if (!lost || want[i].size() != got[i].size() || want[i].mid(1) != got[i].mid(1)) {
            return false;
        }
    }
    return true;
}

QString isoText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : QString();
}

// Compares one volume's scan with the manifest: every entry is printed with its kind,
// size, times and condition; deleted entries read Deleted and the live folders above
// them Contain Deleted (a lost folder marks nothing above it); nothing else is printed
// outside the invented folders except the file system's own files.
void checkVolume(const TManifest::Volume& volume, const QList<TLine>& lines, const std::string& where)
{
    SCOPED_TRACE(where);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0].Path.size(), 3) << "the root folder comes first";
    EXPECT_TRUE(lines[0].Path.endsWith(QLatin1String(":\\")));

    bool anyDeleted = false;
    QSet<qsizetype> matched;
    for (const TManifest::Entry& entry : volume.entries) {
        anyDeleted = anyDeleted || (entry.deleted && !isInvented(expectedPath(volume, entry)));
        qsizetype found = -1;
        for (qsizetype i = 0; i < lines.size() && found < 0; ++i) {
            const bool deleted = lines[i].Condition == QLatin1String("Deleted");
            if (!matched.contains(i) && deleted == entry.deleted &&
                samePath(volume, entry, volumePath(lines[i].Path))) {
                found = i;
            }
        }
        if (found < 0) {
            ADD_FAILURE() << "not listed: " << entry.path.toStdString()
                          << (entry.deleted ? " (deleted)" : "");
            continue;
        }
        matched.insert(found);
        const TLine& line = lines[found];
        SCOPED_TRACE(line.Path.toStdString());
        EXPECT_EQ(line.Kind, entry.isDir ? "d" : "f");
        EXPECT_EQ(line.Path.endsWith(QLatin1Char('\\')), entry.isDir);
        if (!entry.isDir) {
            EXPECT_EQ(line.Size, entry.size);
        }
        EXPECT_TRUE(entry.acceptedRecovery().contains(line.Recovery)) << line.Recovery.toStdString();
        if (entry.mtime.isValid()) {
            EXPECT_EQ(line.Modified, isoText(entry.mtime));
        }
        if (entry.ctime.isValid()) {
            EXPECT_EQ(line.Created, isoText(entry.ctime));
        }
        if (entry.atime.isValid()) {
            EXPECT_EQ(line.Accessed, isoText(entry.atime));
        }
        if (!entry.deleted && entry.isDir) {
            bool holdsDeleted = false;
            for (const TManifest::Entry& other : volume.entries) {
                holdsDeleted = holdsDeleted ||
                               (other.deleted && expectedPath(volume, other).startsWith(entry.path + "/"));
            }
            EXPECT_EQ(line.Condition, holdsDeleted ? "Contain Deleted" : "Live");
        } else if (!entry.deleted) {
            EXPECT_EQ(line.Condition, "Live");
        }
    }
    EXPECT_EQ(lines[0].Condition, anyDeleted ? "Contain Deleted" : "Live");

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString path = volumePath(lines[i].Path);
        if (!matched.contains(i) && !isInvented(path) && !path.startsWith(QLatin1Char('$'))) {
            ADD_FAILURE() << "listed but not in the manifest: " << lines[i].Path.toStdString() << " "
                          << lines[i].Condition.toStdString();
        }
    }
}

TManifest loadManifest(const QString& name)
{
    TManifest manifest = TManifest::load(name);
    EXPECT_TRUE(manifest.isValid()) << manifest.errorString().toStdString();
    return manifest;
}

QStringList goodImages()
{
    QStringList names;
    for (const QString& name : TManifest::available()) {
        const TManifest manifest = TManifest::load(name);
        if (manifest.isValid() && !manifest.broken()) {
            names.append(name);
        }
    }
    return names;
}

} // namespace

TEST(CliProgram, HelpAndArgumentErrors)
{
    const TCliRun help = runCli({"--help"});
    ASSERT_RAN_OK(help);
    EXPECT_TRUE(help.Out.contains("Usage: brevant-cli drives"));
    EXPECT_TRUE(help.Out.contains("IMAGE@N"));
    EXPECT_TRUE(help.Out.contains("then its files"));
    EXPECT_TRUE(help.Err.isEmpty());

    for (const QStringList& wrong : {QStringList{}, QStringList{"scan"}, QStringList{"--bogus", "drives"},
                                     QStringList{"list"}, QStringList{"drives", "--json"}}) {
        const TCliRun run = runCli(wrong);
        EXPECT_FALSE(run.Crashed);
        EXPECT_EQ(run.Exit, 2) << wrong.join(' ').toStdString();
        EXPECT_FALSE(run.Err.isEmpty()) << wrong.join(' ').toStdString();
        EXPECT_TRUE(run.Out.isEmpty()) << wrong.join(' ').toStdString();
    }
}

TEST(CliProgram, DrivesListsTheImagesVolumesWithLetters)
{
    const TManifest single = loadManifest("fat16");
    const TManifest parted = loadManifest("mbr-fat32-ntfs");
    const TCliRun run = runCli({"drives", single.imagePath(), parted.imagePath()});
    ASSERT_RAN_OK(run);
    QStringList lines = run.Out.split('\n');
    ASSERT_EQ(lines.takeLast(), "");
    ASSERT_EQ(lines.takeFirst(), "id\tparent\tletter\ttype\tfilesystem\tsize\tlabel\tstatus\tpath");

    // Devices first, each followed by its volumes; letters from C: on.
    QList<QStringList> rows;
    for (const QString& line : lines) {
        rows.append(line.split('\t'));
        ASSERT_EQ(rows.last().size(), 9) << line.toStdString();
    }
    ASSERT_EQ(rows.size(), 5) << run.Out.toStdString();
    const QString singlePath = QFileInfo(single.imagePath()).canonicalFilePath();
    const QString partedPath = QFileInfo(parted.imagePath()).canonicalFilePath();
    EXPECT_EQ(rows[0].mid(1, 4), QStringList({"-1", "-", "Virtual", rows[0][4]}));
    EXPECT_EQ(rows[0][8], singlePath);
    EXPECT_EQ(rows[1].mid(1, 2), QStringList({rows[0][0], "C:"}));
    EXPECT_EQ(rows[1][4], "FAT16");
    EXPECT_EQ(rows[1][6], single.volumes()[0].label);
    EXPECT_EQ(rows[1][7], "ready");
    EXPECT_GT(rows[1][5].toLongLong(), 0);
    EXPECT_EQ(rows[2].mid(1, 3), QStringList({"-1", "-", "Virtual"}));
    EXPECT_EQ(rows[2][8], partedPath);
    EXPECT_EQ(rows[3].mid(1, 2), QStringList({rows[2][0], "D:"}));
    EXPECT_EQ(rows[3][4], "FAT32");
    EXPECT_EQ(rows[4].mid(1, 2), QStringList({rows[2][0], "E:"}));
    EXPECT_EQ(rows[4][4], "NTFS");
    EXPECT_EQ(rows[4][6], parted.volumes()[1].label);
    for (int i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][0], QString::number(i));
    }
}

TEST(CliProgram, DrivesRefusesAnImageItCannotOpen)
{
    TTempDir dir;
    for (const QString& bad : {dir.filePath("missing.img"), dir.path()}) {
        const TCliRun run = runCli({"drives", bad});
        EXPECT_FALSE(run.Crashed);
        EXPECT_EQ(run.Exit, 2);
        EXPECT_TRUE(run.Err.contains(bad)) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty());
    }
}

TEST(CliProgram, ScanOfEachFixtureMatchesItsManifest)
{
    const QStringList names = goodImages();
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        const TManifest manifest = loadManifest(name);
        for (const TManifest::Volume& volume : manifest.volumes()) {
            const QString source = QStringLiteral("%1@%2").arg(manifest.imagePath()).arg(volume.index);
            const TCliRun run = runCli({"scan", source});
            const std::string where = (name + " volume " + QString::number(volume.index)).toStdString();
            ASSERT_RAN_OK(run) << where;
            checkVolume(volume, parseScan(run.Out), where);
            EXPECT_TRUE(run.Err.contains("records/s")) << run.Err.toStdString();
        }
    }
}

TEST(CliProgram, ScanNamesVolumesOfAPartitionedImage)
{
    const TManifest manifest = loadManifest("mbr-fat32-ntfs");
    const QString image = manifest.imagePath();

    const TCliRun second = runCli({"scan", image + "@2"});
    ASSERT_RAN_OK(second);
    const QList<TLine> ntfs = parseScan(second.Out);
    ASSERT_FALSE(ntfs.isEmpty());
    EXPECT_EQ(ntfs[0].Path, "D:\\"); // the second lettered volume of the image

    // The image alone means its first lettered volume.
    const TCliRun plain = runCli({"scan", image});
    const TCliRun first = runCli({"scan", image + "@1"});
    ASSERT_RAN_OK(plain);
    ASSERT_RAN_OK(first);
    EXPECT_EQ(plain.Out, first.Out);
    EXPECT_NE(plain.Out, second.Out);

    const TCliRun beyond = runCli({"scan", image + "@3"});
    EXPECT_FALSE(beyond.Crashed);
    EXPECT_EQ(beyond.Exit, 2);
    EXPECT_TRUE(beyond.Err.contains("2 volume(s)")) << beyond.Err.toStdString();
    EXPECT_TRUE(beyond.Out.isEmpty());
}

TEST(CliProgram, DeletedOnlyListsDeletedEntriesAndTheFoldersAboveThem)
{
    const TManifest manifest = loadManifest("fat16");
    const TCliRun all = runCli({"scan", manifest.imagePath()});
    const TCliRun deleted = runCli({"scan", "--deleted-only", manifest.imagePath()});
    ASSERT_RAN_OK(all);
    ASSERT_RAN_OK(deleted);
    const QList<TLine> allLines = parseScan(all.Out);
    const QList<TLine> deletedLines = parseScan(deleted.Out);

    // The filter keeps a line when it and every folder above it are deleted or hold deleted ones.
    QStringList expected;
    QStringList hiddenFolders;
    for (const TLine& line : allLines) {
        bool hidden = line.Condition == QLatin1String("Live");
        for (const QString& folder : hiddenFolders) {
            hidden = hidden || line.Path.startsWith(folder);
        }
        if (hidden && line.Kind == QLatin1String("d")) {
            hiddenFolders.append(line.Path);
        }
        if (!hidden) {
            expected.append(line.Path);
        }
    }
    QStringList got;
    for (const TLine& line : deletedLines) {
        got.append(line.Path);
        EXPECT_NE(line.Condition, "Live") << line.Path.toStdString();
    }
    EXPECT_EQ(got, expected);
    int manifestDeleted = 0;
    for (const TManifest::Entry& entry : manifest.volumes()[0].entries) {
        manifestDeleted += entry.deleted ? 1 : 0;
    }
    EXPECT_GE(got.size(), manifestDeleted);
}

TEST(CliProgram, JsonOutputParsesAndMatchesTheLines)
{
    const TManifest manifest = loadManifest("ntfs");
    const TCliRun plain = runCli({"scan", manifest.imagePath()});
    const TCliRun json = runCli({"scan", "--json", manifest.imagePath()});
    ASSERT_RAN_OK(plain);
    ASSERT_RAN_OK(json);
    const QList<TLine> lines = parseScan(plain.Out);
    QStringList objects = json.Out.split('\n');
    ASSERT_EQ(objects.takeLast(), "");
    ASSERT_EQ(objects.size(), lines.size());
    for (qsizetype i = 0; i < objects.size(); ++i) {
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(objects[i].toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << objects[i].toStdString();
        EXPECT_EQ(object.size(), 10);
        EXPECT_EQ(QString::number(object["id"].toInteger()), lines[i].Id);
        EXPECT_EQ(object["path"].toString(), lines[i].Path);
        EXPECT_EQ(object["condition"].toString(), lines[i].Condition);
        EXPECT_EQ(object["kind"].toString(), lines[i].Kind);
        EXPECT_EQ(object["size"].toInteger(), lines[i].Size);
        EXPECT_EQ(object["modified"].toString(), lines[i].Modified);
        EXPECT_EQ(object["recovery"].toString(), lines[i].Recovery);
    }
}

TEST(CliProgram, SeveralSourcesShareOneHeader)
{
    const TManifest fat = loadManifest("fat12");
    const TManifest ntfs = loadManifest("ntfs");
    const TCliRun run = runCli({"scan", fat.imagePath(), ntfs.imagePath(), "C:"});
    ASSERT_RAN_OK(run);
    EXPECT_EQ(run.Out.count(ScanHeader), 1);
    const QList<TLine> lines = parseScan(run.Out);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first().Path, "C:\\");
    int roots = 0;
    for (const TLine& line : lines) {
        roots += line.Path.size() == 3 ? 1 : 0;
    }
    EXPECT_EQ(roots, 3); // C:, D:, and C: again
    EXPECT_EQ(run.Err.count("records/s"), 3);
    // A letter keeps its own colon in the summary.
    EXPECT_TRUE(run.Err.contains(QStringLiteral("\nC: "))) << run.Err.toStdString();
    EXPECT_FALSE(run.Err.contains(QStringLiteral("C::"))) << run.Err.toStdString();
}

TEST(CliProgram, BadSourcesFailWithAMessage)
{
    const TManifest manifest = loadManifest("fat12");
    TTempDir dir;
    const QStringList bad{dir.filePath("missing.img"), "Q:", "#99", manifest.imagePath() + "@7", "#x", ""};
    for (const QString& source : bad) {
        // A good source first: nothing is scanned when any source is wrong.
        const TCliRun run = runCli({"scan", manifest.imagePath(), source});
        EXPECT_FALSE(run.Crashed) << source.toStdString();
        EXPECT_EQ(run.Exit, 2) << source.toStdString();
        EXPECT_TRUE(run.Err.startsWith("brevant-cli: ")) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty()) << source.toStdString();
    }
}

TEST(CliProgram, BrokenImagesEndCleanly)
{
    for (const QString& name : TManifest::available()) {
        const TManifest manifest = loadManifest(name);
        if (!manifest.broken()) {
            continue;
        }
        SCOPED_TRACE(name.toStdString());
        const TCliRun run = runCli({"scan", manifest.imagePath() + "@1"});
        EXPECT_FALSE(run.Crashed) << describe(run).toStdString();
        EXPECT_TRUE(run.Exit == 0 || run.Exit == 1 || run.Exit == 2) << describe(run).toStdString();
        if (run.Exit != 0) {
            EXPECT_FALSE(run.Err.isEmpty());
        } else {
            parseScan(run.Out);
        }
        if (manifest.expect() == QLatin1String("init-fails")) {
            // The analysis's own message reaches standard error, then what to do about it.
            EXPECT_EQ(run.Exit, 1) << describe(run).toStdString();
            EXPECT_TRUE(run.Err.contains("Error: Can't initialize disk!")) << run.Err.toStdString();
            EXPECT_TRUE(run.Err.contains("brevant-cli: The scan of")) << run.Err.toStdString();
        }
    }
}
