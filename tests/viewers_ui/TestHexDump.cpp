#include "viewers/ui/THexDump.h"

#include "support/TestApp.h"
#include "viewers/TMemoryByteSource.h"

#include <QFontDatabase>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// The hex view driven as a user would: keys, clicks and the scroll bar over a source of
// thousands of lines, offscreen.

namespace {

// A memory source that records what the view reads.
class TCountingSource : public TMemoryByteSource
{
public:
    using TMemoryByteSource::TMemoryByteSource;
    int byte(int64_t offset) const override
    {
        ++reads;
        return TMemoryByteSource::byte(offset);
    }
    void prefetch(int64_t offset, int64_t length) override { lastPrefetch = {offset, length}; }
    mutable int64_t reads = 0;
    std::pair<int64_t, int64_t> lastPrefetch{-1, -1};
};

// Byte 0 cannot be read, byte 1 is still on its way, the rest are 0xE9 (Latin-1 e acute).
class TPatchySource : public TByteSource
{
public:
    int64_t size() const override { return 32; }
    int byte(int64_t offset) const override
    {
        return offset == 0 ? Unreadable : offset == 1 ? Pending : offset < 32 ? 0xE9 : Unreadable;
    }
};

class HexDumpTest : public ::testing::Test
{
protected:
    static constexpr int Lines = 5000;

    void SetUp() override
    {
        testApp();
        data = QByteArray(Lines * 16, 'x');
        source = std::make_unique<TCountingSource>(data.constData(), int32_t(data.size()));
        dump.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        dump.SetSource(source.get());
        // Wide enough for 16 bytes a line, with a partly visible last row.
        const THexLayout& layout = dump.Layout();
        dump.resize(80 * layout.ItemWidth() + 40, 20 * layout.ItemHeight() + layout.ItemHeight() / 2);
        dump.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dump));
        ASSERT_EQ(layout.BytesPerLine(), 16);
        ASSERT_EQ(layout.LineCount(), Lines);
    }

    // Lets pending paints happen.
    static void settle() { QCoreApplication::processEvents(); }
    int visible() const { return dump.Layout().VisibleLines(); }
    int rowHeight() const { return dump.Layout().ItemHeight(); }

    QByteArray data;
    std::unique_ptr<TCountingSource> source;
    THexDump dump;
};

bool inkIn(const QImage& image, const QRect& rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y) != QColor(Qt::white))
                return true;
    return false;
}

} // namespace

TEST_F(HexDumpTest, KeysMoveTheCurrentLineAndTheScrollBarFollows)
{
    QTest::keyClick(&dump, Qt::Key_Down);
    QTest::keyClick(&dump, Qt::Key_PageDown);
    EXPECT_EQ(dump.CurrentLine(), 1 + visible());
    EXPECT_EQ(dump.TopLine(), dump.CurrentLine() - (visible() - 2));
    EXPECT_EQ(dump.verticalScrollBar()->value(), dump.TopLine());
    QTest::keyClick(&dump, Qt::Key_End);
    EXPECT_EQ(dump.CurrentLine(), Lines - 1);
    EXPECT_EQ(dump.verticalScrollBar()->value(), Lines - 1 - (visible() - 2));
}

TEST_F(HexDumpTest, OneLineStepReadsOnlyTheUncoveredRows)
{
    settle();
    source->reads = 0;
    dump.viewport()->repaint();
    // A full paint reads each visible row twice (hex and characters) and no more.
    EXPECT_EQ(source->reads, int64_t(visible()) * 16 * 2);
    EXPECT_EQ(source->lastPrefetch, std::make_pair(int64_t(0), int64_t(visible()) * 16));

    dump.SetCurrentLine(visible() - 2); // the last full row: no scroll yet
    source->reads = 0;
    QTest::keyClick(&dump, Qt::Key_Down);
    settle();
    EXPECT_EQ(dump.TopLine(), 1);
    EXPECT_GT(source->reads, 0);
    EXPECT_LE(source->reads, int64_t(2) * 16 * 2); // the uncovered strip spans at most two rows
    EXPECT_EQ(source->lastPrefetch.first + source->lastPrefetch.second, int64_t(1 + visible()) * 16);
}

