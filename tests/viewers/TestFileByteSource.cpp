// The paged byte source over the scripted engine: pages arrive off the test's thread and
// announce themselves, what does not read back is Unreadable, the cache stays bounded,
// and a source may go while its read is running.
#include "support/TScriptedEngine.h"
#include "viewers/TFileByteSource.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace {

QCoreApplication& coreApp()
{
    static int argc = 1;
    static char name[] = "brevant-viewer-tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

QByteArray pattern(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xff);
    return data;
}

class FileByteSource : public testing::Test
{
protected:
    void SetUp() override { coreApp(); }
    void TearDown() override { TFileByteSource::waitForReads(); }

    TFileInfo addFile(int64_t id, const QByteArray& data, int64_t size = -1)
    {
        m_engine.SetCopy(id, data);
        return TScriptedEngine::MakeFile(id, 0, flag_IS_DELETED, size < 0 ? data.size() : size, "f.bin");
    }

    // Processes events until the byte at offset is no longer Pending.
    static int arrived(TFileByteSource& source, int64_t offset)
    {
        source.byte(offset);
        EXPECT_TRUE(QTest::qWaitFor([&] { return source.byte(offset) != TByteSource::Pending; }));
        return source.byte(offset);
    }

    TScriptedEngine m_engine;
};

TEST_F(FileByteSource, PagesArriveWithChangedAndMatchTheData)
{
    const QByteArray data = pattern(200000);
    TFileByteSource source(addFile(5, data));
    QSignalSpy changed(&source, &TByteSource::changed);
    EXPECT_EQ(source.size(), 200000);
    EXPECT_EQ(source.byte(70000), TByteSource::Pending);
    for (const int64_t offset : {int64_t{70000}, int64_t{0}, int64_t{65535}, int64_t{65536}, int64_t{199999}})
        EXPECT_EQ(arrived(source, offset), int(static_cast<unsigned char>(data[qsizetype(offset)])))
            << offset;
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(source.byte(200000), TByteSource::Unreadable);
    EXPECT_EQ(source.byte(-1), TByteSource::Unreadable);
    EXPECT_EQ(source.firstUnreadable(), -1);

    source.probeReadable();
    EXPECT_TRUE(QTest::qWaitFor([&] { return source.readableKnown(); }));
    EXPECT_EQ(source.readableBytes(), 200000);
}

// A deleted file whose data runs out: the bytes past the point read Unreadable, whole
// pages beyond it too, and the probe finds the point without reading the pages.
TEST_F(FileByteSource, BytesPastAShortReadAreUnreadable)
{
    const QByteArray data = pattern(300000);
    m_engine.SetReadable(6, 70000);
    TFileByteSource source(addFile(6, data));
    source.probeReadable();
    EXPECT_TRUE(QTest::qWaitFor([&] { return source.readableKnown(); }));
    EXPECT_EQ(source.readableBytes(), 70000);

    EXPECT_EQ(arrived(source, 69999), int(static_cast<unsigned char>(data[69999])));
    EXPECT_EQ(source.byte(70000), TByteSource::Unreadable);
    EXPECT_EQ(arrived(source, 140000), TByteSource::Unreadable);
    EXPECT_EQ(source.firstUnreadable(), 70000);
    EXPECT_FALSE(source.readError().isEmpty());

    // A recorded size beyond the data the engine has: the rest is unreadable as well.
    TFileByteSource longer(addFile(7, pattern(1000), 5000));
    EXPECT_EQ(arrived(longer, 999), int(static_cast<unsigned char>(pattern(1000)[999])));
    EXPECT_EQ(longer.byte(1000), TByteSource::Unreadable);
    EXPECT_EQ(longer.firstUnreadable(), 1000);
}

TEST_F(FileByteSource, CacheKeepsABoundedNumberOfPages)
{
    const int pages = TFileByteSource::CachePages + 16;
    const QByteArray data = pattern(int(TFileByteSource::PageSize) * pages);
    TFileByteSource source(addFile(8, data));
    for (int page = 0; page < pages; ++page)
        arrived(source, page * TFileByteSource::PageSize);
    const int reads = m_engine.FileReads();
    // The most recent page is still there; the first has gone and is read again.
    EXPECT_NE(source.byte((pages - 1) * TFileByteSource::PageSize), TByteSource::Pending);
    EXPECT_EQ(source.byte(0), TByteSource::Pending);
    EXPECT_EQ(arrived(source, 0), int(static_cast<unsigned char>(data[0])));
    EXPECT_EQ(m_engine.FileReads(), reads + 1);
}

TEST_F(FileByteSource, DestroyedWhileItsReadRuns)
{
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    m_engine.SetOnFileRead([&](int64_t) {
        if (first.exchange(false)) {
            entered.set_value();
            released.wait();
        }
    });
    auto* source = new TFileByteSource(addFile(9, pattern(100000)));
    source->byte(0);
    source->prefetch(0, 100000);
    entered.get_future().wait();
    delete source;
    release.set_value();
    TFileByteSource::waitForReads();
    // Nothing is delivered to the source that is gone.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(m_engine.FileReads(), 1);
}

TEST_F(FileByteSource, ReadRangeDeliversWhatReadsAndSaysWhy)
{
    const QByteArray data = pattern(3 << 20);
    const TFileInfo record = addFile(10, data);
    QByteArray out;
    QString error;
    const auto sink = [&](const char* bytes, int64_t size) {
        out.append(bytes, qsizetype(size));
        return true;
    };
    EXPECT_EQ(TFileByteSource::readRange(record, 100, data.size(), sink, error), data.size() - 100);
    EXPECT_EQ(out, data.mid(100));
    EXPECT_TRUE(error.isEmpty());

    m_engine.SetReadable(10, 1500000);
    out.clear();
    EXPECT_EQ(TFileByteSource::readRange(record, 0, data.size(), sink, error), 1500000);
    EXPECT_EQ(out, data.left(1500000));
    EXPECT_FALSE(error.isEmpty());

    // A sink that refuses ends the reading.
    EXPECT_EQ(TFileByteSource::readRange(
                  record, 0, data.size(), [](const char*, int64_t) { return false; }, error),
              0);
}

} // namespace
