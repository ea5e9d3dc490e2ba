#include "viewers/TFileByteSource.h"

#include "disk/TEngineRecord.h"
#include "disk/TVantrelApi.h"

#include <QGlobalStatic>
#include <QMetaObject>
#include <QThreadPool>

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

namespace {

// One thread reads for every source: the engine serialises reads of a disk anyway, and
// a second thread would only compete with the first for the same device.
QThreadPool* makeReadPool()
{
    auto* pool = new QThreadPool();
    pool->setMaxThreadCount(1);
    return pool;
}

struct TReadPoolHolder
{
    std::unique_ptr<QThreadPool> Pool{makeReadPool()};
};
Q_GLOBAL_STATIC(TReadPoolHolder, readPool)

QString engineError(const TVantrelApi& api, const char* fallback)
{
    const QString text = TVantrelApi::GuardedText(api.LastError);
    return text.isEmpty() ? QString::fromLatin1(fallback) : text;
}

constexpr int64_t kRangeChunk = 1 << 20;

} // namespace

// What a source and the reading thread share. The source's destructor clears owner under
// the lock; a read still running then finishes and its result is dropped.
struct TFileByteSource::TShared
{
    struct TResult
    {
        int64_t Page = -1; // -1: the probe's result
        QByteArray Data;
        int64_t Readable = 0; // the probe's result
        QString Error;
    };

    std::mutex Mutex;
    TFileByteSource* Owner = nullptr;
    TFileInfo Record{};
    int64_t Size = 0;
    TVantrelApi Api{};
    std::deque<int64_t> Wanted; // pages to read, the most recent request last
    bool ProbeWanted = false;
    bool Running = false;  // a task is reading for this source
    bool Notified = false; // a delivery to the owner is on its way
    std::vector<TResult> Done;

    int64_t readAt(int64_t offset, char* buffer, int64_t length)
    {
        return TVantrelApi::Guarded(Api.FileRead, int64_t{-1}, static_cast<const TFileInfo*>(&Record), offset,
                                    static_cast<void*>(buffer), length);
    }

    TResult readPage(int64_t page)
    {
        TResult result;
        result.Page = page;
        const int64_t offset = page * PageSize;
        const int64_t want = std::min(PageSize, Size - offset);
        result.Data.resize(qsizetype(want));
        const int64_t got = readAt(offset, result.Data.data(), want);
        if (got < 0) {
            result.Data.clear();
            result.Error = Api.FileRead ? engineError(Api, "The data cannot be read.")
                                        : QStringLiteral("The engine cannot read file data.");
            return result;
        }
        result.Data.resize(qsizetype(got));
        if (got < want) {
            // Learn why the rest does not read; no reason given means the data ends early.
            char probe = 0;
            if (readAt(offset + got, &probe, 1) < 0)
                result.Error = engineError(Api, "The data cannot be read.");
            else
                result.Error = QStringLiteral("The data ends at byte %1.").arg(offset + got);
        }
        return result;
    }

    bool readable(int64_t offset)
    {
        char probe = 0;
        return readAt(offset, &probe, 1) == 1;
    }

    // The first offset that does not read back, found by halving: what a deleted file
    // still has runs from its start to one point.
    TResult probe()
    {
        TResult result;
        if (Size <= 0 || readable(Size - 1)) {
            result.Readable = std::max<int64_t>(Size, 0);
            return result;
        }
        if (!readable(0))
            return result;
        int64_t good = 0;
        int64_t bad = Size - 1;
        while (bad - good > 1) {
            const int64_t middle = good + (bad - good) / 2;
            (readable(middle) ? good : bad) = middle;
        }
        result.Readable = bad;
        return result;
    }

    // The reading thread's loop for this source: newest page requests first, the probe
    // after them, until nothing is wanted or the source is gone.
    static void run(const std::shared_ptr<TShared>& shared)
    {
        for (;;) {
            int64_t page = -1;
            {
                std::lock_guard<std::mutex> guard(shared->Mutex);
                if (!shared->Owner || (shared->Wanted.empty() && !shared->ProbeWanted)) {
                    shared->Running = false;
                    return;
                }
                if (!shared->Wanted.empty()) {
                    page = shared->Wanted.back();
                    shared->Wanted.pop_back();
                } else {
                    shared->ProbeWanted = false;
                }
            }
            TResult result = page >= 0 ? shared->readPage(page) : shared->probe();
            std::lock_guard<std::mutex> guard(shared->Mutex);
            if (!shared->Owner) {
                shared->Running = false;
                return;
            }
            shared->Done.push_back(std::move(result));
            if (!shared->Notified) {
                shared->Notified = true;
                // Posted while the lock keeps the owner alive; a source deleted before the
                // delivery takes its posted events with it.
                TFileByteSource* owner = shared->Owner;
                QMetaObject::invokeMethod(
                    owner, [owner] { owner->takeResults(); }, Qt::QueuedConnection);
            }
        }
    }
};

TFileByteSource::TFileByteSource(const TBaseElement& element, QObject* parent)
    : TFileByteSource(
          [&] {
              TFileInfo record;
              TEngineRecord::Fill(element, record);
              return record;
          }(),
          parent)
{
}

TFileByteSource::TFileByteSource(const TFileInfo& record, QObject* parent)
    : TByteSource(parent), m_shared(std::make_shared<TShared>()), m_size(std::max<int64_t>(record.Size, 0))
{
    m_shared->Owner = this;
    m_shared->Record = record;
    m_shared->Size = m_size;
    m_shared->Api = TVantrelApi::Current();
}

TFileByteSource::~TFileByteSource()
{
    std::lock_guard<std::mutex> guard(m_shared->Mutex);
    m_shared->Owner = nullptr;
    m_shared->Wanted.clear();
    m_shared->ProbeWanted = false;
}

