#pragma once

#include <QString>

#include <cstdint>

class TByteSource;

// Geometry and position of a hex dump: how many bytes go on a line at the current size
// and font, how many lines there are and fit, which line is at the top and which is
// current, and the texts of one line. The widget feeds it sizes, asks it where to draw
// and what moved; nothing here touches a widget, so all of it is testable on its own.
//
// Every input setter recomputes the layout and keeps TopLine and CurrentLine within
// 0..LineCount-1 (both 0 without lines). The computation waits for an item height of at
// least 1 (a font).
class THexLayout
{
public:
    static constexpr int MaxDigits = 16; // most bytes per line
    // Largest scroll bar value used. A file with more lines maps several lines to one
    // step; the headroom below INT_MAX keeps a style's range + page step arithmetic safe.
    static constexpr int ScrollRangeLimit = 1 << 30;

    enum class ScrollRequest
    {
        LineUp,
        LineDown,
        PageUp,
        PageDown,
        Thumb, // thumb dragged or placed: the position is a scroll bar value
        Other  // top, bottom, end of scroll: no move
    };

    void SetItemSize(int width, int height);
    void SetClientSize(int width, int height);
    void SetShowAddress(bool show);
    void SetShowCharacters(bool show);
    void SetDataSize(int64_t dataSize);
    // Keys and clicks move the current line only while active (a source is attached).
    void SetActive(bool active) { FActive = active; }

    int ItemWidth() const { return FItemWidth; }
    int ItemHeight() const { return FItemHeight; }
    int ClientWidth() const { return FClientWidth; }
    int ClientHeight() const { return FClientHeight; }
    bool ShowAddress() const { return FShowAddress; }
    bool ShowCharacters() const { return FShowCharacters; }
    bool Active() const { return FActive; }
    int64_t DataSize() const { return FDataSize; }
    int BytesPerLine() const { return FBytesPerLine; }
    int VisibleLines() const { return FVisibleLines; } // counting a partly visible last row
    int64_t LineCount() const { return FLineCount; }
    int64_t TopLine() const { return FTopLine; }
    int64_t CurrentLine() const { return FCurrentLine; }

    // Cells of the address column: the digits, the colon and a gap. Ten for data up to
    // 4 GiB; larger data gets as many digits as its last offset needs.
    int AddressCells() const;
    int64_t LineOffset(int64_t line) const { return line * FBytesPerLine; }
    // Bytes on the line: BytesPerLine, the remainder on a short last line, 0 past the end.
    int LineByteCount(int64_t line) const;

    // The offset of the line's first byte in upper-case hex, then ":". Eight digits up to
    // 4 GiB; beyond, every line gets the digits the data's last offset needs.
    QString LineAddr(int64_t line) const;
    // Each byte as two hex digits at 3i and 3i+1 with a TAB at 3i+2 between bytes (none
    // after the last): "??" for a byte that cannot be read, two blanks for one still
    // being read. Drawn with tab stops 3 cells apart, the pairs stand in fixed columns.
    QString LineData(int64_t line, const TByteSource& source) const;
    // Each byte as the Latin-1 character of that code; "?" unreadable, blank pending.
    QString LineChars(int64_t line, const TByteSource& source) const;

    // Returns the lines the view moved, old top - new top: +1 or -1 lets the widget
    // shift the pixels by a row and draw only the uncovered one.
    int64_t SetTopLine(int64_t line);
    // Returns whether the current line changed; scrolls it into view.
    bool SetCurrentLine(int64_t line);
    // Brings the current line into the fully visible rows; true when the view moved.
    bool ScrollIntoView();

    // A scroll bar request; returns the lines moved as SetTopLine does. The current line
    // stays where it is.
    int64_t Scroll(ScrollRequest request, int position = 0);
    // The scroll bar's range is 0..ScrollMaximum(), so that the last line can be scrolled
    // to the first row; one value stands for LinesPerScrollStep() lines.
    int ScrollMaximum() const;
    int ScrollPageStep() const;
    int64_t LinesPerScrollStep() const;
    int ScrollPosition(int64_t line) const;
    int64_t ScrollLine(int position) const;

    // Page Up/Down move the current line by VisibleLines, Home/End to the first/last
    // line, Up/Down by one. Returns whether the key is one of these and the layout is
    // active; other keys are left to the widget.
    bool KeyDown(int key);
    // A left click at y in the client area makes that row's line current (while active).
    bool MouseDown(int y);

private:
    void CalcPaintParams();
    int64_t Clamp(int64_t line) const;

    bool FActive = false;
    bool FShowAddress = true;
    bool FShowCharacters = true;
    int FItemWidth = 0;
    int FItemHeight = 0;
    int FClientWidth = 0;
    int FClientHeight = 0;
    int64_t FDataSize = 0;
    int FBytesPerLine = 1;
    int FVisibleLines = 0;
    int64_t FLineCount = 0;
    int64_t FTopLine = 0;
    int64_t FCurrentLine = 0;
};
