#include "recovery/TCheckTreeFiller.h"
#include "recovery/TProgramLog.h"
#include "QtPrinters.h"
#include "recovery/TRecoveryRun.h"
#include "recovery/TStateTree.h"
#include "recovery/TTargetFolders.h"
#include "recovery/TTargetName.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "support/TModelDisk.h"
#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "support/TTempDir.h"
#include "util/Utils.h"

#include <optional>
#include <QDir>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// Records what the run shows.
class TRecordingSink final : public TRecoverySink
{
public:
    void AddLogLine(const QString& line) override { log << line; }
    void ShowCounters(const TRecoveryCounters& c) override { counters.push_back(c); }
    void SetCurrentFileLabel(const QString& text) override { labels << text; }
    void RefreshProgress(int64_t total, int64_t position) override { progress.emplace_back(total, position); }
    void PumpMessages() override { ++pumps; }
    bool StopRequested() override { return stop && stop(); }

    std::function<bool()> stop;
    QStringList log;
    std::vector<TRecoveryCounters> counters;
    QStringList labels;
    std::vector<std::pair<int64_t, int64_t>> progress;
    int pumps = 0;
};

constexpr int32_t DriveId = 1;
constexpr int64_t Deleted = flag_IS_DELETED;
constexpr int64_t Folder = flag_IS_DIRECTORY;

// Drive D: with
//   D:\Docs\            (live, contains deleted)
//   D:\Docs\Old\        (deleted)   b.txt (deleted, 3 bytes)
//   D:\Docs\a.txt       (deleted, 5 bytes)
//   D:\c.txt            (live, 2 bytes)
//   lost_folder_99\x.bin (deleted, 4 bytes)
class RecoveryRun : public ::testing::Test
{
protected:
    RecoveryRun()
    {
        disk = std::make_unique<TModelDisk>();
        root = disk->Add(disk->RootElement, QStringLiteral("D:"), Folder | flag_HAS_CHILD_DELETED);
        docs = disk->Add(root, QStringLiteral("Docs"), Folder | flag_HAS_CHILD_DELETED);
        old = disk->Add(docs, QStringLiteral("Old"), Folder | Deleted);
        b = disk->Add(old, QStringLiteral("b.txt"), Deleted, 3);
        a = disk->Add(docs, QStringLiteral("a.txt"), Deleted, 5);
        c = disk->Add(root, QStringLiteral("c.txt"), 0, 2);
        lost = disk->Add(disk->RootElement, QStringLiteral("lost_folder_99"), Folder | Deleted);
        x = disk->Add(lost, QStringLiteral("x.bin"), Deleted, 4);
        engine.SetCopy(b->TrueID, "bbb");
        engine.SetCopy(a->TrueID, "aaaaa");
        engine.SetCopy(c->TrueID, "cc");
        engine.SetCopy(x->TrueID, "xxxx");
        out = dest.path() + QStringLiteral("/out");
    }

    // The image (or device) and the volume the engine reports for drive D:.
    void addDisks(const QString& devicePath, const QString& volumePath)
    {
        engine.AddDisk(
            TScriptedEngine::MakeDrive(0, -1, 0, QString(), QString(), 1 << 20, DRIVE_TYPE_VIRTUAL),
            devicePath);
        engine.AddDisk(TScriptedEngine::MakeDrive(DriveId, 0, 'D', QStringLiteral("DATA"),
                                                  QStringLiteral("FAT32"), 1 << 20),
                       volumePath);
        m_disksAdded = true;
    }
    void fill()
    {
        if (!m_disksAdded)
            addDisks(image.filePath(QStringLiteral("disk.img")), image.filePath(QStringLiteral("disk.img")));
        tree.setStateRecursion(true);
        TCheckTreeFiller::AddElement(tree, -1, disk->RootElement);
    }
    bool run(TRecoveryRun::TOverwrite mode = TRecoveryRun::TOverwrite::Ask, const QString& to = QString(),
             TProgramLog* log = nullptr)
    {
        TRecoveryRun recovery(sink);
        recovery.SetOverwrite(mode);
        recovery.SetProgramLog(log);
        const bool result = recovery.StartRecovery(tree, to.isNull() ? out : to, 'D', DriveId);
        counters = recovery.Counters();
        return result;
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    TTempDir image;
    TTempDir dest;
    TScriptedEngine engine;
    TScriptedPrompt prompt{TUserPrompt::Answer::No};
    std::unique_ptr<TModelDisk> disk;
    TBaseElement *root, *docs, *old, *b, *a, *c, *lost, *x;
    QString out;
    TStateTree tree;
    TRecordingSink sink;
    TRecoveryCounters counters;

private:
    bool m_disksAdded = false;
};

} // namespace

TEST_F(RecoveryRun, FillsTheTreeTheWayTheWizardShowsIt)
{
    QStringList folderEnds;
    int added = 0;
    tree.setStateRecursion(true);
    ASSERT_TRUE(TCheckTreeFiller::AddElement(
        tree, -1, disk->RootElement, [&](const TBaseElement*) { return ++added > 0; },
        [&](const TBaseElement* folder) { folderEnds << folder->GetName(); }));
    QStringList texts;
    std::vector<int> images;
    for (TStateTree::NodeId node = 0; node < tree.Count(); ++node) {
        texts << tree.Text(node);
        images.push_back(tree.ImageIndex(node));
    }
    // A folder, then its sub-folders each with their content, then its files.
    EXPECT_EQ(texts, (QStringList{"D: logical drive", "D:", "Docs", "Old", "b.txt", "a.txt", "c.txt",
                                  "lost_folder_99", "x.bin"}));
    EXPECT_EQ(images, (std::vector<int>{2, 3, 3, 4, 1, 1, 0, 4, 1}));
    EXPECT_EQ(added, 9);
    EXPECT_EQ(folderEnds, (QStringList{"Old", "Docs", "D:", "lost_folder_99", "D: logical drive"}));
    EXPECT_EQ(tree.StateIndex(0), 2); // every node ticked when added
    EXPECT_EQ(tree.Parent(4), 3);

    // Stopped by the caller at the fourth element: nothing more is added.
    TStateTree stopped;
    int seen = 0;
    EXPECT_FALSE(TCheckTreeFiller::AddElement(stopped, -1, disk->RootElement,
                                              [&](const TBaseElement*) { return ++seen < 4; }));
    EXPECT_EQ(stopped.Count(), 3);
}

