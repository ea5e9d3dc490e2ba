#include "disk/TBaseElement.h"
#include "disk/TMoveHistory.h"

#include <gtest/gtest.h>

TEST(MoveHistory, BackAndForwardRetraceTheFoldersShown)
{
    TBaseElement a, b, c, d;
    TMoveHistory history;
    EXPECT_EQ(history.MoveBack(), nullptr);
    EXPECT_EQ(history.MoveForward(), nullptr);

    history.NewFolder(&a);
    EXPECT_EQ(history.CurElement, &a);
    EXPECT_TRUE(history.BackElements.IsEmpty());
    history.NewFolder(&b);
    history.NewFolder(&c);
    ASSERT_EQ(history.BackElements.Count(), 2);
    EXPECT_EQ(history.BackElements[0], &a);
    EXPECT_EQ(history.BackElements[1], &b);

    EXPECT_EQ(history.MoveBack(), &b);
    EXPECT_EQ(history.MoveBack(), &a);
    EXPECT_EQ(history.MoveBack(), &a); // nothing further back
    ASSERT_EQ(history.ForwardElements.Count(), 2);
    EXPECT_EQ(history.ForwardElements.Last(), &b);
    EXPECT_EQ(history.MoveForward(), &b);
    EXPECT_EQ(history.MoveForward(), &c);
    EXPECT_EQ(history.MoveForward(), &c); // nothing further forward
    EXPECT_EQ(history.BackElements.Count(), 2);

    // Opening another folder drops the forward part.
    history.MoveBack();
    history.NewFolder(&d);
    EXPECT_TRUE(history.ForwardElements.IsEmpty());
    EXPECT_EQ(history.BackElements.Last(), &b);
    EXPECT_EQ(history.MoveBack(), &b);
}

TEST(MoveHistory, RecordingTheFolderShownAddsNothing)
{
    TBaseElement a, b, c;
    TMoveHistory history;
    history.NewFolder(&a);
    history.NewFolder(&a); // click and selection change of one node
    EXPECT_TRUE(history.BackElements.IsEmpty());
    history.NewFolder(&b);
    history.NewFolder(&c);
    history.MoveBack(); // shows b; the tree reports b as newly selected
    history.NewFolder(&b);
    EXPECT_EQ(history.ForwardElements.Count(), 1);
    EXPECT_EQ(history.MoveForward(), &c);

    // A folder seen before, but not the current one, is recorded again.
    history.NewFolder(&a);
    history.NewFolder(&b);
    history.NewFolder(&a);
    EXPECT_EQ(history.CurElement, &a);
    EXPECT_EQ(history.BackElements.Count(), 5);
    history.NewFolder(nullptr);
    EXPECT_EQ(history.CurElement, &a);
}
