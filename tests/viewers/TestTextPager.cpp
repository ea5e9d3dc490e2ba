#include "viewers/TByteSource.h"
#include "viewers/TTextDecoder.h"
#include "viewers/TTextPager.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// Bytes in memory that become readable only when the test says so, like pages of a disk.
class TSlowSource final : public TByteSource
{
public:
    explicit TSlowSource(QByteArray bytes, int64_t unreadableFrom = -1)
        : m_bytes(std::move(bytes)), m_unreadableFrom(unreadableFrom)
    {
    }
    int64_t size() const override { return m_bytes.size(); }
    int byte(int64_t offset) const override
    {
        if (offset < 0 || offset >= m_bytes.size() || (m_unreadableFrom >= 0 && offset >= m_unreadableFrom))
            return Unreadable;
        return arrived ? uchar(m_bytes[qsizetype(offset)]) : Pending;
    }
    void arrive()
    {
        arrived = true;
        emit changed();
    }
    bool arrived = false;

private:
    QByteArray m_bytes;
    int64_t m_unreadableFrom;
};

} // namespace

TEST(TextDecoder, EncodingsAndPagesThatNeverSplitACharacter)
{
    using E = TTextDecoder::Encoding;
    EXPECT_EQ(TTextDecoder::Detect("plain \xC3\xA9t\xC3\xA9"), E::Utf8);
    EXPECT_EQ(TTextDecoder::Detect("cut \xE2\x82"), E::Utf8) << "a sequence cut by the end of the head";
    EXPECT_EQ(TTextDecoder::Detect("caf\xE9 au lait"), E::EightBit);
    EXPECT_EQ(TTextDecoder::Detect(QByteArray("\xFF\xFE"
                                              "a\0",
                                              4)),
              E::Utf16LE);
    EXPECT_EQ(TTextDecoder::Detect("\xFE\xFF"), E::Utf16BE);

    // A euro sign straddling the page boundary belongs to the first page only.
    const int64_t P = TTextDecoder::PageBytes;
    QByteArray file(int(P - 1), 'a');
    file += "\xE2\x82\xAC"
            "b\x01";
    const QString first = TTextDecoder::DecodePage(file, 0, E::Utf8, 0);
    EXPECT_TRUE(first.endsWith(QChar(0x20AC)));
    EXPECT_EQ(first.size(), P);
    const QString second = TTextDecoder::DecodePage(file.mid(int(P)), P, E::Utf8, 0);
    EXPECT_EQ(second, QStringLiteral("b\u00B7")) << "continuation bytes skipped, a control shown as a dot";

    const QByteArray utf16("\xFF\xFE"
                           "h\0i\0",
                           6);
    EXPECT_EQ(TTextDecoder::DecodePage(utf16, 0, E::Utf16LE, 2), QStringLiteral("hi"));
    EXPECT_EQ(TTextDecoder::DecodePage("caf\xE9", 0, E::EightBit, 0), QStringLiteral("caf\u00E9"));
}

TEST(TextPager, PagesArriveWhenTheirBytesDoAndStopAtAnUnreadableByte)
{
    const int64_t P = TTextDecoder::PageBytes;
    QByteArray file(int(2 * P + 10), 'x');
    file[int(P)] = 'Y';
    TSlowSource source(file, 2 * P + 5);
    TTextPager pager(source);
    QSignalSpy ready(&pager, &TTextPager::PageReady);

    pager.ShowPage(0);
    EXPECT_FALSE(pager.Ready());
    source.arrive();
    ASSERT_EQ(ready.size(), 1);
    EXPECT_EQ(pager.Text().size(), P);
    EXPECT_EQ(pager.PageCount(), 3);
    EXPECT_FALSE(pager.HasPrevious());

    pager.NextPage();
    ASSERT_TRUE(pager.Ready());
    EXPECT_EQ(pager.PageStart(), P);
    EXPECT_TRUE(pager.Text().startsWith(QLatin1Char('Y')));

    pager.NextPage();
    ASSERT_TRUE(pager.Ready());
    EXPECT_EQ(pager.Text(), QStringLiteral("xxxxx"));
    EXPECT_EQ(pager.UnreadableAt(), 2 * P + 5);
    EXPECT_FALSE(pager.HasNext());

    // Bytes that arrive for another view before any page is asked for build nothing.
    TSlowSource early(QByteArray("abc"));
    TTextPager idle(early);
    early.arrive();
    EXPECT_FALSE(idle.Ready());
    idle.ShowPage(0);
    EXPECT_EQ(idle.Text(), QStringLiteral("abc"));
}
