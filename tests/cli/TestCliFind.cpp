// Runs "brevant-cli find" against fixture images and checks its hits against the
// images' manifests.
#include "TCliRun.h"
#include "support/TManifest.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

std::string describe(const TCliRun& run)
{
    return QStringLiteral("exit %1%2\n--- stderr:\n%3--- stdout (start):\n%4")
        .arg(run.Exit)
        .arg(run.Crashed ? QStringLiteral(" (crashed)") : QString())
        .arg(run.Err, run.Out.left(3000))
        .toStdString();
}

struct THit
{
    QString Id;
    bool Folder = false;
    bool Deleted = false;
    qint64 Size = 0;
    QString Name; // the path's last component
    QString Path;
};

QList<THit> parseHits(const QString& out)
{
    QList<THit> hits;
    QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty() || !lines.front().startsWith(QLatin1String("id\t"))) {
        ADD_FAILURE() << "no header";
        return hits;
    }
    lines.removeFirst();
    for (const QString& line : lines) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() != 10) {
            ADD_FAILURE() << line.toStdString();
            continue;
        }
        QString path = f[8];
        if (path.endsWith(QLatin1Char('\\')))
            path.chop(1);
        hits.append({f[0], f[3] == QLatin1String("d"), f[2] == QLatin1String("Deleted"), f[4].toLongLong(),
                     path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1), f[8]});
    }
    return hits;
}

bool isInventedOrSystem(const THit& hit)
{
    return hit.Path.contains(QLatin1String("lost_folder_")) ||
           hit.Path.contains(QLatin1String("not_found_yet_")) || hit.Name.startsWith(QLatin1Char('$'));
}

// A deleted FAT short name may have lost its first character on the disk.
bool sameEntry(const TManifest::Entry& entry, const THit& hit)
{
    const QString name = entry.name();
    const bool nameMatches = hit.Name == name || (entry.nameFirstCharLost && hit.Name.size() == name.size() &&
                                                  hit.Name.mid(1) == name.mid(1));
    return nameMatches && hit.Folder == entry.isDir && hit.Deleted == entry.deleted &&
           (entry.isDir || hit.Size == entry.size);
}

// The run lists each entry that wanted accepts once, and nothing else outside the
// invented folders and the file system's own files; its summary counts what it printed.
void expectHits(const TManifest::Volume& volume, const QString& source, const QStringList& options,
                const std::function<bool(const TManifest::Entry&)>& wanted)
{
    SCOPED_TRACE((source + QLatin1Char(' ') + options.join(QLatin1Char(' '))).toStdString());
    const TCliRun run = runCli(QStringList{QStringLiteral("find"), source} + options);
    ASSERT_TRUE(!run.Crashed && run.Exit == 0) << describe(run);
    const QList<THit> hits = parseHits(run.Out);
    QList<bool> matched(hits.size(), false);
    int expected = 0;
    for (const TManifest::Entry& entry : volume.entries) {
        if (!wanted(entry))
            continue;
        ++expected;
        qsizetype found = -1;
        for (qsizetype i = 0; i < hits.size() && found < 0; ++i)
            if (!matched[i] && sameEntry(entry, hits[i]))
                found = i;
        if (found < 0)
            ADD_FAILURE() << "not found: " << entry.path.toStdString() << (entry.deleted ? " (deleted)" : "");
        else
            matched[found] = true;
    }
    EXPECT_GT(expected, 0) << "the case selects nothing";
    qint64 files = 0, folders = 0;
    for (qsizetype i = 0; i < hits.size(); ++i) {
        ++(hits[i].Folder ? folders : files);
        if (!matched[i] && !isInventedOrSystem(hits[i]))
            ADD_FAILURE() << "unexpected hit: " << hits[i].Path.toStdString();
    }
    EXPECT_EQ(run.Err, QStringLiteral("Found %1 files and %2 folders.\n").arg(files).arg(folders));
}

QString isoSeconds(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

} // namespace

