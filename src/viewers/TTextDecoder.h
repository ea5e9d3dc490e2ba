#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Turns a file's bytes into text for the viewer, one page at a time: the encoding is
// judged once from the start of the file (a byte-order mark, else valid UTF-8, else the
// 8-bit fallback), and each page starts and ends on whole characters so that paging
// through a file never splits one.
class TTextDecoder
{
public:
    enum class Encoding
    {
        Utf8,
        Utf16LE,
        Utf16BE,
        EightBit
    };

    // Bytes of text per page; a page ends up to MaxCharBytes - 1 bytes later to finish
    // its last character.
    static constexpr int64_t PageBytes = 256 * 1024;
    static constexpr int64_t MaxCharBytes = 4;

    // The encoding of a file that begins with head (up to a page; a UTF-8 sequence cut
    // off at its end still counts as valid).
    static Encoding Detect(const QByteArray& head);
    // Length of the byte-order mark head begins with for that encoding, 0 if none.
    static int BomLength(const QByteArray& head, Encoding encoding);
    // The offset the page holding offset starts at.
    static int64_t PageStart(int64_t offset) { return offset - offset % PageBytes; }

    // The text of the page that starts at pageStart, given the bytes from there on (the
    // page and up to MaxCharBytes - 1 bytes after it, fewer at the end of the file).
    // Bytes that continue a character of the page before are left to that page; control
    // characters other than tab and line breaks show as U+00B7.
    static QString DecodePage(const QByteArray& bytes, int64_t pageStart, Encoding encoding, int bomLength);
    // Names the encoding as the viewer's status bar shows it.
    static QString Name(Encoding encoding);
};
