#include "viewers/ui/THexDump.h"

#include "viewers/TByteSource.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextOption>
#include <QVBoxLayout>

#include <algorithm>

THexDump::THexDump(QWidget* parent) : QAbstractScrollArea(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    QPalette colors = palette();
    colors.setColor(QPalette::Base, Qt::white);
    setPalette(colors);
    // Every row is filled when painted, which also lets a one-row scroll move pixels.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &THexDump::ScrollBarAction);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &THexDump::ScrollBarValueChanged);
    resize(300, 200);
    FontChanged();
}

void THexDump::SetSource(TByteSource* source)
{
    if (FSource)
        disconnect(FSource, nullptr, this, nullptr);
    FSource = source;
    if (source) {
        connect(source, &TByteSource::changed, this, &THexDump::SourceChanged);
        connect(source, &QObject::destroyed, this, [this] { SetSource(nullptr); });
    }
    FLayout.SetActive(source != nullptr);
    SourceChanged();
}

void THexDump::SourceChanged()
{
    FLayout.SetDataSize(FSource ? FSource->size() : 0);
    AdjustScrollBars();
    viewport()->update();
}

void THexDump::SetShowAddress(bool show)
{
    if (show == ShowAddress())
        return;
    // The bytes per line follow at once, so that no column is pushed past the edge.
    FLayout.SetShowAddress(show);
    AdjustScrollBars();
    viewport()->update();
}

void THexDump::SetShowCharacters(bool show)
{
    if (show == ShowCharacters())
        return;
    FLayout.SetShowCharacters(show);
    AdjustScrollBars();
    viewport()->update();
}

void THexDump::SetBorder(BorderStyle border)
{
    if (border == FBorder)
        return;
    FBorder = border;
    // The viewport's new size comes back through resizeEvent.
    if (border == BorderStyle::Single) {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
}

QColor THexDump::GetFileColor(int index) const
{
    return index >= 0 && index < FileColorCount ? FFileColors[index] : QColor();
}

void THexDump::SetFileColor(int index, const QColor& color)
{
    if (index < 0 || index >= FileColorCount || FFileColors[index] == color)
        return;
    FFileColors[index] = color;
    viewport()->update();
}

void THexDump::SetCurrentLine(int64_t line)
{
    const int64_t oldTop = TopLine();
    const int64_t oldCurrent = CurrentLine();
    FLayout.SetCurrentLine(line);
    TopLineMoved(oldTop);
    if (CurrentLine() != oldCurrent)
        emit CurrentLineChanged();
}

void THexDump::SetTopLine(int64_t line)
{
    const int64_t oldTop = TopLine();
    FLayout.SetTopLine(line);
    TopLineMoved(oldTop);
}

bool THexDump::ScrollIntoView()
{
    const int64_t oldTop = TopLine();
    const bool scrolled = FLayout.ScrollIntoView();
    TopLineMoved(oldTop);
    return scrolled;
}

void THexDump::TopLineMoved(int64_t oldTop)
{
    const int64_t moved = oldTop - TopLine();
    if (moved == 0)
        return;
    FAdjustingScrollBar = true;
    verticalScrollBar()->setValue(FLayout.ScrollPosition(TopLine()));
    FAdjustingScrollBar = false;
    // One row: move the pixels; scroll() repaints only the uncovered strip.
    if (moved == 1 || moved == -1)
        viewport()->scroll(0, int(moved) * FLayout.ItemHeight());
    else
        viewport()->update();
}

void THexDump::AdjustScrollBars()
{
    QScrollBar* bar = verticalScrollBar();
    FAdjustingScrollBar = true;
    bar->setRange(0, FLayout.ScrollMaximum());
    bar->setSingleStep(1);
    bar->setPageStep(FLayout.ScrollPageStep());
    bar->setValue(FLayout.ScrollPosition(TopLine()));
    FAdjustingScrollBar = false;
}

void THexDump::ScrollBarAction(int action)
{
    using Request = THexLayout::ScrollRequest;
    Request request = Request::Other;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        request = Request::LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        request = Request::LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        request = Request::PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        request = Request::PageDown;
        break;
    case QAbstractSlider::SliderMove:
        request = Request::Thumb;
        break;
    default:
        break;
    }
    QScrollBar* bar = verticalScrollBar();
    const int64_t oldTop = TopLine();
    FLayout.Scroll(request, bar->sliderPosition());
    // The bar's own step may differ from a line once lines are scaled, and a request that
    // does not move the view must not move the thumb either.
    bar->setSliderPosition(FLayout.ScrollPosition(TopLine()));
    TopLineMoved(oldTop);
}

void THexDump::ScrollBarValueChanged(int value)
{
    if (FAdjustingScrollBar || value == FLayout.ScrollPosition(TopLine()))
        return;
    const int64_t oldTop = TopLine();
    FLayout.Scroll(THexLayout::ScrollRequest::Thumb, value);
    TopLineMoved(oldTop);
}

void THexDump::scrollContentsBy(int dx, int dy)
{
    (void)dx;
    (void)dy;
}

void THexDump::FontChanged()
{
    const QFontMetrics metrics(font());
    FLayout.SetItemSize(metrics.horizontalAdvance(u'D') + 1, metrics.height() + 2);
    AdjustScrollBars();
    viewport()->update();
}

