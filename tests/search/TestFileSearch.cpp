#include "search/TFileSearch.h"
#include "search/TSearchSink.h"

#include "support/TModelDisk.h"
#include "support/TTestClock.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

namespace {

// Records what a search reports; presses Stop when told to at a given element count.
class TRecordingSink final : public TSearchSink
{
public:
    void AddResult(TBaseElement* element) override { hits.push_back(element); }
    void ShowStatus(const QString& progress, const QString& detail) override
    {
        statuses.push_back(progress);
        last = detail;
    }
    bool TakeStop() override
    {
        ++asked;
        if (stopAt.empty() || asked != stopAt.front())
            return false;
        stopAt.erase(stopAt.begin());
        return true;
    }

    std::vector<TBaseElement*> hits;
    QStringList statuses;
    QString last;
    std::vector<int> stopAt; // the asks that answer true, in order
    int asked = 0;
};

const TDateTime Noon15March = EncodeDateTime(QDate(2024, 3, 15), QTime(12, 0));

class FileSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TBaseElement* root = disk.RootElement;
        docs = disk.Folder(root, QStringLiteral("Docs"), flag_HAS_CHILD_DELETED);
        photo = disk.File(docs, QStringLiteral("photo.jpg"), 1025);
        photo->DateCreated = Noon15March;
        kilo = disk.File(docs, QStringLiteral("kilo.JPG"), 1024);
        kilo->DateCreated = EncodeDateTime(QDate(2024, 4, 1), QTime(12, 0));
        gone = disk.File(docs, QStringLiteral("gone.jpg"), 5000, flag_IS_DELETED);
        gone->DateCreated = EncodeDateTime(QDate(2024, 3, 1), QTime(11, 0));
        oldFolder = disk.Folder(root, QStringLiteral("Old.jpg"), flag_IS_DELETED);
    }

    std::vector<TBaseElement*> find(const TSearchCriteria& criteria, QString* failure = nullptr)
    {
        sink = TRecordingSink();
        TFileSearch search(criteria, sink);
        const QString message = search.Run(disk);
        if (failure)
            *failure = message;
        else
            EXPECT_TRUE(message.isEmpty()) << message.toStdString();
        files = search.Files();
        folders = search.Folders();
        return sink.hits;
    }
    static TSearchCriteria mask(const char* text)
    {
        TSearchCriteria c;
        c.Mask = QString::fromLatin1(text);
        return c;
    }

    TModelDisk disk;
    TRecordingSink sink;
    TBaseElement *docs, *photo, *kilo, *gone, *oldFolder;
    int64_t files = 0, folders = 0;
};

using Hits = std::vector<TBaseElement*>;

} // namespace

TEST_F(FileSearch, PassesListEachMatchOnceWithFilesAndFoldersCounted)
{
    // Live pass by id (deleted ones included), then the deleted lists: a deleted match is
    // not listed a second time.
    EXPECT_EQ(find(mask("*.jpg")), (Hits{photo, kilo, gone, oldFolder}));
    EXPECT_EQ(files, 3);
    EXPECT_EQ(folders, 1);
    EXPECT_EQ(sink.statuses.back(), QString());
    EXPECT_EQ(sink.last, QStringLiteral("Found 3 files and 1 folders."));

    EXPECT_EQ(find(mask("*")).size(), 5u);
    EXPECT_TRUE(find(mask("")).empty()) << "an empty mask alone matches nothing";

    // Only deleted: the live pass is skipped; the lists come in their order.
    TSearchCriteria deleted = mask("*");
    deleted.OnlyDeleted = true;
    EXPECT_EQ(find(deleted), (Hits{gone, oldFolder}));
}