TEST(CliFind, HitsAreTheManifestEntriesMeetingTheRules)
{
    for (const char* name : {"fat16", "ntfs"}) {
        const TManifest manifest = TManifest::load(QString::fromLatin1(name));
        ASSERT_TRUE(manifest.isValid()) << manifest.errorString().toStdString();
        const TManifest::Volume& volume = manifest.volumes().front();
        const QString image = manifest.imagePath();
        auto isTxt = [](const TManifest::Entry& e) {
            return e.name().endsWith(QLatin1String(".txt"), Qt::CaseInsensitive);
        };

        expectHits(volume, image, {"--mask", "*.txt"}, isTxt);
        expectHits(volume, image, {"--deleted-only"}, [](const TManifest::Entry& e) { return e.deleted; });
        expectHits(volume, image, {"--size=>1K", "--mask=*.*"}, [](const TManifest::Entry& e) {
            return !e.isDir && e.size > 1024 && e.name().contains(QLatin1Char('.'));
        });
        expectHits(
            volume, image, {"--size", "=0", "--deleted-only", "--mask", "*.txt"},
            [&](const TManifest::Entry& e) { return !e.isDir && e.size == 0 && e.deleted && isTxt(e); });

        // From one entry's creation to the end of a later entry's day: both ends count.
        QList<QDateTime> created;
        for (const TManifest::Entry& e : volume.entries)
            if (e.ctime.isValid())
                created << e.ctime;
        std::sort(created.begin(), created.end());
        ASSERT_GE(created.size(), 4);
        const QDateTime from = created[created.size() / 3];
        const QDateTime toDay = created[created.size() * 2 / 3];
        const QDateTime fromSecond(from.date(),
                                   QTime(from.time().hour(), from.time().minute(), from.time().second()),
                                   from.timeSpec());
        expectHits(volume, image,
                   {"--created-between", isoSeconds(from), toDay.date().toString(Qt::ISODate), "--mask", "*"},
                   [&](const TManifest::Entry& e) {
                       return e.ctime.isValid() && e.ctime >= fromSecond && e.ctime.date() <= toDay.date();
                   });
        // One second as printed, given as both ends, keeps what was created in it.
        expectHits(volume, image, {"--created-between", isoSeconds(from), isoSeconds(from)},
                   [&](const TManifest::Entry& e) {
                       return e.ctime.isValid() && isoSeconds(e.ctime) == isoSeconds(from);
                   });
    }
}

TEST(CliFind, IdAndJsonPrintTheSameElements)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    const TCliRun lines = runCli({"find", manifest.imagePath(), "--mask", "*.txt"});
    ASSERT_EQ(lines.Exit, 0) << describe(lines);
    const QList<THit> hits = parseHits(lines.Out);
    ASSERT_GE(hits.size(), 2);

    const TCliRun json = runCli({"find", manifest.imagePath(), "--mask", "*.txt", "--json"});
    ASSERT_EQ(json.Exit, 0) << describe(json);
    const QStringList objects = json.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(objects.size(), hits.size());
    for (qsizetype i = 0; i < hits.size(); ++i)
        EXPECT_EQ(QJsonDocument::fromJson(objects[i].toUtf8()).object().value("id").toVariant().toString(),
                  hits[i].Id);

    // The id decides whatever the mask: the element of that id alone.
    const THit& second = hits[1];
    const TCliRun byId =
        runCli({"find", manifest.imagePath(), "--id", second.Id, "--mask", "nothing-like-it"});
    ASSERT_EQ(byId.Exit, 0) << describe(byId);
    const QList<THit> one = parseHits(byId.Out);
    ASSERT_EQ(one.size(), 1) << describe(byId);
    EXPECT_EQ(one[0].Path, second.Path);
}

TEST(CliFind, BadInputIsRefusedWithExitTwo)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    const QString image = manifest.imagePath();
    const QList<std::pair<QStringList, QString>> cases = {
        {{"--mask", "[]"}, "'[]' is an invalid mask at (2)"},
        {{"--id", "12x"}, "'12x' is not a valid integer value"},
        {{"--size", "10K"}, "--size"},
        {{"--size=>1G"}, "--size"},
        {{"--not-older-than", "3m"}, "--not-older-than"},
        {{"--created-between", "2024-02-30", "2024-03-01"}, "--created-between"},
        {{"--created-between", "2024-03-05", "2024-03-01"}, "--created-between"},
        {{"--created-between", "2024-03-01T25:00:00", "2024-03-02"}, "--created-between"},
        {{"--created-between", "2024-03-01"}, "--created-between"},
    };
    for (const auto& [options, message] : cases) {
        const TCliRun run = runCli(QStringList{QStringLiteral("find"), image} + options);
        EXPECT_FALSE(run.Crashed);
        EXPECT_EQ(run.Exit, 2) << options.join(' ').toStdString();
        EXPECT_TRUE(run.Out.isEmpty()) << describe(run);
        EXPECT_TRUE(run.Err.startsWith(QStringLiteral("brevant-cli: ")) && run.Err.contains(message))
            << describe(run);
    }
}