TEST_F(RecoveryRun, RecreatesFoldersAndRecoversEveryTickedFile)
{
    fill();
    tree.CheckAll();
    ASSERT_TRUE(run());
    const QString o = out + QLatin1Char('/');
    EXPECT_EQ(sink.log, (QStringList{
                            QStringLiteral("Recovery started."),
                            QStringLiteral("Creating folder: ") + o,
                            QStringLiteral("Creating folder: ") + o,
                            QStringLiteral("Creating folder: ") + o + QStringLiteral("Docs/"),
                            QStringLiteral("Creating folder: ") + o + QStringLiteral("Docs/Old/"),
                            QStringLiteral("Recovering file: ") + o + QStringLiteral("Docs/Old/b.txt"),
                            QStringLiteral("Recovering file: ") + o + QStringLiteral("Docs/a.txt"),
                            QStringLiteral("Recovering file: ") + o + QStringLiteral("c.txt"),
                            QStringLiteral("Creating folder: ") + o + QStringLiteral("lost_folder_99/"),
                            QStringLiteral("Recovering file: ") + o + QStringLiteral("lost_folder_99/x.bin"),
                            QStringLiteral("Recovery finished."),
                        }));
    EXPECT_EQ(read(o + QStringLiteral("Docs/Old/b.txt")), "bbb");
    EXPECT_EQ(read(o + QStringLiteral("Docs/a.txt")), "aaaaa");
    EXPECT_EQ(read(o + QStringLiteral("c.txt")), "cc");
    EXPECT_EQ(read(o + QStringLiteral("lost_folder_99/x.bin")), "xxxx");

    EXPECT_EQ(counters.TotalFiles, 4);
    EXPECT_EQ(counters.ProcessedFiles, 4);
    EXPECT_EQ(counters.TotalSize, 14);
    EXPECT_EQ(counters.ProcessedSize, 14);
    EXPECT_EQ(counters.FailedFiles, 0);
    ASSERT_EQ(sink.counters.size(), 5u); // after counting, then after each file
    EXPECT_EQ(sink.counters.front().TotalFiles, 4);
    EXPECT_EQ(sink.counters.front().ProcessedFiles, 0);
    EXPECT_EQ(sink.labels.back(), QStringLiteral("x.bin (") + FormatSize(4) + QStringLiteral(")"));
    EXPECT_TRUE(sink.labels.front().startsWith(QStringLiteral("b.txt (")));

    // The engine got the element's ids, flags, size and attributes, nothing else, and
    // every handle was closed.
    ASSERT_EQ(engine.Recovered().size(), 4);
    const TFileInfo& record = engine.Recovered().front().Record;
    EXPECT_EQ(record.TrueId, b->TrueID);
    EXPECT_EQ(record.TrueParentId, old->TrueID);
    EXPECT_EQ(record.Flags, Deleted);
    EXPECT_EQ(record.Size, 3);
    EXPECT_EQ(record.Attributes, b->Attributes);
    EXPECT_EQ(record.DateModified, 0u);
    EXPECT_EQ(record.WideFileName[0], 0);
    EXPECT_EQ(engine.OpenHandles(), 0);
    // The scripted engine reports each copy's progress; the run passes it on.
    ASSERT_FALSE(sink.progress.empty());
    EXPECT_EQ(sink.progress.front(), (std::pair<int64_t, int64_t>{3, 3}));
}

TEST_F(RecoveryRun, OnlyTickedNodesAndFoldersCreatedOnDemand)
{
    fill();
    tree.CheckDeletedOnly(); // D: is grey; Docs, Old and the lost folder hold only deleted content
    ASSERT_TRUE(run());
    const QString o = out + QLatin1Char('/');
    EXPECT_EQ(sink.log, (QStringList{
                            QStringLiteral("Recovery started."),
                            QStringLiteral("Creating folder: ") + o + QStringLiteral("Docs/"),
                            QStringLiteral("Creating folder: ") + o + QStringLiteral("Docs/Old/"),
                            QStringLiteral("Recovering file: ") + o + QStringLiteral("Docs/Old/b.txt"),
                            QStringLiteral("Recovering file: ") + o + QStringLiteral("Docs/a.txt"),
                            QStringLiteral("Creating folder: ") + o + QStringLiteral("lost_folder_99/"),
                            QStringLiteral("Recovering file: ") + o + QStringLiteral("lost_folder_99/x.bin"),
                            QStringLiteral("Recovery finished."),
                        }));
    EXPECT_FALSE(QFile::exists(o + QStringLiteral("c.txt")));
    EXPECT_EQ(counters.TotalFiles, 3);

    // A ticked file whose folder is missing gets its folder first, with one line.
    sink.log.clear();
    QDir(out).removeRecursively();
    tree.UncheckAll();
    tree.SetStateIndex(4, 2); // b.txt
    ASSERT_EQ(tree.Data(4), b);
    ASSERT_TRUE(run());
    EXPECT_EQ(sink.log.mid(1, 2),
              (QStringList{QStringLiteral("Creating folder: ") + o + QStringLiteral("Docs/Old/"),
                           QStringLiteral("Recovering file: ") + o + QStringLiteral("Docs/Old/b.txt")}));
}

