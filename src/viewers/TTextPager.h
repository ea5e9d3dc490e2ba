#pragma once

#include "viewers/TTextDecoder.h"

#include <QObject>
#include <QString>

#include <cstdint>

class TByteSource;

// The text view of a file, one page at a time: asks the source for the page's bytes and
// has the page's text once they are all there (at once for content in memory, when the
// pages arrive for a file). Nothing beyond one page of text is ever held.
class TTextPager : public QObject
{
    Q_OBJECT

public:
    explicit TTextPager(TByteSource& source, QObject* parent = nullptr);

    // Shows the page that holds offset; PageReady follows once its text is known.
    void ShowPage(int64_t offset);
    void NextPage();
    void PreviousPage();

    // Whether a page was asked for yet; nothing is read before.
    bool Shown() const { return m_shown; }
    bool Ready() const { return m_ready; }
    const QString& Text() const { return m_text; }
    int64_t PageStart() const { return m_start; }
    // One past the last byte of the page's text.
    int64_t PageEnd() const { return m_end; }
    int64_t PageCount() const;
    bool HasNext() const { return m_end < m_size && m_unreadableAt < 0; }
    bool HasPrevious() const { return m_start > 0; }
    TTextDecoder::Encoding Encoding() const { return m_encoding; }
    // The first offset of the page found unreadable, -1 when the whole page was read.
    int64_t UnreadableAt() const { return m_unreadableAt; }

signals:
    void PageReady();

private:
    // Builds the page's text when all its bytes are known; false while some are pending.
    bool tryBuild();
    // The bytes from offset on, up to length, stopping at the first unreadable one;
    // false while one of them is still pending.
    bool collect(int64_t offset, int64_t length, QByteArray& out, int64_t& unreadableAt) const;

    TByteSource& m_source;
    int64_t m_size = 0;
    bool m_detected = false;
    TTextDecoder::Encoding m_encoding = TTextDecoder::Encoding::Utf8;
    int m_bomLength = 0;
    int64_t m_start = 0;
    int64_t m_end = 0;
    int64_t m_unreadableAt = -1;
    bool m_shown = false;
    bool m_ready = false;
    QString m_text;
};