TEST_F(FileSearch, IdReplacesTheNameAndBadInputEndsTheSearchBeforeAnyResult)
{
    TSearchCriteria byId = mask("nothing-like-it");
    byId.IdText = QStringLiteral("  %1 ").arg(kilo->TrueID);
    EXPECT_EQ(find(byId), (Hits{kilo}));
    // A negative id names no element: it must not fall back to the name.
    byId.Mask = QStringLiteral("*");
    byId.IdText = QStringLiteral("-5");
    EXPECT_TRUE(find(byId).empty());

    QString failure;
    byId.IdText = QStringLiteral("12x");
    EXPECT_TRUE(find(byId, &failure).empty());
    EXPECT_EQ(failure, QStringLiteral("'12x' is not a valid integer value"));
    byId.IdText = QStringLiteral("4294967296"); // beyond 32 bits
    find(byId, &failure);
    EXPECT_EQ(failure, QStringLiteral("'4294967296' is not a valid integer value"));

    EXPECT_TRUE(find(mask("[abc"), &failure).empty());
    EXPECT_EQ(failure, QStringLiteral("'[abc' is an invalid mask at (5)"));
    EXPECT_EQ(TFileSearch::InputProblem(mask("[abc")), failure);
    byId.IdText = QStringLiteral("12x");
    EXPECT_EQ(TFileSearch::InputProblem(byId), QStringLiteral("'12x' is not a valid integer value"));
    byId.IdText = QStringLiteral("-5");
    EXPECT_TRUE(TFileSearch::InputProblem(byId).isEmpty());
}

TEST_F(FileSearch, DateAgeAndSizeRules)
{
    TSearchCriteria march = mask("*.jpg");
    march.DateBetween = true;
    march.DateStart = EncodeDateTime(QDate(2024, 3, 1), QTime(12, 0));
    march.DateEnd = EncodeDateTime(QDate(2024, 3, 31), QTime(12, 0));
    // gone.jpg was created at 11:00 on 1 March, before the start's time of day.
    EXPECT_EQ(find(march), (Hits{photo}));

    const TFileSearch::TNow::Scope now([] { return EncodeDateTime(QDate(2024, 3, 29), QTime(12, 0)); });
    TSearchCriteria age = mask("*.jpg");
    age.Age = true;
    age.AgeValue = 2;
    age.AgeUnit = TSearchCriteria::auWeeks; // from 15 March noon on
    EXPECT_EQ(find(age), (Hits{photo, kilo}));
    age.AgeUnit = TSearchCriteria::auNone;
    EXPECT_EQ(find(age).size(), 4u) << "no unit, no age test";
    // Calendar months: 29 March less one month is 29 February, so 1 March stays.
    age.AgeValue = 1;
    age.AgeUnit = TSearchCriteria::auMonths;
    EXPECT_EQ(find(age), (Hits{photo, kilo, gone}));

    TSearchCriteria size = mask("*.jpg");
    size.Size = true;
    size.SizeSign = TSearchCriteria::ssGreater;
    size.SizeValue = 1;
    size.SizeUnit = TSearchCriteria::suKBytes;
    EXPECT_EQ(find(size), (Hits{photo, gone}));
    size.SizeSign = TSearchCriteria::ssLess;
    EXPECT_EQ(find(size), (Hits{oldFolder}));
    size.SizeSign = TSearchCriteria::ssEqual;
    size.SizeUnit = TSearchCriteria::suNone; // x 0: equal to 0
    EXPECT_EQ(find(size), (Hits{oldFolder}));
    size.SizeSign = TSearchCriteria::ssNone;
    EXPECT_EQ(find(size).size(), 4u) << "no sign, no size test";
    EXPECT_EQ(TFileSearch::SizeThreshold(int64_t(1) << 60, TSearchCriteria::suMBytes),
              std::numeric_limits<int64_t>::max());
}

TEST_F(FileSearch, StopEndsOnePassAndTheNextPassesStillRun)
{
    // The first ask of the live pass answers Stop: the deleted passes then test the
    // deleted elements the live pass never reached.
    sink.stopAt = {1};
    TFileSearch search(mask("*.jpg"), sink);
    EXPECT_TRUE(search.Run(disk).isEmpty());
    EXPECT_EQ(sink.hits, (Hits{gone, oldFolder}));
}

TEST_F(FileSearch, ProgressNamesThePassAndTheElementBeingTested)
{
    const TEveryTurnClock clock;
    find(mask("*.jpg"));
    ASSERT_GE(sink.statuses.size(), 3u);
    EXPECT_TRUE(sink.statuses.contains(QStringLiteral("Progress: 0% (live)")));
    EXPECT_TRUE(sink.statuses.contains(QStringLiteral("Progress: 0% (deleted files)")));
    EXPECT_TRUE(sink.statuses.contains(QStringLiteral("Progress: 0%")));
}