TEST_F(RecoveryRun, ExistingFilesAreOverwrittenOnlyWhenAgreed)
{
    fill();
    tree.UncheckAll();
    tree.SetStateIndex(6, 2); // c.txt
    ASSERT_EQ(tree.Data(6), c);
    QDir().mkpath(out);
    const QString target = out + QStringLiteral("/c.txt");
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();

    prompt.queue(TUserPrompt::Answer::No);
    ASSERT_TRUE(run());
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked()[0].text,
              QStringLiteral("File \"%1\" already exists. Do you want to overwrite it?").arg(target));
    EXPECT_EQ(prompt.asked()[0].caption, QStringLiteral("Confirmation"));
    EXPECT_EQ(prompt.asked()[0].buttons, TUserPrompt::Buttons::YesNo);
    EXPECT_TRUE(sink.log.contains(QStringLiteral("File skipped ") + target));
    EXPECT_EQ(counters.ProcessedFiles, 0);
    EXPECT_EQ(counters.SkippedFiles, 1);
    EXPECT_EQ(read(target), "keep");
    EXPECT_EQ(engine.Calls.FileRecovery, 0);

    ASSERT_TRUE(run(TRecoveryRun::TOverwrite::Skip)); // no question, kept
    EXPECT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(read(target), "keep");

    prompt.queue(TUserPrompt::Answer::Yes);
    ASSERT_TRUE(run());
    EXPECT_EQ(prompt.asked().size(), 2);
    EXPECT_EQ(read(target), "cc");
    EXPECT_EQ(counters.ProcessedFiles, 1);

    ASSERT_TRUE(run(TRecoveryRun::TOverwrite::Always));
    EXPECT_EQ(prompt.asked().size(), 2);
    EXPECT_EQ(engine.Calls.FileRecovery, 2);
}

TEST_F(RecoveryRun, RefusesADestinationOnTheSourceDrive)
{
    fill();
    tree.CheckAll();
    // The letter rule, ignoring case, anywhere in the text.
    for (const QString& to : {QStringLiteral("d:\\out"), out + QStringLiteral("/D:\\x")}) {
        sink.log.clear();
        EXPECT_FALSE(run(TRecoveryRun::TOverwrite::Ask, to));
        EXPECT_EQ(sink.log, (QStringList{QStringLiteral("Recovery started."), TRecoveryRun::SameDriveText(),
                                         QStringLiteral("Recovery encountered fatal error.")}));
        ASSERT_FALSE(prompt.asked().isEmpty());
        EXPECT_EQ(prompt.asked().last().text, TRecoveryRun::SameDriveText());
        EXPECT_EQ(prompt.asked().last().buttons, TUserPrompt::Buttons::Ok);
    }
    // Empty and relative destinations are refused too: they name no place of the user's.
    for (const QString& to : {QString(""), QStringLiteral("out")}) {
        sink.log.clear();
        EXPECT_FALSE(run(TRecoveryRun::TOverwrite::Ask, to));
        EXPECT_EQ(sink.log.last(), QStringLiteral("Recovery encountered fatal error."));
    }
    EXPECT_EQ(engine.Calls.FileRecovery, 0);
    EXPECT_FALSE(QFile::exists(out));
}

// A block device node standing for the file system the destination is on.
static QString makeDeviceNode(const TTempDir& where, const QString& of)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(of).constData(), &status) != 0)
        return QString();
    const QString node = where.filePath(QStringLiteral("blockdev"));
    if (::mknod(QFile::encodeName(node).constData(), S_IFBLK | 0600, status.st_dev) != 0)
        return QString();
    return node;
}

TEST_F(RecoveryRun, AllowsADestinationBesideTheSourceImage)
{
    addDisks(dest.filePath(QStringLiteral("disk.img")), dest.filePath(QStringLiteral("disk.img")));
    QFile imageFile(dest.filePath(QStringLiteral("disk.img")));
    ASSERT_TRUE(imageFile.open(QIODevice::WriteOnly));
    imageFile.close();
    fill();
    tree.CheckAll();
    ASSERT_TRUE(run());
    EXPECT_EQ(counters.ProcessedFiles, 4);
}

