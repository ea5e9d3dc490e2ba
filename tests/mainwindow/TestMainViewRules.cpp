#include "mainwindow/TMainViewRules.h"

#include "engine/VantrelLib.h"
#include "util/Utils.h"

#include <QLocale>

#include <gtest/gtest.h>

using R = TMainViewRules;

namespace {

R::TState stateOf(bool l, bool t, bool d, bool back = false, bool forward = false, bool node = false,
                  bool parent = false, bool topRoot = false)
{
    R::TStateInput in;
    in.ListFocusedOnElement = l;
    in.TreeFocusedOnElement = t;
    in.DriveOpen = d;
    in.BackAvailable = back;
    in.ForwardAvailable = forward;
    in.TreeNodeHasElement = node;
    in.ElementHasParent = parent;
    in.ParentIsTopRoot = topRoot;
    return R::ComputeState(in);
}

} // namespace

TEST(MainViewRules, CheckStateTable)
{
    // Nothing focused, no drive: only the drive-independent commands remain.
    R::TState s = stateOf(false, false, false, true, true, true, true);
    EXPECT_FALSE(s.Recover || s.Properties || s.View || s.DriveCommands || s.Back || s.Forward || s.Up);

    // The list focused on an element: recover, properties and the view commands.
    s = stateOf(true, false, true);
    EXPECT_TRUE(s.Recover && s.Properties && s.View && s.DriveCommands);

    // The tree focused on an element: recover and properties, but no file viewing.
    s = stateOf(false, true, true);
    EXPECT_TRUE(s.Recover && s.Properties);
    EXPECT_FALSE(s.View);

    // History buttons follow their lists, only with a drive.
    s = stateOf(false, false, true, true, false);
    EXPECT_TRUE(s.Back);
    EXPECT_FALSE(s.Forward);
    s = stateOf(false, false, true, false, true);
    EXPECT_FALSE(s.Back);
    EXPECT_TRUE(s.Forward);

    // Up needs a selected element with a parent that is not the top root.
    EXPECT_TRUE(stateOf(false, false, true, false, false, true, true, false).Up);
    EXPECT_FALSE(stateOf(false, false, true, false, false, true, false, false).Up);
    EXPECT_FALSE(stateOf(false, false, true, false, false, true, true, true).Up);
    EXPECT_FALSE(stateOf(false, false, true, false, false, false, false, false).Up);
    EXPECT_FALSE(stateOf(false, false, false, false, false, true, true, false).Up);
}

TEST(MainViewRules, ColumnClicksFlipOrderAndNewColumnsStartAscending)
{
    int last = 0, column = 0;
    bool az = true;
    R::ApplyColumnClick(0, last, column, az); // Name again: Z..A
    EXPECT_FALSE(az);
    R::ApplyColumnClick(0, last, column, az); // and back to A..Z
    EXPECT_TRUE(az);
    R::ApplyColumnClick(0, last, column, az);
    R::ApplyColumnClick(1, last, column, az); // Size after a Z..A Name: A..Z by size
    EXPECT_TRUE(az);
    EXPECT_EQ(column, 1);
    EXPECT_EQ(last, 1);

    // The A..Z command: the order is set to Z..A and a click on the last column inverts it.
    az = false;
    R::ApplyColumnClick(last, last, column, az);
    EXPECT_TRUE(az);
    // The Z..A command the other way round.
    az = true;
    R::ApplyColumnClick(last, last, column, az);
    EXPECT_FALSE(az);

    // With no marked column the first click starts ascending.
    last = -1;
    az = false;
    R::ApplyColumnClick(3, last, column, az);
    EXPECT_TRUE(az);
    EXPECT_EQ(last, 3);
}

TEST(MainViewRules, ImagesByFlags)
{
    EXPECT_EQ(R::ListImageIndex(flag_IS_DIRECTORY), 3);
    EXPECT_EQ(R::ListImageIndex(flag_IS_DIRECTORY | flag_IS_DELETED), 5);
    EXPECT_EQ(R::ListImageIndex(flag_IS_DIRECTORY | flag_HAS_CHILD_DELETED), 7);
    // Deleted wins over "contains deleted" in the list.
    EXPECT_EQ(R::ListImageIndex(flag_IS_DIRECTORY | flag_IS_DELETED | flag_HAS_CHILD_DELETED), 5);
    EXPECT_EQ(R::ListImageIndex(0), 9);
    EXPECT_EQ(R::ListImageIndex(flag_IS_DELETED), 10);

    EXPECT_EQ(R::TreeImageIndex(flag_IS_DIRECTORY), 3);
    EXPECT_EQ(R::TreeSelectedImageIndex(flag_IS_DIRECTORY), 4);
    EXPECT_EQ(R::TreeImageIndex(flag_IS_DIRECTORY | flag_IS_DELETED), 5);
    EXPECT_EQ(R::TreeSelectedImageIndex(flag_IS_DIRECTORY | flag_IS_DELETED), 6);
    EXPECT_EQ(R::TreeImageIndex(flag_IS_DIRECTORY | flag_HAS_CHILD_DELETED), 7);
    EXPECT_EQ(R::TreeSelectedImageIndex(flag_IS_DIRECTORY | flag_HAS_CHILD_DELETED), 8);
}

TEST(MainViewRules, DeletedOnlyFilterAndViewStyleCycle)
{
    EXPECT_TRUE(R::PassesFilter(0, false));
    EXPECT_FALSE(R::PassesFilter(0, true));
    EXPECT_FALSE(R::PassesFilter(flag_IS_DIRECTORY, true));
    EXPECT_TRUE(R::PassesFilter(flag_IS_DELETED, true));
    EXPECT_TRUE(R::PassesFilter(flag_IS_DIRECTORY | flag_HAS_CHILD_DELETED, true));

    int style = 3;
    for (int i = 0; i < 4; ++i)
        style = R::NextViewStyle(style);
    EXPECT_EQ(style, 3);
    EXPECT_EQ(R::NextViewStyle(3), 0);
    EXPECT_EQ(R::NextViewStyle(0), 1);
}

TEST(MainViewRules, DateTextsAndHints)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // 2020-01-02 is day 43832; midnight shows no time.
    EXPECT_EQ(R::DateTimeText(43832.0), QStringLiteral("1/2/20"));
    const QString withTime = R::DateTimeText(43832.5);
    EXPECT_TRUE(withTime.startsWith(QStringLiteral("1/2/20 12:00:00"))) << withTime.toStdString();
    EXPECT_FALSE(withTime.contains(QStringLiteral("UTC")));
    EXPECT_TRUE(R::DateTimeText(std::numeric_limits<double>::quiet_NaN()).isEmpty());
    // No time recorded: the FAT root's 0 and the file time 0.
    EXPECT_TRUE(R::DateTimeText(0).isEmpty());
    EXPECT_TRUE(R::DateTimeText(ConvertFileTimeToDateTime(0)).isEmpty());
    QLocale::setDefault(QLocale::system());

    EXPECT_EQ(R::LongHint(QStringLiteral("Exit|Quits the application")),
              QStringLiteral("Quits the application"));
    EXPECT_EQ(R::LongHint(QStringLiteral("Homepage")), QStringLiteral("Homepage"));
    EXPECT_EQ(R::LongHint(QStringLiteral("|Press F1 for help")), QStringLiteral("Press F1 for help"));
}
