#include "viewers/TTextDecoder.h"

#include "util/Utils.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

bool isContinuation(char c)
{
    return (uchar(c) & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot lead one.
int sequenceLength(uchar lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

QString visible(QString text)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0x7F || (u >= 0x80 && u < 0xA0))
            c = QChar(0x00B7);
    }
    return text;
}

} // namespace

TTextDecoder::Encoding TTextDecoder::Detect(const QByteArray& head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8;
    if (head.startsWith("\xFF\xFE"))
        return Encoding::Utf16LE;
    if (head.startsWith("\xFE\xFF"))
        return Encoding::Utf16BE;
    // Valid UTF-8 throughout; a sequence cut off by the end of head is forgiven.
    const qsizetype n = head.size();
    for (qsizetype i = 0; i < n;) {
        const int length = sequenceLength(uchar(head[i]));
        if (length == 0)
            return Encoding::EightBit;
        for (int k = 1; k < length; ++k) {
            if (i + k >= n)
                return Encoding::Utf8;
            if (!isContinuation(head[i + k]))
                return Encoding::EightBit;
        }
        i += length;
    }
    return Encoding::Utf8;
}

int TTextDecoder::BomLength(const QByteArray& head, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    case Encoding::Utf16LE:
        return head.startsWith("\xFF\xFE") ? 2 : 0;
    case Encoding::Utf16BE:
        return head.startsWith("\xFE\xFF") ? 2 : 0;
    default:
        return 0;
    }
}

QString TTextDecoder::DecodePage(const QByteArray& bytes, int64_t pageStart, Encoding encoding, int bomLength)
{
    qsizetype begin = pageStart == 0 ? bomLength : 0;
    qsizetype end = qsizetype(std::min<int64_t>(bytes.size(), PageBytes));
    switch (encoding) {
    case Encoding::Utf8: {
        // Skip what finishes the previous page's last character; finish this page's.
        if (pageStart > 0)
            while (begin < end && begin < MaxCharBytes - 1 && isContinuation(bytes[begin]))
                ++begin;
        while (end < bytes.size() && end - PageBytes < MaxCharBytes - 1 && isContinuation(bytes[end]))
            ++end;
        return visible(QString::fromUtf8(bytes.constData() + begin, end - begin));
    }
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        // Pages are an even number of bytes long, so units never straddle; a surrogate
        // pair does once in a while, and then the page takes the low half too.
        end -= (end - begin) % 2;
        if (end + 1 < bytes.size() && end >= 2) {
            const bool le = encoding == Encoding::Utf16LE;
            const uchar hi = uchar(bytes[end - (le ? 1 : 2)]);
            if (hi >= 0xD8 && hi <= 0xDB)
                end += 2;
        }
        if (pageStart > 0 && begin + 1 < end) {
            const bool le = encoding == Encoding::Utf16LE;
            const uchar hi = uchar(bytes[begin + (le ? 1 : 0)]);
            if (hi >= 0xDC && hi <= 0xDF)
                begin += 2;
        }
        QStringDecoder decoder(encoding == Encoding::Utf16LE ? QStringConverter::Utf16LE
                                                             : QStringConverter::Utf16BE);
        return visible(decoder.decode(QByteArrayView(bytes.constData() + begin, end - begin)));
    }
    case Encoding::EightBit:
    default: {
        const QByteArray page = bytes.mid(begin, end - begin);
        QString text = StringToWideStringEx(page, 1252);
        if (text.isEmpty() && !page.isEmpty())
            text = QString::fromLatin1(page);
        return visible(text);
    }
    }
}

QString TTextDecoder::Name(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Utf16LE:
        return QStringLiteral("UTF-16 LE");
    case Encoding::Utf16BE:
        return QStringLiteral("UTF-16 BE");
    default:
        return QStringLiteral("Windows-1252");
    }
}