TEST_F(RecoveryRun, RefusesADestinationOnTheSourceDevice)
{
    const QString node = makeDeviceNode(image, dest.path());
    if (node.isEmpty())
        GTEST_SKIP() << "block device nodes cannot be made here";
    addDisks(node, QStringLiteral("/nonexistent/partition"));
    fill();
    tree.CheckAll();
    // The volume's parent device holds the destination, which does not exist yet.
    EXPECT_FALSE(run(TRecoveryRun::TOverwrite::Always, out + QStringLiteral("/new/deeper")));
    EXPECT_EQ(sink.log.mid(1), (QStringList{TRecoveryRun::SameDriveText(),
                                            QStringLiteral("Recovery encountered fatal error.")}));
    EXPECT_EQ(engine.Calls.FileRecovery, 0);
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(RecoveryRun, RefusesADestinationOnTheSourceVolume)
{
    const QString node = makeDeviceNode(image, dest.path());
    if (node.isEmpty())
        GTEST_SKIP() << "block device nodes cannot be made here";
    addDisks(QStringLiteral("/nonexistent/disk"), node);
    fill();
    tree.CheckAll();
    EXPECT_FALSE(run(TRecoveryRun::TOverwrite::Always));
    EXPECT_EQ(engine.Calls.FileRecovery, 0);
}

namespace {

// The scripted engine with a wait that times out a number of times, or fails.
struct TWaitScript
{
    static inline int timeouts = 0;
    static inline bool fail = false;
    static inline TVantrelHandle endless = 0; // from this handle on, copies never finish
    static inline TVantrelApi api{};
    static inline const TVantrelApi* base = nullptr;
    static inline std::optional<TVantrelApi::TInstalled::Scope> installed;

    static int32_t wait(TVantrelHandle handle, int32_t timeoutMs)
    {
        if (fail)
            return VANTREL_WAIT_FAILED;
        if (timeouts > 0) {
            --timeouts;
            return VANTREL_WAIT_TIMEOUT;
        }
        if (endless > 0 && handle >= endless && base->Wait(handle, 0) == VANTREL_WAIT_DONE)
            return VANTREL_WAIT_TIMEOUT;
        return base->Wait(handle, timeoutMs);
    }
    static void install(int timeoutCount, bool failing)
    {
        timeouts = timeoutCount;
        fail = failing;
        base = &TVantrelApi::Current();
        api = *base;
        api.Wait = &wait;
        installed.emplace(&api);
    }
    static void uninstall()
    {
        installed.reset();
        endless = 0;
    }
};

} // namespace

TEST_F(RecoveryRun, FailedCopiesAreLoggedAndNotCounted)
{
    engine.SetCopy(a->TrueID, "aaaaa", VANTREL_RECOVERY_READ_ERROR);
    engine.SetCopy(c->TrueID, "cc", VANTREL_RECOVERY_WRITE_ERROR);
    fill();
    tree.CheckAll();
    ASSERT_TRUE(run());
    const QString o = out + QLatin1Char('/');
    EXPECT_TRUE(sink.log.contains(QStringLiteral("Can't recover file: ") + o +
                                  QStringLiteral("Docs/a.txt (The source could not be read.)")));
    EXPECT_TRUE(sink.log.contains(QStringLiteral("Can't recover file: ") + o +
                                  QStringLiteral("c.txt (The target could not be written.)")));
    EXPECT_FALSE(sink.log.contains(QStringLiteral("Recovering file: ") + o + QStringLiteral("Docs/a.txt")));
    EXPECT_EQ(counters.TotalFiles, 4);
    EXPECT_EQ(counters.ProcessedFiles, 2);
    EXPECT_EQ(counters.ProcessedSize, 7);
    EXPECT_EQ(counters.FailedFiles, 2);
    EXPECT_EQ(sink.log.last(), QStringLiteral("Recovery finished."));
    EXPECT_EQ(engine.OpenHandles(), 0);

    // A copy the engine cannot start.
    sink.log.clear();
    engine.SetFailRecoveryStart(true);
    ASSERT_TRUE(run(TRecoveryRun::TOverwrite::Always));
    EXPECT_EQ(counters.ProcessedFiles, 0);
    EXPECT_EQ(counters.FailedFiles, 4);
    EXPECT_EQ(sink.log.filter(QStringLiteral("Can't recover file: ")).size(), 4);
}

TEST_F(RecoveryRun, WaitsInTurnsPumpingAndGivesUpWhenTheWaitFails)
{
    fill();
    tree.UncheckAll();
    tree.SetStateIndex(6, 2); // c.txt
    TWaitScript::install(3, false);
    ASSERT_TRUE(run());
    EXPECT_EQ(sink.pumps, 3);
    EXPECT_EQ(counters.ProcessedFiles, 1);

    TWaitScript::fail = true;
    ASSERT_TRUE(run(TRecoveryRun::TOverwrite::Always));
    TWaitScript::uninstall();
    EXPECT_EQ(counters.ProcessedFiles, 0);
    EXPECT_EQ(counters.FailedFiles, 1);
    EXPECT_EQ(sink.log.at(sink.log.size() - 2), QStringLiteral("Can't recover file: ") + out +
                                                    QStringLiteral("/c.txt (waiting for the engine failed)"));
    EXPECT_EQ(engine.OpenHandles(), 0);
}

// Copies that finish within the first wait turn never time out; the window is still
// served between them, as often as the interval allows.
TEST_F(RecoveryRun, QuickCopiesStillServeTheWindow)
{
    fill();
    tree.CheckAll();
    TRecoveryRun recovery(sink);
    recovery.SetOverwrite(TRecoveryRun::TOverwrite::Always);
    recovery.SetPumpInterval(std::chrono::milliseconds(0));
    ASSERT_TRUE(recovery.StartRecovery(tree, out, 'D', DriveId));
    EXPECT_EQ(recovery.Counters().ProcessedFiles, 4);
    const qsizetype folders = sink.log.filter(QStringLiteral("Creating folder: ")).size();
    EXPECT_EQ(sink.pumps, folders + 4); // after every folder and every file

    // Skipped files count too.
    sink.pumps = 0;
    recovery.SetOverwrite(TRecoveryRun::TOverwrite::Skip);
    ASSERT_TRUE(recovery.StartRecovery(tree, out, 'D', DriveId));
    EXPECT_EQ(recovery.Counters().SkippedFiles, 4);
    EXPECT_GE(sink.pumps, 4);
}

// A stop asked between files ends the run before the next one; a stop asked while a
// copy waits cancels that copy, which then counts as failed, not recovered.
TEST_F(RecoveryRun, StopEndsTheRunAndCancelsTheCopyUnderWay)
{
    fill();
    tree.CheckAll();
    sink.stop = [this] { return sink.labels.size() >= 2; };
    TRecoveryRun recovery(sink);
    EXPECT_FALSE(recovery.StartRecovery(tree, out, 'D', DriveId));
    EXPECT_TRUE(recovery.Stopped());
    EXPECT_EQ(recovery.Counters().ProcessedFiles, 2);
    EXPECT_EQ(recovery.Counters().FailedFiles, 0);
    EXPECT_EQ(sink.log.last(), QStringLiteral("Recovery stopped."));
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/c.txt")));
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/lost_folder_99/x.bin")));

    // Mid-copy: the engine is still busy with c.txt when the stop comes.
    tree.UncheckAll();
    tree.SetStateIndex(6, 2); // c.txt
    sink.log.clear();
    sink.pumps = 0;
    sink.stop = [this] { return sink.pumps >= 1; };
    TWaitScript::install(5, false);
    EXPECT_FALSE(recovery.StartRecovery(tree, out, 'D', DriveId));
    TWaitScript::uninstall();
    EXPECT_TRUE(recovery.Stopped());
    EXPECT_EQ(sink.pumps, 1);
    EXPECT_EQ(recovery.Counters().ProcessedFiles, 0);
    EXPECT_EQ(recovery.Counters().FailedFiles, 1);
    EXPECT_TRUE(sink.log.contains(QStringLiteral("Can't recover file: ") + out +
                                  QStringLiteral("/c.txt (the copy was cancelled)")))
        << sink.log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(sink.log.last(), QStringLiteral("Recovery stopped."));
    EXPECT_EQ(engine.OpenHandles(), 0);

    // Without a stop the next run goes to its end.
    sink.stop = nullptr;
    EXPECT_TRUE(recovery.StartRecovery(tree, out, 'D', DriveId));
    EXPECT_FALSE(recovery.Stopped());
}

// Copies of one folder are queued ahead of the one being waited for. A stop keeps what
// finished, counts the interrupted copy as failed and the queued ones as never reached.
TEST_F(RecoveryRun, AStopWithCopiesQueuedCancelsThoseNotFinished)
{
    for (const char* name : {"d1.txt", "d2.txt", "d3.txt"})
        disk->Add(docs, QString::fromLatin1(name), Deleted, 1);
    fill();
    tree.CheckAll();
    TWaitScript::install(0, false);
    TWaitScript::endless = 3; // b.txt and a.txt finish, the Docs/d*.txt copies never do
    sink.stop = [this] { return sink.pumps >= 1; };
    TRecoveryRun recovery(sink);
    recovery.SetManifest(true);
    EXPECT_FALSE(recovery.StartRecovery(tree, out, 'D', DriveId));
    TWaitScript::uninstall();
    EXPECT_EQ(recovery.Counters().ProcessedFiles, 2);
    EXPECT_EQ(recovery.Counters().FailedFiles, 1);
    QStringList outcomes;
    for (const TRecoveryManifest::TRow& row : recovery.Manifest().Rows())
        outcomes << row.Source.section(QLatin1Char('\\'), -1) + QLatin1Char(' ') +
                        TRecoveryManifest::Word(row.Outcome) + (row.Target.isEmpty() ? "" : " to");
    EXPECT_EQ(outcomes,
              (QStringList{"b.txt recovered to", "a.txt recovered to", "d1.txt cancelled to",
                           "d2.txt cancelled", "d3.txt cancelled", "c.txt cancelled", "x.bin cancelled"}));
    EXPECT_TRUE(sink.log.contains(QStringLiteral("Can't recover file: ") + out +
                                  QStringLiteral("/Docs/d1.txt (the copy was cancelled)")));
    EXPECT_EQ(sink.log.last(), QStringLiteral("Recovery stopped."));
    EXPECT_EQ(engine.OpenHandles(), 0);
}

TEST_F(RecoveryRun, NamesFromTheDiskCannotLeaveTheDestination)
{
    TBaseElement* up = disk->Add(root, QStringLiteral(".."), Folder | Deleted);
    disk->Add(up, QStringLiteral(".."), Deleted, 1);
    disk->Add(up, QStringLiteral("."), Deleted, 1);
    TBaseElement* slash = disk->Add(root, QStringLiteral("a/../../b"), Folder | Deleted);
    disk->Add(slash, QStringLiteral("..\\..\\evil"), Deleted, 1);
    disk->Add(slash, QStringLiteral("tab\tnew\nline\x01"), Deleted, 1);
    disk->Add(slash, QStringLiteral("Gr\u00fc\u00dfe \u6587\u4ef6.txt"), Deleted, 1);
    fill();
    tree.CheckAll();
    const QString o = out + QLatin1Char('/');
    ASSERT_TRUE(run());
    EXPECT_EQ(counters.FailedFiles, 0);
    EXPECT_EQ(counters.ProcessedFiles, 9);
    const QStringList written = sink.log.filter(QStringLiteral("Recovering file: "));
    for (const QString& expected :
         {QStringLiteral("__/__"), QStringLiteral("__/_"), QStringLiteral("a_.._.._b/.._.._evil"),
          QStringLiteral("a_.._.._b/tab_new_line_"),
          QStringLiteral("a_.._.._b/Gr\u00fc\u00dfe \u6587\u4ef6.txt")}) {
        EXPECT_TRUE(written.contains(QStringLiteral("Recovering file: ") + o + expected))
            << expected.toStdString();
        EXPECT_TRUE(QFile::exists(o + expected)) << expected.toStdString();
    }
    // Nothing appeared beside the destination.
    EXPECT_EQ(QDir(dest.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"out"});
}

TEST_F(RecoveryRun, TargetsTooLongAreRefusedNotShortened)
{
    TBaseElement* longName = disk->Add(root, QString(256, QLatin1Char('n')), Deleted, 1);
    TBaseElement* deep = root;
    for (int level = 0; level < 20; ++level)
        deep = disk->Add(deep, QString(240, QLatin1Char('d')), Folder | Deleted);
    TBaseElement* deepFile = disk->Add(deep, QStringLiteral("deep.txt"), Deleted, 1);
    fill();
    tree.UncheckAll();
    for (TStateTree::NodeId node = 0; node < tree.Count(); ++node) {
        if (tree.Data(node) == longName || tree.Data(node) == deepFile)
            tree.SetStateIndex(node, 2);
    }
    ASSERT_TRUE(run());
    EXPECT_EQ(counters.FailedFiles, 2);
    EXPECT_EQ(counters.ProcessedFiles, 0);
    EXPECT_EQ(engine.Calls.FileRecovery, 0);
    const QStringList refused = sink.log.filter(QStringLiteral("Can't recover file: "));
    ASSERT_EQ(refused.size(), 2) << sink.log.join(QLatin1Char('\n')).toStdString();
    // Folders come before files: the deep file first.
    EXPECT_TRUE(refused[1].endsWith(QStringLiteral("(a name in the path is longer than 255 bytes)")))
        << refused[1].toStdString();
    EXPECT_TRUE(refused[0].contains(QStringLiteral("/deep.txt (the path is longer than")))
        << refused[0].right(120).toStdString();
    // Nothing was written anywhere under a shortened name.
    QDirIterator files(dest.path(), QDir::Files, QDirIterator::Subdirectories);
    EXPECT_FALSE(files.hasNext());
}

TEST_F(RecoveryRun, DriveLetterAndShareDestinationsAreRefused)
{
    fill();
    tree.CheckAll();
    for (const QString& to :
         {QStringLiteral("C:\\Recovered Files\\"), QStringLiteral("\\\\server\\share\\x")}) {
        sink.log.clear();
        EXPECT_FALSE(run(TRecoveryRun::TOverwrite::Ask, to));
        const QString problem = TRecoveryRun::DestinationFormProblem(to);
        ASSERT_FALSE(problem.isEmpty());
        EXPECT_EQ(sink.log, (QStringList{QStringLiteral("Recovery started."), problem,
                                         QStringLiteral("Recovery encountered fatal error.")}));
        ASSERT_FALSE(prompt.asked().isEmpty());
        EXPECT_EQ(prompt.asked().last().text, problem);
    }
    EXPECT_EQ(engine.Calls.FileRecovery, 0);
    EXPECT_EQ(counters.ProcessedFiles, 0);
    // Full POSIX paths, and names that only look alike, are fine.
    EXPECT_TRUE(TRecoveryRun::DestinationFormProblem(QStringLiteral("/home/C:\\x")).isEmpty());
    EXPECT_TRUE(TRecoveryRun::DestinationFormProblem(QStringLiteral("Cx:/")).isEmpty());
    EXPECT_FALSE(TRecoveryRun::DestinationFormProblem(QStringLiteral("c:")).isEmpty());
}

namespace {
int g_refusedMakes = 0;
int readOnlyMkdir(int, const char*, mode_t)
{
    ++g_refusedMakes;
    errno = EROFS;
    return -1;
}
} // namespace

// A file whose folder cannot be made is failed with the folder's error and never reaches
// the engine; the error is the first one met, not a later open's.
TEST_F(RecoveryRun, FilesOfAFolderThatCannotBeMadeFailWithItsError)
{
    fill();
    tree.CheckAll();
    const TTargetFolders::TMakeFolder saved = TTargetFolders::MakeFolder;
    TTargetFolders::MakeFolder = &readOnlyMkdir;
    const bool ran = run();
    TTargetFolders::MakeFolder = saved;
    ASSERT_TRUE(ran);
    EXPECT_GT(g_refusedMakes, 0);
    EXPECT_EQ(engine.Calls.FileRecovery, 0);
    EXPECT_EQ(counters.FailedFiles, 4);
    EXPECT_EQ(counters.ProcessedFiles, 0);
    const QStringList failed = sink.log.filter(QStringLiteral("Can't recover file: "));
    ASSERT_EQ(failed.size(), 4);
    for (const QString& line : failed)
        EXPECT_TRUE(line.endsWith(QStringLiteral(": Read-only file system)"))) << line.toStdString();

    // A regular file where a folder belongs: that folder's files fail, the others go on.
    sink.log.clear();
    QDir().mkpath(out);
    QFile blocker(out + QStringLiteral("/Docs"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ASSERT_TRUE(run());
    EXPECT_EQ(counters.FailedFiles, 2);
    EXPECT_EQ(counters.ProcessedFiles, 2);
    EXPECT_EQ(engine.Calls.FileRecovery, 2);
    EXPECT_TRUE(sink.log.contains(QStringLiteral("Can't recover file: ") + out +
                                  QStringLiteral("/Docs/a.txt (Cannot open folder ") + out +
                                  QStringLiteral("/Docs: Not a directory)")))
        << sink.log.join(QLatin1Char('\n')).toStdString();
}

// A link planted at a folder's place inside the destination: nothing is written through it.
TEST_F(RecoveryRun, LinksInsideTheDestinationAreNotFollowed)
{
    TTempDir outside;
    fill();
    tree.CheckAll();
    QDir().mkpath(out);
    ASSERT_TRUE(QFile::link(outside.path(), out + QStringLiteral("/Docs")));
    ASSERT_TRUE(run(TRecoveryRun::TOverwrite::Always));
    EXPECT_TRUE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(counters.FailedFiles, 2); // Docs/Old/b.txt and Docs/a.txt
    EXPECT_EQ(counters.ProcessedFiles, 2);
    EXPECT_TRUE(sink.log.contains(QStringLiteral("Can't recover file: ") + out +
                                  QStringLiteral("/Docs/a.txt (") + out +
                                  QStringLiteral("/Docs is a link; nothing is written through it)")))
        << sink.log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QFileInfo(out + QStringLiteral("/Docs")).isSymLink());
}

// A pipe, or any other entry that is not a regular file, is kept and counted as skipped;
// the run neither blocks on it nor hands it to the engine.
TEST_F(RecoveryRun, OnlyRegularFilesReceiveData)
{
    fill();
    tree.UncheckAll();
    tree.SetStateIndex(6, 2); // c.txt
    QDir().mkpath(out);
    const QString target = out + QStringLiteral("/c.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    ASSERT_TRUE(run(TRecoveryRun::TOverwrite::Always));
    EXPECT_EQ(counters.SkippedFiles, 1);
    EXPECT_EQ(counters.ProcessedFiles, 0);
    EXPECT_EQ(engine.Calls.FileRecovery, 0);
    EXPECT_TRUE(sink.log.contains(QStringLiteral("File skipped ") + target +
                                  QStringLiteral(" (not a regular file)")));
    EXPECT_TRUE(prompt.asked().isEmpty());
}

// Entries of one folder whose names become the same, or a deleted and a live file of one
// name, each get a file of their own; only files there before the run are overwritten.
TEST_F(RecoveryRun, NamesTakenWithinTheRunGetNumbered)
{
    TBaseElement* slashed = disk->Add(docs, QStringLiteral("a/b.txt"), Deleted, 1);
    TBaseElement* plain = disk->Add(docs, QStringLiteral("a_b.txt"), 0, 1);
    TBaseElement* again = disk->Add(docs, QStringLiteral("a_b.txt"), Deleted, 1);
    engine.SetCopy(slashed->TrueID, "1");
    engine.SetCopy(plain->TrueID, "2");
    engine.SetCopy(again->TrueID, "3");
    fill();
    const QString o = out + QStringLiteral("/Docs/");
    for (const TRecoveryRun::TOverwrite mode :
         {TRecoveryRun::TOverwrite::Always, TRecoveryRun::TOverwrite::Skip}) {
        QDir(out).removeRecursively();
        QDir().mkpath(o);
        // One of the numbered names exists from before: it is passed over, not overwritten.
        QFile before(o + QStringLiteral("a_b (2).txt"));
        ASSERT_TRUE(before.open(QIODevice::WriteOnly));
        before.write("old");
        before.close();
        sink.log.clear();
        tree.CheckAll();
        ASSERT_TRUE(run(mode));
        EXPECT_EQ(read(o + QStringLiteral("a_b.txt")), "1");
        EXPECT_EQ(read(o + QStringLiteral("a_b (2).txt")), "old");
        EXPECT_EQ(read(o + QStringLiteral("a_b (3).txt")), "2");
        EXPECT_EQ(read(o + QStringLiteral("a_b (4).txt")), "3");
        EXPECT_TRUE(sink.log.contains(QStringLiteral("Name already used in this run, recovering as: ") + o +
                                      QStringLiteral("a_b (3).txt")));
        EXPECT_EQ(counters.SkippedFiles, 0);
        // What is counted is what is on disk.
        int onDisk = 0;
        for (QDirIterator files(out, QDir::Files, QDirIterator::Subdirectories); files.hasNext();
             files.next())
            ++onDisk;
        EXPECT_EQ(counters.ProcessedFiles + 1, onDisk);
        EXPECT_EQ(counters.ProcessedFiles, 7);
    }
}

TEST(TargetName, NumberedNames)
{
    EXPECT_EQ(TTargetName::Numbered(QStringLiteral("b.txt"), 2), QStringLiteral("b (2).txt"));
    EXPECT_EQ(TTargetName::Numbered(QStringLiteral("archive.tar.gz"), 3),
              QStringLiteral("archive.tar (3).gz"));
    EXPECT_EQ(TTargetName::Numbered(QStringLiteral("README"), 2), QStringLiteral("README (2)"));
    EXPECT_EQ(TTargetName::Numbered(QStringLiteral(".profile"), 2), QStringLiteral(".profile (2)"));
}

TEST(TargetName, SafeLevels)
{
    EXPECT_EQ(TTargetName::SafeLevel(QString()), QStringLiteral("_"));
    EXPECT_EQ(TTargetName::SafeLevel(QStringLiteral(".")), QStringLiteral("_"));
    EXPECT_EQ(TTargetName::SafeLevel(QStringLiteral("..")), QStringLiteral("__"));
    EXPECT_EQ(TTargetName::SafeLevel(QStringLiteral("...")), QStringLiteral("..."));
    EXPECT_EQ(TTargetName::SafeLevel(QStringLiteral(".hidden")), QStringLiteral(".hidden"));
    EXPECT_EQ(TTargetName::SafeLevel(QString::fromUtf16(u"a\0b\x7f\x85"
                                                        u"c",
                                                        6)),
              QStringLiteral("a_b__c"));
    EXPECT_EQ(TTargetName::SafeLevel(QString::fromUtf16(u"x\xD800y")), QStringLiteral("x_y"));
    EXPECT_EQ(TTargetName::SafeLevel(QString::fromUtf16(u"\U0001F600.txt")),
              QString::fromUtf16(u"\U0001F600.txt"));
    EXPECT_EQ(TTargetName::SafeLevel(QStringLiteral("a:b?.txt")), QStringLiteral("a:b?.txt"));
    EXPECT_EQ(TTargetName::SafeLevel(QStringLiteral("a:b?<>|\"*.txt. "), TTargetName::Rules::Windows),
              QStringLiteral("a_b______.txt__"));
}

namespace {

// The records of a CSV text (RFC 4180: quoted fields may hold commas, quotes and line ends).
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                field += text[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            record << field;
            field.clear();
            records << record;
            record.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return records;
}

QString sha256Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

} // namespace

// An intact, a partly overwritten and a mismatching deleted file: the damaged two are
// copied but counted and logged apart, and the manifest tells each file's fate.
TEST_F(RecoveryRun, DamagedCopiesAreCountedApartAndTheManifestTellsEachFile)
{
    const QByteArray png = QByteArray("\x89PNG\r\n\x1A\n") + QByteArray(100, 'p');
    TBaseElement* good = disk->Add(root, QStringLiteral("good.png"), Deleted, png.size());
    TBaseElement* half = disk->Add(root, QStringLiteral("half.png"), Deleted, png.size());
    TBaseElement* fake = disk->Add(root, QStringLiteral("fake, \"really\".jpg"), Deleted, png.size());
    good->Recovery = fake->Recovery = TRecoverability::Rating::Intact;
    half->Recovery = TRecoverability::Rating::Partial;
    half->RecoveryPercent = 30;
    for (TBaseElement* e : {good, half, fake})
        engine.SetCopy(e->TrueID, png);
    engine.SetCopy(c->TrueID, "cc", VANTREL_RECOVERY_READ_ERROR);
    fill();
    tree.CheckAll();
    TRecoveryRun recovery(sink);
    recovery.SetManifest(true);
    ASSERT_TRUE(recovery.StartRecovery(tree, out, 'D', DriveId));
    const TRecoveryCounters& n = recovery.Counters();
    EXPECT_EQ(n.ProcessedFiles, 6);
    EXPECT_EQ(n.DamagedFiles, 2);
    EXPECT_EQ(n.DamagedSize, 2 * png.size());
    EXPECT_EQ(n.CleanFiles(), 4);
    EXPECT_EQ(n.FailedFiles, 1);
    EXPECT_EQ(fake->Recovery, TRecoverability::Rating::Mismatch);

    const QString o = out + QLatin1Char('/');
    EXPECT_TRUE(sink.log.contains(QStringLiteral("Recovering file: ") + o + QStringLiteral("good.png")));
    EXPECT_TRUE(sink.log.contains(QStringLiteral("Recovered, damaged: ") + o +
                                  QStringLiteral("half.png (Partly overwritten: 30 % of its clusters now "
                                                 "belong to other data)")))
        << sink.log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(
        sink.log.contains(QStringLiteral("Recovered, damaged: ") + o + fake->Name + QStringLiteral(" (") +
                          TRecoverability::Text(TRecoverability::Rating::Mismatch, 0) + QStringLiteral(")")));
    EXPECT_EQ(sink.log.mid(sink.log.size() - 2),
              (QStringList{QStringLiteral("Manifest written: ") + o + QStringLiteral("recovery-manifest.csv"),
                           QStringLiteral("Recovery finished.")}));

    ASSERT_EQ(recovery.ManifestPath(), o + QStringLiteral("recovery-manifest.csv"));
    const QByteArray csv = read(recovery.ManifestPath());
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(csv));
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[0],
              (QStringList{"source", "target", "size", "written", "rating", "sha256", "result", "reason"}));
    auto row = [&](const QString& source) {
        for (const QStringList& r : rows) {
            if (r.value(0) == source)
                return r;
        }
        return QStringList();
    };
    const QString pngHash = sha256Hex(png);
    EXPECT_EQ(row(QStringLiteral("D:\\good.png")), (QStringList{"D:\\good.png", o + "good.png", "108", "108",
                                                                "intact", pngHash, "recovered", ""}));
    EXPECT_EQ(row(QStringLiteral("D:\\half.png")).mid(4, 3), (QStringList{"partial", pngHash, "damaged"}));
    const QStringList mismatch = row(QStringLiteral("D:\\") + fake->Name);
    EXPECT_EQ(mismatch.value(1), o + fake->Name);
    EXPECT_EQ(mismatch.mid(4, 3), (QStringList{"mismatch", pngHash, "damaged"}));
    EXPECT_EQ(row(QStringLiteral("D:\\c.txt")).mid(3),
              (QStringList{"", "", "", "failed", "The source could not be read."}));
    EXPECT_EQ(row(QStringLiteral("D:\\Docs\\a.txt")).mid(3),
              (QStringList{"5", "", sha256Hex("aaaaa"), "recovered", ""}));

    // A second run keeps the first manifest and numbers its own; files it keeps are skipped.
    sink.log.clear();
    recovery.StartRecovery(tree, out, 'D', DriveId);
    EXPECT_EQ(recovery.ManifestPath(), o + QStringLiteral("recovery-manifest-2.csv"));
    EXPECT_EQ(read(o + QStringLiteral("recovery-manifest.csv")), csv);
    EXPECT_EQ(parseCsv(QString::fromUtf8(read(recovery.ManifestPath())))[1].value(6),
              QStringLiteral("skipped"));
}

// Files a stop leaves out are in the manifest as cancelled.
TEST_F(RecoveryRun, AStoppedRunStillWritesItsManifest)
{
    fill();
    tree.CheckAll();
    sink.stop = [this] { return sink.labels.size() >= 1; };
    TRecoveryRun recovery(sink);
    recovery.SetManifest(true);
    EXPECT_FALSE(recovery.StartRecovery(tree, out, 'D', DriveId));
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(read(recovery.ManifestPath())));
    ASSERT_EQ(rows.size(), 5);
    QStringList results;
    for (qsizetype i = 1; i < rows.size(); ++i)
        results << rows[i].value(6);
    EXPECT_EQ(results, (QStringList{"recovered", "cancelled", "cancelled", "cancelled"}));
    EXPECT_EQ(rows[2].value(1), QString()) << "a file never reached has no target";
}

