#pragma once

#include "engine/VantrelLib.h"
#include "viewers/TByteSource.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

class TBaseElement;

// The data of one element of the open drive, read through the engine's read call in
// 64 KiB pages. Pages are read off the source's thread (one reading thread serves every
// source) and kept in a bounded cache, least recently used going first; byte() answers
// Pending for a page on its way and asks for it, and changed() is emitted on the source's
// thread when pages arrive. A page that fails, or comes back short, makes its missing
// bytes Unreadable.
//
// A viewer attaches it like any byte source and repaints on changed(); for a deleted file
// it calls probeReadable() and shows readableBytes() once readableKnown() says it is there
// (also announced by changed()). Destroying the source while a read runs is safe: the
// read finishes on the reading thread and its result is dropped.
class TFileByteSource : public TByteSource
{
    Q_OBJECT

public:
    static constexpr int64_t PageSize = 64 * 1024;
    static constexpr int CachePages = 64;

    // Reads the element's entry (the record is built as a recovery builds it).
    explicit TFileByteSource(const TBaseElement& element, QObject* parent = nullptr);
    // Reads the entry the record names; size() is the record's size.
    explicit TFileByteSource(const TFileInfo& record, QObject* parent = nullptr);
    ~TFileByteSource() override;

    int64_t size() const override { return m_size; }
    int byte(int64_t offset) const override;
    void prefetch(int64_t offset, int64_t length) override;
    // Reads on the calling thread, past the page cache (a picture decoded off the GUI thread).
    int64_t read(int64_t offset, char* buffer, int64_t length) const override;
    int64_t readableLength() const override { return readableBytes(); }

    // The lowest offset a page read found unreadable (a failed or short page); -1 while
    // none was found.
    int64_t firstUnreadable() const { return m_firstUnreadable; }
    // Starts finding, off this thread, how many bytes from the start read back (by reading
    // single bytes, halving the range: a deleted file's data stops at one point).
    void probeReadable();
    bool readableKnown() const { return m_probed >= 0; }
    // The bytes from the start that read back without a gap as far as known: the probe's
    // result, lowered by an unreadable page found before it; -1 until the probe is done.
    int64_t readableBytes() const;
    // The engine's reason for the first unreadable part found; empty while none was.
    const QString& readError() const { return m_readError; }

    // Blocks until the reads of every source have finished (program end, tests).
    static void waitForReads();

    // Reads length bytes of the record's entry from offset on, on the calling thread, in
    // chunks handed to sink in order. Stops at the end of the data, where the source gives
    // no more, or when sink returns false. Result: the bytes handed to sink; error is set
    // to the engine's reason when a read failed (empty at the end of the data).
    static int64_t readRange(const TFileInfo& record, int64_t offset, int64_t length,
                             const std::function<bool(const char* data, int64_t size)>& sink, QString& error);

private:
    struct TShared;
    struct TPage
    {
        QByteArray Data;      // the bytes read; fewer than expected: the rest is unreadable
        bool Ready = false;   // false while the read is on its way
        uint64_t LastUse = 0; // for the least recently used order
    };

    void request(int64_t page) const;
    void startReading() const;
    void takeResults();
    void evict();

    std::shared_ptr<TShared> m_shared;
    int64_t m_size = 0;
    mutable std::unordered_map<int64_t, TPage> m_pages;
    mutable uint64_t m_tick = 0;
    int64_t m_firstUnreadable = -1;
    int64_t m_probed = -1;
    QString m_readError;
};
