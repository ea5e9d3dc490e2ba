#include "viewers/THexLayout.h"

#include "viewers/TByteSource.h"

#include <qnamespace.h>

#include <algorithm>

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

// Cells of the address column besides the digits: the colon and a gap.
constexpr int AddressExtraCells = 2;
constexpr int MinAddressDigits = 8;

} // namespace

void THexLayout::SetItemSize(int width, int height)
{
    FItemWidth = width;
    FItemHeight = height;
    CalcPaintParams();
}

void THexLayout::SetClientSize(int width, int height)
{
    FClientWidth = width;
    FClientHeight = height;
    CalcPaintParams();
}

void THexLayout::SetShowAddress(bool show)
{
    FShowAddress = show;
    CalcPaintParams();
}

void THexLayout::SetShowCharacters(bool show)
{
    FShowCharacters = show;
    CalcPaintParams();
}

void THexLayout::SetDataSize(int64_t dataSize)
{
    FDataSize = std::max<int64_t>(dataSize, 0);
    CalcPaintParams();
}

void THexLayout::CalcPaintParams()
{
    if (FItemHeight < 1 || FItemWidth < 1)
        return;
    FVisibleLines = std::max(FClientHeight, 0) / FItemHeight + 1;
    int chars = FClientWidth / FItemWidth;
    if (FShowAddress)
        chars -= AddressCells();
    FBytesPerLine = std::clamp(chars / (FShowCharacters ? 4 : 3), 1, MaxDigits);
    FLineCount = FDataSize / FBytesPerLine + (FDataSize % FBytesPerLine != 0 ? 1 : 0);
    FTopLine = Clamp(FTopLine);
    FCurrentLine = Clamp(FCurrentLine);
}

int64_t THexLayout::Clamp(int64_t line) const
{
    return FLineCount > 0 ? std::clamp<int64_t>(line, 0, FLineCount - 1) : 0;
}

int THexLayout::AddressCells() const
{
    int digits = 1;
    for (uint64_t last = FDataSize > 0 ? uint64_t(FDataSize - 1) : 0; last > 0xF; last >>= 4)
        ++digits;
    return std::max(digits, MinAddressDigits) + AddressExtraCells;
}

int THexLayout::LineByteCount(int64_t line) const
{
    if (line < 0 || line >= FLineCount)
        return 0;
    const int remainder = int(FDataSize % FBytesPerLine);
    return line == FLineCount - 1 && remainder != 0 ? remainder : FBytesPerLine;
}

QString THexLayout::LineAddr(int64_t line) const
{
    const int digits = AddressCells() - AddressExtraCells;
    return QString::number(uint64_t(LineOffset(line)), 16).toUpper().rightJustified(digits, u'0') + u':';
}

QString THexLayout::LineData(int64_t line, const TByteSource& source) const
{
    const int count = LineByteCount(line);
    if (count == 0)
        return {};
    QString text(count * 3 - 1, u'\t');
    const int64_t offset = LineOffset(line);
    for (int i = 0; i < count; ++i) {
        const int value = source.byte(offset + i);
        QChar high = u'?', low = u'?';
        if (value >= 0) {
            high = QLatin1Char(HexDigits[(value >> 4) & 0xF]);
            low = QLatin1Char(HexDigits[value & 0xF]);
        } else if (value == TByteSource::Pending) {
            high = low = u' ';
        }
        text[3 * i] = high;
        text[3 * i + 1] = low;
    }
    return text;
}

QString THexLayout::LineChars(int64_t line, const TByteSource& source) const
{
    const int count = LineByteCount(line);
    QString text(count, u' ');
    const int64_t offset = LineOffset(line);
    for (int i = 0; i < count; ++i) {
        const int value = source.byte(offset + i);
        if (value >= 0)
            text[i] = QChar(char16_t(value)); // Latin-1: the byte's code is the character's
        else if (value != TByteSource::Pending)
            text[i] = u'?';
    }
    return text;
}

int64_t THexLayout::SetTopLine(int64_t line)
{
    if (line == FTopLine)
        return 0;
    const int64_t old = FTopLine;
    FTopLine = Clamp(line);
    return old - FTopLine;
}

bool THexLayout::SetCurrentLine(int64_t line)
{
    if (line == FCurrentLine)
        return false;
    const int64_t old = FCurrentLine;
    FCurrentLine = Clamp(line);
    ScrollIntoView();
    return FCurrentLine != old;
}

bool THexLayout::ScrollIntoView()
{
    if (FCurrentLine < FTopLine)
        return SetTopLine(FCurrentLine) != 0;
    // The current line is the partly visible last row or below it: make it the last fully
    // visible row. A view lower than two rows shows it in the first row instead of
    // scrolling it out at the top.
    if (FCurrentLine >= FTopLine + FVisibleLines - 1)
        return SetTopLine(FCurrentLine - std::max(FVisibleLines - 2, 0)) != 0;
    return false;
}

int64_t THexLayout::Scroll(ScrollRequest request, int position)
{
    const int64_t page = FVisibleLines - 1;
    switch (request) {
    case ScrollRequest::LineUp:
        return SetTopLine(FTopLine - 1);
    case ScrollRequest::LineDown:
        return SetTopLine(FTopLine + 1);
    case ScrollRequest::PageUp:
        return SetTopLine(FTopLine - page);
    case ScrollRequest::PageDown:
        return SetTopLine(FTopLine + page);
    case ScrollRequest::Thumb:
        return SetTopLine(ScrollLine(position));
    case ScrollRequest::Other:
        break;
    }
    return 0;
}

int64_t THexLayout::LinesPerScrollStep() const
{
    const int64_t last = FLineCount - 1;
    return last <= ScrollRangeLimit ? 1 : (last + ScrollRangeLimit - 1) / ScrollRangeLimit;
}

int THexLayout::ScrollMaximum() const
{
    const int64_t last = FLineCount - 1;
    if (last <= 0)
        return 0;
    const int64_t per = LinesPerScrollStep();
    return int((last + per - 1) / per);
}

int THexLayout::ScrollPageStep() const
{
    return int(std::max<int64_t>(1, (FVisibleLines - 1) / LinesPerScrollStep()));
}

int THexLayout::ScrollPosition(int64_t line) const
{
    line = Clamp(line);
    if (line >= FLineCount - 1)
        return ScrollMaximum(); // the thumb at the end whenever the last line is on top
    return int(line / LinesPerScrollStep());
}

int64_t THexLayout::ScrollLine(int position) const
{
    if (position >= ScrollMaximum())
        return Clamp(FLineCount - 1);
    return Clamp(int64_t(std::max(position, 0)) * LinesPerScrollStep());
}

bool THexLayout::KeyDown(int key)
{
    if (!FActive)
        return false;
    int64_t line = FCurrentLine;
    switch (key) {
    case Qt::Key_PageUp:
        line -= FVisibleLines;
        break;
    case Qt::Key_PageDown:
        line += FVisibleLines;
        break;
    case Qt::Key_End:
        line = FLineCount - 1;
        break;
    case Qt::Key_Home:
        line = 0;
        break;
    case Qt::Key_Up:
        line -= 1;
        break;
    case Qt::Key_Down:
        line += 1;
        break;
    default:
        return false;
    }
    SetCurrentLine(line);
    return true;
}

bool THexLayout::MouseDown(int y)
{
    if (!FActive || FItemHeight < 1)
        return false;
    SetCurrentLine(FTopLine + y / FItemHeight);
    return true;
}
