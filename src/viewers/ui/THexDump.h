#pragma once

#include "viewers/TByteSource.h"
#include "viewers/THexLayout.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPointer>

#include <cstdint>

// A scrollable view of bytes as lines of hex pairs, each line led by its offset and
// followed by its bytes as characters. It reads through a byte source it does not own
// and converts only the rows it paints. The current line follows the keys and the mouse
// while a source is attached; it is not drawn differently from other lines.
class THexDump : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(bool ShowAddress READ ShowAddress WRITE SetShowAddress)
    Q_PROPERTY(bool ShowCharacters READ ShowCharacters WRITE SetShowCharacters)
    Q_PROPERTY(BorderStyle Border READ Border WRITE SetBorder)
    Q_PROPERTY(QColor AddressColor READ AddressColor WRITE SetAddressColor)
    Q_PROPERTY(QColor HexDataColor READ HexDataColor WRITE SetHexDataColor)
    Q_PROPERTY(QColor AnsiCharColor READ AnsiCharColor WRITE SetAnsiCharColor)
    Q_PROPERTY(qint64 CurrentLine READ CurrentLine WRITE SetCurrentLine)
    Q_PROPERTY(bool Active READ Active)

public:
    enum class BorderStyle
    {
        None,
        Single
    };
    Q_ENUM(BorderStyle)

    // Indexes of the text colours.
    enum FileColorIndex
    {
        AddressColorIndex = 0,
        HexDataColorIndex = 1,
        AnsiCharColorIndex = 2,
        FileColorCount = 3
    };

    explicit THexDump(QWidget* parent = nullptr);

    // Shows the source's bytes from offset 0 (null: none). The view becomes active,
    // keeps its top and current lines within the new line count and repaints; it follows
    // the source's changed() until another source is set or the source is destroyed.
    void SetSource(TByteSource* source);
    TByteSource* Source() const { return FSource; }
    bool Active() const { return FLayout.Active(); }

    bool ShowAddress() const { return FLayout.ShowAddress(); }
    void SetShowAddress(bool show);
    bool ShowCharacters() const { return FLayout.ShowCharacters(); }
    void SetShowCharacters(bool show);
    BorderStyle Border() const { return FBorder; }
    void SetBorder(BorderStyle border);

    // Out-of-range indexes are ignored (an invalid colour is returned).
    QColor GetFileColor(int index) const;
    void SetFileColor(int index, const QColor& color);
    QColor AddressColor() const { return GetFileColor(AddressColorIndex); }
    void SetAddressColor(const QColor& color) { SetFileColor(AddressColorIndex, color); }
    QColor HexDataColor() const { return GetFileColor(HexDataColorIndex); }
    void SetHexDataColor(const QColor& color) { SetFileColor(HexDataColorIndex, color); }
    QColor AnsiCharColor() const { return GetFileColor(AnsiCharColorIndex); }
    void SetAnsiCharColor(const QColor& color) { SetFileColor(AnsiCharColorIndex, color); }

    int64_t CurrentLine() const { return FLayout.CurrentLine(); }
    // Offset of the current line's first byte.
    int64_t CurrentOffset() const { return FLayout.LineOffset(CurrentLine()); }
    void SetCurrentLine(int64_t line);
    int64_t TopLine() const { return FLayout.TopLine(); }
    void SetTopLine(int64_t line);
    bool ScrollIntoView();

    // Line texts and geometry as painted.
    const THexLayout& Layout() const { return FLayout; }

signals:
    // The current line moved (keys, mouse or SetCurrentLine).
    void CurrentLineChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // The view follows the scroll bar through its own handlers.
    void scrollContentsBy(int dx, int dy) override;

private:
    void FontChanged();
    void SizeChanged();
    void SourceChanged();
    void AdjustScrollBars();
    // Brings the scroll bar and the pixels in line with a top line that was oldTop.
    void TopLineMoved(int64_t oldTop);
    void ScrollBarAction(int action);
    void ScrollBarValueChanged(int value);

    THexLayout FLayout;
    QPointer<TByteSource> FSource;
    QColor FFileColors[FileColorCount] = {Qt::black, Qt::black, Qt::black};
    BorderStyle FBorder = BorderStyle::Single;
    bool FAdjustingScrollBar = false;
};

// The system's fixed-pitch font, or another font of one width when the system's is not.
QFont FixedPitchFont();

// A hex view filling parent (added to its layout, or to a new margin-free one) in the
// system's fixed-pitch font, showing characters.
THexDump* CreateHexDump(QWidget* parent);
