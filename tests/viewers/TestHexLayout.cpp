#include "viewers/THexLayout.h"

#include "viewers/TMemoryByteSource.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <qnamespace.h>

namespace {

constexpr int CellWidth = 8;
constexpr int RowHeight = 16;

// A layout of cells x rows character cells (plus a partly visible row when asked).
THexLayout makeLayout(int64_t dataSize, int cells = 74, int rows = 10, int extraPixels = 0)
{
    THexLayout layout;
    layout.SetItemSize(CellWidth, RowHeight);
    layout.SetClientSize(cells * CellWidth, rows * RowHeight + extraPixels);
    layout.SetDataSize(dataSize);
    layout.SetActive(true);
    return layout;
}

} // namespace

TEST(HexLayoutTest, BytesPerLineFollowTheCellsAndStayWithinOneToSixteen)
{
    EXPECT_EQ(makeLayout(100, 10 + 16 * 4).BytesPerLine(), 16);
    EXPECT_EQ(makeLayout(100, 200).BytesPerLine(), 16);
    EXPECT_EQ(makeLayout(100, 10 + 16 * 4 - 1).BytesPerLine(), 15);
    EXPECT_EQ(makeLayout(100, 0).BytesPerLine(), 1);
    EXPECT_EQ(makeLayout(100, 3).BytesPerLine(), 1);

    THexLayout layout = makeLayout(100, 10 + 16 * 3);
    EXPECT_EQ(layout.BytesPerLine(), 12);
    layout.SetShowCharacters(false); // three cells a byte
    EXPECT_EQ(layout.BytesPerLine(), 16);
    layout.SetShowAddress(false);
    layout.SetShowCharacters(true);
    EXPECT_EQ(layout.BytesPerLine(), 14);
}

TEST(HexLayoutTest, ShortLastLineHasOnePairWithoutSeparator)
{
    const QByteArray data = QByteArray("0123456789abcdef") + char(0x0A);
    const TMemoryByteSource source(data.constData(), int32_t(data.size()));
    const THexLayout layout = makeLayout(source.size());
    ASSERT_EQ(layout.LineCount(), 2);
    EXPECT_EQ(layout.LineData(0, source).size(), 16 * 3 - 1);
    EXPECT_EQ(layout.LineData(0, source).left(6), QStringLiteral("30\t31\t"));
    EXPECT_EQ(layout.LineAddr(1), QStringLiteral("00000010:"));
    EXPECT_EQ(layout.LineData(1, source), QStringLiteral("0A"));
    EXPECT_EQ(layout.LineChars(1, source), QString(QChar(0x0A)));
    EXPECT_EQ(layout.LineData(2, source), QString());
}

TEST(HexLayoutTest, AddressesBeyondFourGigabytesGetMoreDigitsAndAWiderColumn)
{
    THexLayout layout = makeLayout(int64_t(1) << 36, 200);
    EXPECT_EQ(layout.AddressCells(), 11);
    EXPECT_EQ(layout.LineAddr(0), QStringLiteral("000000000:"));
    EXPECT_EQ(layout.LineAddr((int64_t(1) << 32) / 16), QStringLiteral("100000000:"));
    // The wider column takes its cell from the bytes.
    layout.SetClientSize((10 + 16 * 4) * CellWidth, 10 * RowHeight);
    EXPECT_EQ(layout.BytesPerLine(), 15);
}

TEST(HexLayoutTest, ScrollBarReachesTheLastLineInTheFirstRowAndNoFurther)
{
    THexLayout layout = makeLayout(100 * 16);
    EXPECT_EQ(layout.ScrollMaximum(), 99);
    EXPECT_EQ(layout.Scroll(THexLayout::ScrollRequest::Thumb, layout.ScrollMaximum()), -99);
    EXPECT_EQ(layout.TopLine(), 99);
    EXPECT_EQ(layout.Scroll(THexLayout::ScrollRequest::LineDown), 0);
    EXPECT_EQ(layout.Scroll(THexLayout::ScrollRequest::PageDown), 0);
    EXPECT_EQ(layout.Scroll(THexLayout::ScrollRequest::LineUp), 1);
    // A page is the rows that fit but one (the partly visible one counts).
    EXPECT_EQ(layout.VisibleLines(), 11);
    EXPECT_EQ(layout.Scroll(THexLayout::ScrollRequest::PageUp), 10);
    EXPECT_EQ(layout.Scroll(THexLayout::ScrollRequest::Other, 0), 0);
    EXPECT_EQ(layout.TopLine(), 88);
    EXPECT_EQ(layout.CurrentLine(), 0); // the scroll bar leaves the current line alone
}

TEST(HexLayoutTest, ThumbBeyondLine32767ShowsThatLine)
{
    THexLayout layout = makeLayout(50000 * 16);
    EXPECT_EQ(layout.ScrollMaximum(), 49999);
    layout.Scroll(THexLayout::ScrollRequest::Thumb, 40000);
    EXPECT_EQ(layout.TopLine(), 40000);
    EXPECT_EQ(layout.ScrollPosition(40000), 40000);
}

