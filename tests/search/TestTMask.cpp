#include "search/TMask.h"

#include <gtest/gtest.h>

namespace {

struct Case
{
    const char* mask;
    const char* name;
    bool matches;
};

} // namespace

TEST(TMask, MatchesStarsQuestionMarksAndLiterals)
{
    const Case cases[] = {
        {"*.txt", "README.TXT", true},
        {"*.txt", "notes.txt", true},
        {"*.txt", "notes.txt.bak", false},
        {"*.txt", ".txt", true},
        {"?", "a", true},
        {"?", "", false},
        {"?", "ab", false},
        {"a*?", "a", true},
        {"*", "", true},
        {"*", "anything at all", true},
        {"", "", true},
        {"", "x", false},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbYcZ", false},
        {"a*b*c", "abcbc", true},
        {"*a*a*a*", "banana", true},
        {"*a*a*a*a*", "banana", false},
        {"report", "REPORT", true},
        {"rep?rt.doc", "report.doc", true},
        {"*.", "name.", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.mask)), c.matches)
            << c.mask << " against " << c.name;
}

TEST(TMask, SetsRangesAndNegation)
{
    const Case cases[] = {
        {"[a-c]*", "Beta", true},    {"[a-c]*", "beta", true},     {"[!a-c]*", "Delta", true},
        {"[!a-c]*", "Alpha", false}, {"[c-a]x", "cx", true},       {"[c-a]x", "ax", false},
        {"[c-a]x", "bx", false},     {"[abc]", "B", true},         {"[!abc]", "d", true},
        {"[!abc]", "", false},       {"x[0-9][0-9]", "x42", true}, {"x[0-9][0-9]", "x4a", false},
        {"[a-c-e]", "e", true},      {"*[xyz]", "abcz", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.mask)), c.matches)
            << c.mask << " against " << c.name;
}

TEST(TMask, CaseFoldsOnlyAsciiLetters)
{
    EXPECT_TRUE(MatchesMask(QStringLiteral("ÉTÉ.TXT"), QStringLiteral("été.txt")) == false);
    EXPECT_TRUE(MatchesMask(QStringLiteral("été.TXT"), QStringLiteral("été.txt")));
    EXPECT_TRUE(MatchesMask(QStringLiteral("日本語.txt"), QStringLiteral("*.TXT")));
    // A character outside the basic plane is one character for "?".
    EXPECT_TRUE(MatchesMask(QStringLiteral("\U0001F600.png"), QStringLiteral("?.png")));
    EXPECT_TRUE(MatchesMask(QStringLiteral("a\U0001F600b"), QStringLiteral("*\U0001F600*")));
    EXPECT_FALSE(MatchesMask(QStringLiteral("ab"), QStringLiteral("*\U0001F600*")));
}

TEST(TMask, InvalidMasksReportTheirPosition)
{
    const std::pair<const char*, int> cases[] = {
        {"[]", 2}, {"[abc", 5}, {"[-a]", 2}, {"[!]", 3}, {"x[a-", 4}, {"[a-]", 5},
    };
    for (const auto& [mask, position] : cases) {
        try {
            TMask m{QString::fromUtf8(mask)};
            ADD_FAILURE() << mask << " compiled";
        } catch (const EMaskException& e) {
            EXPECT_EQ(e.Position(), position) << mask;
            EXPECT_EQ(e.Message(), QStringLiteral("'%1' is an invalid mask at (%2)").arg(mask).arg(position));
        }
    }
}

TEST(TMask, LimitsTheNumberOfStarPositions)
{
    QString thirty;
    for (int i = 0; i < TMask::MaxCards; ++i)
        thirty += QStringLiteral("*a");
    EXPECT_NO_THROW(TMask{thirty});
    EXPECT_TRUE(TMask(thirty).Matches(QString(30, QLatin1Char('a'))));
    // A trailing star marks the end-of-name state too: the thirty-first.
    EXPECT_THROW(TMask{thirty + QStringLiteral("*")}, EMaskException);
    // Stars in a row count once.
    EXPECT_NO_THROW(TMask{QStringLiteral("***a")});
}

TEST(TMask, ManyStarsAgainstALongNameAnswerWithoutTryingEverySplit)
{
    // Every split of 200 letters among 29 stars is more than could be tried in a lifetime;
    // the answer comes from resuming only the last star.
    QString stars;
    for (int i = 0; i < TMask::MaxCards - 1; ++i)
        stars += QStringLiteral("*a");
    const QString letters(200, QLatin1Char('a'));
    EXPECT_FALSE(TMask(stars + QStringLiteral("b")).Matches(letters));
    EXPECT_TRUE(TMask(stars + QStringLiteral("b")).Matches(letters + QStringLiteral("b")));
    // The last star has to give back what it first took, within one later segment.
    EXPECT_TRUE(MatchesMask(QStringLiteral("xabyabac"), QStringLiteral("*ab*ac")));
    EXPECT_TRUE(MatchesMask(QStringLiteral("aab[c]d"), QStringLiteral("*a?[[]c]*d")));
    EXPECT_FALSE(MatchesMask(QStringLiteral("abcabd"), QStringLiteral("*abc*abc")));
}

TEST(TMask, CompiledMaskIsReusable)
{
    const TMask mask(QStringLiteral("*.jp[e]g"));
    EXPECT_TRUE(mask.Matches(QStringLiteral("holiday.JPEG")));
    EXPECT_FALSE(mask.Matches(QStringLiteral("holiday.jpg")));
    EXPECT_TRUE(mask.Matches(QStringLiteral("x.jpeg")));
}
