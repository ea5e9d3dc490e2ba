#pragma once

#include "util/Utils.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

class TBaseDisk;
class TBaseElement;

// The listing of an analysed drive as the command line prints it: every element once,
// depth first from the drive's top (a folder, then each of its sub-folders with all
// below it, then its files, in the order the analysis appended them), followed by the
// elements that hang under invented folders the top does not reach. Each element is
// one tab-separated line or one JSON object; the last column (JSON key "recovery") is a
// deleted file's rating word (TRecoverability), empty for live files and folders.
class TScanReport
{
public:
    enum class Format
    {
        Lines,
        Json
    };

    struct TCounts
    {
        int64_t Folders = 0;
        int64_t Files = 0;
        int64_t Deleted = 0;
    };

    // Receives the output in pieces of many lines.
    using TSink = std::function<void(const QByteArray&)>;
    using TVisitor = std::function<void(const TBaseElement& element)>;

    TScanReport(Format format, bool deletedOnly) : m_format(format), m_deletedOnly(deletedOnly) {}

    // The header line naming the columns (line format only; empty for JSON).
    QByteArray header() const;
    // Writes every element of the drive in report order; returns what was written.
    TCounts write(const TBaseDisk& disk, const TSink& sink) const;

    // Calls visit for every element in report order. With deletedOnly, an element that
    // is neither deleted nor marked as containing deleted ones is left out together
    // with everything below it.
    static void walk(const TBaseDisk& disk, bool deletedOnly, const TVisitor& visit);

    // One line (or JSON object) for an element whose path is already known; ends in '\n'.
    QByteArray formatElement(const TBaseElement& element, const QString& path) const;
    // The path printed for an element: a folder's own path with the drive in front
    // (ending in "\"), a file's folder path followed by its display name.
    static QString elementPath(const TBaseElement& element);

    // Control characters (U+0000..U+001F, U+007F..U+009F) replaced by '?'.
    static QString CleanText(const QString& text);
    // "YYYY-MM-DDTHH:MM:SS"; empty for a value that is no calendar date and for the two
    // values that mean no time is known (0 and the file time 0, 1601-01-01 00:00:00).
    static QString FormatDateTime(TDateTime value);
    // A JSON string literal, quotes included, UTF-8.
    static QByteArray JsonString(const QString& text);

private:
    // Appends the line of an element whose path is folder followed by name (UTF-8).
    void appendElement(QByteArray& out, const TBaseElement& element, const QByteArray& folder,
                       const QByteArray& name) const;

    Format m_format;
    bool m_deletedOnly;
};
