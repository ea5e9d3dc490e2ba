#include "mainwindow/TTipList.h"

#include <gtest/gtest.h>

TEST(TipList, LinesGiveTheTipAndItsHelpPage)
{
    const TTipList::TTip plain = TTipList::ParseLine(QStringLiteral("Sort by clicking a header."));
    EXPECT_EQ(plain.Text, QStringLiteral("Sort by clicking a header."));
    EXPECT_TRUE(plain.MoreInfoPage.isEmpty());

    const TTipList::TTip paged = TTipList::ParseLine(
        QStringLiteral("/files/basics.quickstart.html Analyse the disk first. Then browse."));
    EXPECT_EQ(paged.MoreInfoPage, QStringLiteral("/files/basics.quickstart.html"));
    EXPECT_EQ(paged.Text, QStringLiteral("Analyse the disk first. Then browse."));

    // A page path with nothing after it is a text without a page.
    const TTipList::TTip bare = TTipList::ParseLine(QStringLiteral("/files/basics.quickstart.html"));
    EXPECT_EQ(bare.Text, QStringLiteral("/files/basics.quickstart.html"));
    EXPECT_TRUE(bare.MoreInfoPage.isEmpty());
}

TEST(TipList, NextAndPreviousWrapAround)
{
    const TTipList tips({"a", "b", "c", "d", "e"});
    EXPECT_EQ(tips.Next(4), 0);
    EXPECT_EQ(tips.Next(1), 2);
    EXPECT_EQ(tips.Previous(0), 4);
    EXPECT_EQ(tips.Previous(3), 2);
    // A stored index past the end: the next one wraps, and an invalid one shows the first.
    EXPECT_EQ(tips.Next(17), 0);
    EXPECT_EQ(tips.Valid(16), 0);
    EXPECT_EQ(tips.Valid(-3), 0);
    EXPECT_EQ(tips.At(1).Text, QStringLiteral("b"));
    EXPECT_TRUE(tips.At(5).Text.isEmpty());
}

TEST(TipList, AnEmptyListStaysAtZero)
{
    const TTipList none;
    EXPECT_EQ(none.Next(0), 0);
    EXPECT_EQ(none.Previous(0), 0);
    EXPECT_EQ(none.Valid(0), 0);
    EXPECT_TRUE(none.At(0).Text.isEmpty());
}