TEST_F(HexDumpTest, ClickSelectsTheRowAndTakesTheFocus)
{
    dump.SetTopLine(100);
    dump.clearFocus();
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 3 * rowHeight() + 1));
    EXPECT_EQ(dump.CurrentLine(), 103);
    EXPECT_EQ(dump.TopLine(), 100);
    EXPECT_TRUE(dump.hasFocus());
    QTest::mouseClick(dump.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(30, 5 * rowHeight() + 1));
    EXPECT_EQ(dump.CurrentLine(), 103);
}

TEST_F(HexDumpTest, ScrollBarMovesTheViewAndNotTheCurrentLine)
{
    const QByteArray big(50000 * 16, 'y');
    source->SetBlock(big.constData(), int32_t(big.size()));
    QScrollBar* bar = dump.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 49999);
    bar->setSliderPosition(40000); // beyond a 16-bit position
    EXPECT_EQ(dump.TopLine(), 40000);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(dump.TopLine(), 40001 - (visible() - 1));
    bar->triggerAction(QAbstractSlider::SliderToMaximum); // ignored
    EXPECT_EQ(dump.TopLine(), 40001 - (visible() - 1));
    EXPECT_EQ(bar->value(), dump.TopLine());
    EXPECT_EQ(dump.CurrentLine(), 0);
    source->SetBlock(data.constData(), int32_t(data.size())); // shrinking clamps the view
    EXPECT_EQ(dump.TopLine(), Lines - 1);
    EXPECT_EQ(bar->value(), Lines - 1);
}

TEST_F(HexDumpTest, EmptyOrMissingSourceIgnoresKeysAndClicks)
{
    TMemoryByteSource empty;
    dump.SetSource(&empty);
    EXPECT_TRUE(dump.Active());
    EXPECT_EQ(dump.verticalScrollBar()->maximum(), 0);
    QTest::keyClick(&dump, Qt::Key_End);
    QTest::mouseClick(dump.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 4 * rowHeight()));
    EXPECT_EQ(dump.CurrentLine(), 0);
    EXPECT_EQ(dump.TopLine(), 0);

    dump.SetSource(source.get());
    QTest::keyClick(&dump, Qt::Key_End);
    source.reset(); // a source going away detaches itself
    EXPECT_FALSE(dump.Active());
    EXPECT_EQ(dump.Source(), nullptr);
    EXPECT_EQ(dump.CurrentLine(), 0);
    QTest::keyClick(&dump, Qt::Key_Down);
    EXPECT_EQ(dump.CurrentLine(), 0);
    dump.viewport()->repaint();
}

TEST_F(HexDumpTest, UnreadableBytesShowAsQuestionMarksAndTheAddressTakesItsColour)
{
    TPatchySource patchy;
    dump.SetSource(&patchy);
    dump.SetAddressColor(Qt::white);
    const QImage image = dump.viewport()->grab().toImage();
    const int cell = dump.Layout().ItemWidth();
    const int hexX = 1 + dump.Layout().AddressCells() * cell;
    const QRect unreadablePair(hexX, 0, 2 * cell, rowHeight());
    const QRect pendingPair(hexX + 3 * cell, 0, 2 * cell, rowHeight());
    EXPECT_EQ(dump.Layout().LineData(0, patchy).left(9), QStringLiteral("??\t  \tE9\t"));
    EXPECT_EQ(dump.Layout().LineChars(0, patchy).left(3), QString::fromLatin1("? \xE9"));
    EXPECT_TRUE(inkIn(image, unreadablePair));
    EXPECT_FALSE(inkIn(image, pendingPair));

    EXPECT_FALSE(inkIn(image, QRect(1, 0, hexX - 1, rowHeight()))); // the address in white
}

TEST_F(HexDumpTest, ShowingTheAddressRefitsTheBytesAtOnce)
{
    dump.SetShowAddress(false);
    dump.resize(66 * dump.Layout().ItemWidth() + dump.verticalScrollBar()->width() + 2, dump.height());
    settle();
    ASSERT_EQ(dump.Layout().BytesPerLine(), 16);
    dump.SetShowAddress(true);
    EXPECT_LT(dump.Layout().BytesPerLine(), 16);
    EXPECT_EQ(dump.verticalScrollBar()->maximum(), dump.Layout().LineCount() - 1);
}

TEST(HexDumpCreateTest, FillsItsParentInAFixedPitchFont)
{
    testApp();
    QWidget parent;
    parent.resize(400, 300);
    THexDump* dump = CreateHexDump(&parent);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_EQ(dump->geometry(), parent.rect());
    EXPECT_TRUE(QFontInfo(dump->font()).fixedPitch());
    EXPECT_FALSE(dump->Active());
}