void THexDump::SizeChanged()
{
    FLayout.SetClientSize(viewport()->width(), viewport()->height());
    AdjustScrollBars();
    viewport()->update();
}

void THexDump::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    SizeChanged();
}

void THexDump::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FontChanged();
}

void THexDump::keyPressEvent(QKeyEvent* event)
{
    const int64_t oldTop = TopLine();
    const int64_t oldCurrent = CurrentLine();
    if (FLayout.KeyDown(event->key())) {
        TopLineMoved(oldTop);
        if (CurrentLine() != oldCurrent)
            emit CurrentLineChanged();
        event->accept();
        return;
    }
    // Not the scroll area's handling: its arrows and page keys would move the scroll bar
    // instead of the current line.
    QWidget::keyPressEvent(event);
}

void THexDump::mousePressEvent(QMouseEvent* event)
{
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton) {
        const int64_t oldTop = TopLine();
        const int64_t oldCurrent = CurrentLine();
        FLayout.MouseDown(event->position().toPoint().y());
        TopLineMoved(oldTop);
        if (CurrentLine() != oldCurrent)
            emit CurrentLineChanged();
    }
    event->accept();
}

void THexDump::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QColor background = viewport()->palette().color(viewport()->backgroundRole());
    const int itemHeight = FLayout.ItemHeight();
    const int itemWidth = FLayout.ItemWidth();
    const int width = viewport()->width();
    const QRect area = event->rect();
    if (itemHeight < 1) {
        painter.fillRect(area, background);
        return;
    }
    // Only the rows the paint asks for are converted.
    const int firstRow = std::max(0, area.top() / itemHeight);
    const int lastRow = std::min(FLayout.VisibleLines() - 1, area.bottom() / itemHeight);
    const int64_t topLine = FLayout.TopLine();
    const int64_t lineCount = FLayout.LineCount();
    TByteSource* source = FSource;
    if (source && firstRow <= lastRow && topLine + firstRow < lineCount) {
        const int64_t from = FLayout.LineOffset(topLine + firstRow);
        const int64_t to = std::min(FLayout.LineOffset(topLine + lastRow + 1), FLayout.DataSize());
        source->prefetch(from, to - from);
    }

    const int addressWidth = ShowAddress() ? FLayout.AddressCells() * itemWidth : 0;
    const int hexX = 1 + addressWidth;
    const int charsX = FLayout.BytesPerLine() * 3 * itemWidth + addressWidth;
    const QFontMetrics metrics(font());
    const int baseline = (itemHeight - metrics.height()) / 2 + metrics.ascent();
    // Tabs stand between the pairs; expanded to stops three cells apart they put every
    // pair in a fixed column.
    QTextOption hexOption(Qt::AlignLeft | Qt::AlignVCenter);
    hexOption.setWrapMode(QTextOption::NoWrap);
    hexOption.setTabStopDistance(3 * itemWidth);

    for (int row = firstRow; row <= lastRow; ++row) {
        const int y = row * itemHeight;
        painter.fillRect(QRect(0, y, width, itemHeight), background);
        const int64_t line = topLine + row;
        if (!source || line >= lineCount)
            continue;
        if (ShowAddress()) {
            painter.setPen(FFileColors[AddressColorIndex]);
            painter.setClipRect(QRect(1, y, addressWidth, itemHeight));
            painter.drawText(QPoint(1, y + baseline), FLayout.LineAddr(line));
            painter.setClipping(false);
        }
        painter.setPen(FFileColors[HexDataColorIndex]);
        painter.drawText(QRectF(hexX, y, std::max(charsX - hexX, 0), itemHeight),
                         FLayout.LineData(line, *source), hexOption);
        if (ShowCharacters()) {
            // One glyph per cell at the font's own pitch: a control byte the font draws as
            // nothing leaves its cell empty instead of pulling the rest of the row left.
            painter.setPen(FFileColors[AnsiCharColorIndex]);
            painter.setClipRect(QRect(charsX, y, std::max(width - charsX, 0), itemHeight));
            const QString chars = FLayout.LineChars(line, *source);
            for (int i = 0; i < chars.size(); ++i)
                painter.drawText(QPoint(charsX + i * (itemWidth - 1), y + baseline), QString(chars[i]));
            painter.setClipping(false);
        }
    }
}

QFont FixedPitchFont()
{
    // The desktop's monospace font may resolve to a font whose glyphs are not all of one
    // width (some mark themselves dual-width); columns of bytes would then not line up.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(font).fixedPitch())
        return font;
    QStringList families = QFontDatabase::families();
    families.prepend(QStringLiteral("DejaVu Sans Mono"));
    for (const QString& family : families) {
        if (!QFontDatabase::isFixedPitch(family))
            continue;
        QFont candidate(family, font.pointSize());
        if (QFontInfo(candidate).fixedPitch())
            return candidate;
    }
    return font;
}

THexDump* CreateHexDump(QWidget* parent)
{
    auto* dump = new THexDump(parent);
    dump->setFont(FixedPitchFont());
    dump->SetShowCharacters(true);
    if (parent) {
        QLayout* layout = parent->layout();
        if (!layout) {
            auto* box = new QVBoxLayout(parent);
            box->setContentsMargins(0, 0, 0, 0);
            layout = box;
        }
        layout->addWidget(dump);
    }
    return dump;
}