int TFileByteSource::byte(int64_t offset) const
{
    if (offset < 0 || offset >= m_size)
        return Unreadable;
    const int64_t index = offset / PageSize;
    const auto found = m_pages.find(index);
    if (found == m_pages.end()) {
        request(index);
        return Pending;
    }
    TPage& page = found->second;
    page.LastUse = ++m_tick;
    if (!page.Ready)
        return Pending;
    const int64_t within = offset - index * PageSize;
    return within < page.Data.size() ? int(static_cast<unsigned char>(page.Data[qsizetype(within)]))
                                     : Unreadable;
}

void TFileByteSource::prefetch(int64_t offset, int64_t length)
{
    if (length <= 0 || offset >= m_size)
        return;
    const int64_t first = std::max<int64_t>(offset, 0) / PageSize;
    const int64_t last = (std::min(m_size, offset + std::min(length, m_size)) - 1) / PageSize;
    for (int64_t index = first; index <= last && index < first + CachePages; ++index) {
        const auto found = m_pages.find(index);
        if (found == m_pages.end())
            request(index);
        else
            found->second.LastUse = ++m_tick;
    }
}

void TFileByteSource::request(int64_t page) const
{
    m_pages[page].LastUse = ++m_tick;
    std::lock_guard<std::mutex> guard(m_shared->Mutex);
    m_shared->Wanted.push_back(page);
    // Requests the view has scrolled past go first: no more pages wait than the cache holds.
    while (m_shared->Wanted.size() > size_t(CachePages)) {
        const int64_t dropped = m_shared->Wanted.front();
        m_shared->Wanted.pop_front();
        const auto found = m_pages.find(dropped);
        if (found != m_pages.end() && !found->second.Ready)
            m_pages.erase(found);
    }
    startReading();
}

void TFileByteSource::startReading() const
{
    // The caller holds the shared lock.
    if (m_shared->Running)
        return;
    m_shared->Running = true;
    std::shared_ptr<TShared> shared = m_shared;
    readPool()->Pool->start([shared] { TShared::run(shared); });
}

void TFileByteSource::probeReadable()
{
    std::lock_guard<std::mutex> guard(m_shared->Mutex);
    if (m_probed >= 0 || m_shared->ProbeWanted)
        return;
    m_shared->ProbeWanted = true;
    startReading();
}

int64_t TFileByteSource::readableBytes() const
{
    if (m_probed < 0)
        return -1;
    return m_firstUnreadable >= 0 ? std::min(m_probed, m_firstUnreadable) : m_probed;
}

void TFileByteSource::takeResults()
{
    std::vector<TShared::TResult> results;
    {
        std::lock_guard<std::mutex> guard(m_shared->Mutex);
        results.swap(m_shared->Done);
        m_shared->Notified = false;
    }
    for (TShared::TResult& result : results) {
        if (result.Page < 0) {
            m_probed = result.Readable;
            continue;
        }
        const int64_t offset = result.Page * PageSize;
        const int64_t expected = std::min(PageSize, m_size - offset);
        if (result.Data.size() < expected) {
            const int64_t gap = offset + result.Data.size();
            if (m_firstUnreadable < 0 || gap < m_firstUnreadable) {
                m_firstUnreadable = gap;
                m_readError = result.Error;
            }
        }
        TPage& page = m_pages[result.Page];
        page.Data = std::move(result.Data);
        page.Ready = true;
        page.LastUse = ++m_tick;
    }
    evict();
    emit changed();
}

void TFileByteSource::evict()
{
    while (m_pages.size() > size_t(CachePages)) {
        auto oldest = m_pages.end();
        for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
            if (it->second.Ready && (oldest == m_pages.end() || it->second.LastUse < oldest->second.LastUse))
                oldest = it;
        }
        if (oldest == m_pages.end())
            return; // only pages on their way are left
        m_pages.erase(oldest);
    }
}

void TFileByteSource::waitForReads()
{
    readPool()->Pool->waitForDone();
}

int64_t TFileByteSource::read(int64_t offset, char* buffer, int64_t length) const
{
    // The record and the engine table are fixed when the source is made, so another
    // thread may read them while this source lives.
    const TVantrelApi& api = m_shared->Api;
    if (!api.FileRead || offset < 0 || length < 0)
        return -1;
    int64_t done = 0;
    while (done < length) {
        const int64_t got = TVantrelApi::Guarded(api.FileRead, int64_t{-1}, &m_shared->Record, offset + done,
                                                 static_cast<void*>(buffer + done), length - done);
        if (got <= 0)
            break;
        done += got;
    }
    return done > 0 || length == 0 ? done : -1;
}

int64_t TFileByteSource::readRange(const TFileInfo& record, int64_t offset, int64_t length,
                                   const std::function<bool(const char*, int64_t)>& sink, QString& error)
{
    error.clear();
    const TVantrelApi& api = TVantrelApi::Current();
    if (!api.FileRead) {
        error = QStringLiteral("The engine cannot read file data.");
        return 0;
    }
    QByteArray chunk(qsizetype(std::min(kRangeChunk, std::max<int64_t>(length, 1))), Qt::Uninitialized);
    int64_t done = 0;
    while (done < length) {
        const int64_t want = std::min<int64_t>(chunk.size(), length - done);
        const int64_t got = TVantrelApi::Guarded(api.FileRead, int64_t{-1}, &record, offset + done,
                                                 static_cast<void*>(chunk.data()), want);
        if (got < 0) {
            error = engineError(api, "The data cannot be read.");
            break;
        }
        if (got == 0 || !sink(chunk.constData(), got))
            break;
        done += got;
    }
    return done;
}