TEST_F(RecoveryRun, TheLogFileRecordsTheIncludedKindsOfLines)
{
    engine.SetCopy(a->TrueID, "aaaaa", VANTREL_RECOVERY_READ_ERROR);
    fill();
    tree.CheckAll();
    TProgramLog::Options options;
    options.Path = dest.path() + QStringLiteral("/logs/brevant.log");
    options.Status = false;
    TProgramLog log(options);
    ASSERT_TRUE(run(TRecoveryRun::TOverwrite::Ask, QString(), &log));
    QStringList lines = QString::fromUtf8(read(options.Path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << qPrintable(lines.join(QLatin1Char('\n')));
    EXPECT_TRUE(
        lines[0].contains(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  "
                                                            "Can't recover file: .*Docs/a.txt"))))
        << qPrintable(lines[0]);

    // A log that cannot be written is given up with a line in the run's log; the run goes on.
    options.Path = dest.path() + QStringLiteral("/fifo.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(options.Path).constData(), 0600), 0);
    options.Status = true;
    TProgramLog refused(options);
    sink.log.clear();
    ASSERT_TRUE(run(TRecoveryRun::TOverwrite::Always, QString(), &refused));
    EXPECT_EQ(sink.log.filter(QStringLiteral("Can't write the log file ") + options.Path).size(), 1);
    EXPECT_EQ(counters.ProcessedFiles, 3);
}
