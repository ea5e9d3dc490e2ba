#include "viewers/TTextPager.h"

#include "viewers/TByteSource.h"

#include <algorithm>

namespace {

// Bytes the encoding is judged from.
constexpr int64_t HeadBytes = 4096;

} // namespace

TTextPager::TTextPager(TByteSource& source, QObject* parent) : QObject(parent), m_source(source)
{
    connect(&m_source, &TByteSource::changed, this, [this] {
        if (m_shown && !m_ready && tryBuild())
            emit PageReady();
    });
}

int64_t TTextPager::PageCount() const
{
    return m_size <= 0 ? 1 : (m_size + TTextDecoder::PageBytes - 1) / TTextDecoder::PageBytes;
}

void TTextPager::ShowPage(int64_t offset)
{
    m_shown = true;
    m_size = std::max<int64_t>(m_source.size(), 0);
    m_start = TTextDecoder::PageStart(std::clamp<int64_t>(offset, 0, std::max<int64_t>(m_size - 1, 0)));
    m_end = m_start;
    m_unreadableAt = -1;
    m_ready = false;
    m_text.clear();
    if (!m_detected)
        m_source.prefetch(0, HeadBytes);
    m_source.prefetch(m_start, TTextDecoder::PageBytes + TTextDecoder::MaxCharBytes);
    if (tryBuild())
        emit PageReady();
}

void TTextPager::NextPage()
{
    if (HasNext())
        ShowPage(m_start + TTextDecoder::PageBytes);
}

void TTextPager::PreviousPage()
{
    if (HasPrevious())
        ShowPage(m_start - TTextDecoder::PageBytes);
}

bool TTextPager::collect(int64_t offset, int64_t length, QByteArray& out, int64_t& unreadableAt) const
{
    const int64_t end = std::min(offset + length, m_size);
    out.clear();
    out.reserve(qsizetype(std::max<int64_t>(end - offset, 0)));
    unreadableAt = -1;
    for (int64_t i = offset; i < end; ++i) {
        const int value = m_source.byte(i);
        if (value == TByteSource::Pending)
            return false;
        if (value < 0) {
            unreadableAt = i;
            return true;
        }
        out.append(char(value));
    }
    return true;
}

bool TTextPager::tryBuild()
{
    int64_t unreadable = -1;
    if (!m_detected) {
        QByteArray head;
        if (!collect(0, HeadBytes, head, unreadable))
            return false;
        m_encoding = TTextDecoder::Detect(head);
        m_bomLength = TTextDecoder::BomLength(head, m_encoding);
        m_detected = true;
    }
    QByteArray bytes;
    if (!collect(m_start, TTextDecoder::PageBytes + TTextDecoder::MaxCharBytes - 1, bytes, unreadable))
        return false;
    m_text = TTextDecoder::DecodePage(bytes, m_start, m_encoding, m_bomLength);
    m_unreadableAt = unreadable >= 0 && unreadable < m_start + TTextDecoder::PageBytes ? unreadable : -1;
    m_end = std::min(m_start + std::min<int64_t>(bytes.size(), TTextDecoder::PageBytes), m_size);
    m_ready = true;
    return true;
}