TEST(HexLayoutTest, MoreLinesThanTheScrollBarHoldsAreScaled)
{
    // One byte a line: more lines than an int counts.
    THexLayout layout = makeLayout(int64_t(1) << 40, 14);
    ASSERT_EQ(layout.BytesPerLine(), 1);
    const int64_t last = layout.LineCount() - 1;
    const int maximum = layout.ScrollMaximum();
    EXPECT_LE(maximum, THexLayout::ScrollRangeLimit);
    EXPECT_GT(layout.LinesPerScrollStep(), 1);
    EXPECT_EQ(layout.ScrollLine(maximum), last);
    EXPECT_EQ(layout.ScrollPosition(last), maximum);
    const int64_t middle = layout.ScrollLine(maximum / 2);
    EXPECT_EQ(layout.ScrollPosition(middle), maximum / 2);
    EXPECT_NEAR(double(middle), double(last) / 2, double(layout.LinesPerScrollStep()));
    layout.Scroll(THexLayout::ScrollRequest::Thumb, maximum);
    EXPECT_EQ(layout.TopLine(), last);
    EXPECT_EQ(layout.Scroll(THexLayout::ScrollRequest::LineUp), 1); // a line step is still one line
}

TEST(HexLayoutTest, KeysMoveTheCurrentLineAndKeepItFullyVisible)
{
    THexLayout layout = makeLayout(1000 * 16, 74, 10, 5); // 10 full rows and a partial one
    ASSERT_EQ(layout.VisibleLines(), 11);
    EXPECT_TRUE(layout.KeyDown(Qt::Key_PageDown));
    EXPECT_EQ(layout.CurrentLine(), 11);
    EXPECT_EQ(layout.TopLine(), 2); // the current line is the last full row
    layout.KeyDown(Qt::Key_Up);
    layout.KeyDown(Qt::Key_PageUp);
    EXPECT_EQ(layout.CurrentLine(), 0);
    EXPECT_EQ(layout.TopLine(), 0);
    layout.KeyDown(Qt::Key_End);
    EXPECT_EQ(layout.CurrentLine(), 999);
    EXPECT_EQ(layout.TopLine(), 990);
    layout.KeyDown(Qt::Key_Down);
    EXPECT_EQ(layout.CurrentLine(), 999);
    layout.KeyDown(Qt::Key_Home);
    EXPECT_EQ(layout.TopLine(), 0);
    EXPECT_FALSE(layout.KeyDown(Qt::Key_Left));

    layout.SetActive(false);
    EXPECT_FALSE(layout.KeyDown(Qt::Key_Down));
    EXPECT_FALSE(layout.MouseDown(3 * RowHeight));
    EXPECT_EQ(layout.CurrentLine(), 0);
}

TEST(HexLayoutTest, ClickSelectsTheRowUnderTheMouse)
{
    THexLayout layout = makeLayout(1000 * 16, 74, 10, 5);
    layout.SetTopLine(100);
    EXPECT_TRUE(layout.MouseDown(3 * RowHeight + RowHeight - 1));
    EXPECT_EQ(layout.CurrentLine(), 103);
    EXPECT_EQ(layout.TopLine(), 100);
    layout.MouseDown(10 * RowHeight + 1); // the partly visible row scrolls up by one
    EXPECT_EQ(layout.CurrentLine(), 110);
    EXPECT_EQ(layout.TopLine(), 101);
}

TEST(HexLayoutTest, ViewLowerThanARowKeepsTheCurrentLineShown)
{
    THexLayout layout = makeLayout(100 * 16, 74, 0, RowHeight / 2);
    ASSERT_EQ(layout.VisibleLines(), 1);
    layout.KeyDown(Qt::Key_Down);
    EXPECT_EQ(layout.CurrentLine(), 1);
    EXPECT_EQ(layout.TopLine(), 1);
}

TEST(HexLayoutTest, EmptyDataAndShrinkingDataKeepLinesAtZero)
{
    THexLayout layout = makeLayout(0);
    EXPECT_EQ(layout.LineCount(), 0);
    EXPECT_EQ(layout.ScrollMaximum(), 0);
    layout.KeyDown(Qt::Key_End);
    layout.MouseDown(5 * RowHeight);
    layout.Scroll(THexLayout::ScrollRequest::Thumb, 7);
    EXPECT_EQ(layout.CurrentLine(), 0);
    EXPECT_EQ(layout.TopLine(), 0);

    layout.SetDataSize(1000 * 16);
    layout.KeyDown(Qt::Key_End);
    layout.SetDataSize(20 * 16);
    EXPECT_EQ(layout.CurrentLine(), 19);
    EXPECT_EQ(layout.TopLine(), 19);
    layout.SetDataSize(0);
    EXPECT_EQ(layout.CurrentLine(), 0);
    EXPECT_EQ(layout.TopLine(), 0);
}
