#include "disk/TScanReport.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"

#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// Output is handed to the sink in pieces of about this size.
constexpr qsizetype ChunkSize = 1 << 16;
// Bound of the climb to the top of an unreached tree; far deeper than any real folder
// nesting, and it keeps a chain that loops from holding the walk up.
constexpr int MaxClimb = 4096;

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Walks the elements below (and including) the given tops, each element once.
class TWalker
{
public:
    TWalker(const TBaseDisk& disk, bool deletedOnly, const TScanReport::TVisitor& visit)
        : m_disk(disk), m_deletedOnly(deletedOnly), m_visit(visit),
          m_seenBits((disk.ElementCount() + 63) / 64)
    {
    }

    bool seen(const TBaseElement* element) const
    {
        const size_t index = m_disk.ElementIndex(element);
        if (index < m_disk.ElementCount())
            return m_seenBits[index / 64] & (uint64_t{1} << (index % 64));
        return m_seenOthers.count(element) != 0;
    }

    // Depth first: the element, then its sub-folders with all below them, then its
    // files. Everything reachable is marked seen, also below an element the filter
    // hides, so that hidden elements do not come back as unreached ones.
    void walkFrom(const TBaseElement* top)
    {
        if (!top || !markSeen(top)) {
            return;
        }
        const bool shown = report(*top, true);
        m_stack.push_back({top, shown, false, 0});
        while (!m_stack.empty()) {
            TFrame& frame = m_stack.back();
            const TBaseSortedList& list =
                frame.inFiles ? frame.element->ChildrenFiles : frame.element->ChildrenFolders;
            if (frame.index < list.Count()) {
                const TBaseElement* child = list[frame.index++];
                if (!child || !markSeen(child)) {
                    continue;
                }
                const bool childShown = report(*child, frame.shown);
                if (child->GetChildrensCount() > 0) {
                    m_stack.push_back({child, childShown, false, 0});
                }
            } else if (!frame.inFiles) {
                frame.inFiles = true;
                frame.index = 0;
            } else {
                m_stack.pop_back();
            }
        }
    }

private:
    struct TFrame
    {
        const TBaseElement* element;
        bool shown;
        bool inFiles;
        int index;
    };

    // False when the element was seen before.
    bool markSeen(const TBaseElement* element)
    {
        const size_t index = m_disk.ElementIndex(element);
        if (index >= m_disk.ElementCount())
            return m_seenOthers.insert(element).second;
        uint64_t& word = m_seenBits[index / 64];
        const uint64_t bit = uint64_t{1} << (index % 64);
        if (word & bit)
            return false;
        word |= bit;
        return true;
    }

    bool report(const TBaseElement& element, bool parentShown)
    {
        const bool shown = parentShown && (!m_deletedOnly || element.IsDeleted() || element.ContainDeleted());
        if (shown) {
            m_visit(element);
        }
        return shown;
    }

    const TBaseDisk& m_disk;
    bool m_deletedOnly;
    const TScanReport::TVisitor& m_visit;
    // The drive's elements by their place among them; any other element in a set.
    std::vector<uint64_t> m_seenBits;
    std::unordered_set<const TBaseElement*> m_seenOthers;
    std::vector<TFrame> m_stack;
};

// Appends UTF-8 text, each control character (one byte below 0x20 or 0x7F, or the
// two-byte forms of U+0080..U+009F) replaced by '?'.
void appendClean(QByteArray& out, const char* data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte < 0x20 || byte == 0x7F) {
            out += '?';
        } else if (byte == 0xC2 && i + 1 < size && (static_cast<unsigned char>(data[i + 1]) & 0xE0) == 0x80) {
            out += '?';
            ++i;
        } else {
            out += data[i];
        }
    }
}

// Appends UTF-8 text as the inside of a JSON string literal.
void appendJsonEscaped(QByteArray& out, const char* data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                out += escape;
            } else {
                out += c;
            }
        }
    }
}

void appendNumber(QByteArray& out, int64_t value)
{
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
    out.append(digits, length);
}

void appendTwo(char* at, int value)
{
    at[0] = static_cast<char>('0' + value / 10 % 10);
    at[1] = static_cast<char>('0' + value % 10);
}

// "YYYY-MM-DDTHH:MM:SS", or nothing for a value that is no calendar date or stands for
// "no time": 0, which invented folders and the FAT root carry, and the file time 0.
bool appendDateTime(QByteArray& out, TDateTime value)
{
    if (IsUnknownDateTime(value)) {
        return false;
    }
    QDate date;
    QTime time;
    DecodeDateTime(value, date, time);
    if (!date.isValid() || !time.isValid() || date.year() < 1 || date.year() > 9999) {
        return false;
    }
    char text[19] = {0, 0, 0, 0, '-', 0, 0, '-', 0, 0, 'T', 0, 0, ':', 0, 0, ':', 0, 0};
    appendTwo(text, date.year() / 100);
    appendTwo(text + 2, date.year() % 100);
    appendTwo(text + 5, date.month());
    appendTwo(text + 8, date.day());
    appendTwo(text + 11, time.hour());
    appendTwo(text + 14, time.minute());
    appendTwo(text + 17, time.second());
    out.append(text, sizeof text);
    return true;
}

void appendJsonTime(QByteArray& out, TDateTime value)
{
    const qsizetype start = out.size();
    out += '"';
    if (!appendDateTime(out, value)) {
        out.truncate(start);
        out += "null";
        return;
    }
    out += '"';
}

void appendAscii(QByteArray& out, const QString& text)
{
    for (const QChar c : text) {
        out += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?';
    }
}

} // namespace

QByteArray TScanReport::header() const
{
    if (m_format == Format::Json) {
        return QByteArray();
    }
    return QByteArrayLiteral(
        "id\tparent\tcondition\tkind\tsize\tcreated\tmodified\taccessed\tpath\trecovery\n");
}

void TScanReport::walk(const TBaseDisk& disk, bool deletedOnly, const TVisitor& visit)
{
    TWalker walker(disk, deletedOnly, visit);

    // The drive's top element stands for the drive itself and is not listed; below it
    // hang the root folder and the lost folders.
    if (const TBaseElement* top = disk.RootElement) {
        for (const TBaseElement* child : top->ChildrenFolders) {
            walker.walkFrom(child);
        }
        for (const TBaseElement* child : top->ChildrenFiles) {
            walker.walkFrom(child);
        }
    }

    // Elements the top does not reach: those below a "not_found_yet_" folder, whose
    // real folder never arrived. Start each such tree at its highest unreached element.
    const TElementsArray& elements = disk.Elements;
    const int32_t slotCount = elements.Count();
    for (int32_t i = 0; i < slotCount; ++i) {
        const TBaseElement* element = elements.GetItem(i);
        if (!element || walker.seen(element)) {
            continue;
        }
        const TBaseElement* highest = element;
        for (int steps = 0; steps < MaxClimb && highest->Parent && !walker.seen(highest->Parent); ++steps) {
            highest = highest->Parent;
        }
        walker.walkFrom(highest);
        // A chain that loops leaves its start unreached from the element found; take it on its own.
        walker.walkFrom(element);
    }
}

TScanReport::TCounts TScanReport::write(const TBaseDisk& disk, const TSink& sink) const
{
    TCounts counts;
    QByteArray chunk;
    chunk.reserve(ChunkSize + 8192);

    // A file's path is its folder's path and its name; every file of a folder asks for
    // the same folder path, so those are kept, as UTF-8.
    std::unordered_map<const TBaseElement*, QByteArray> folderPaths;
    const auto pathOf = [&folderPaths](const TBaseElement* folder) -> const QByteArray& {
        auto found = folderPaths.find(folder);
        if (found == folderPaths.end()) {
            found = folderPaths.emplace(folder, folder->GetInventPath().toUtf8()).first;
        }
        return found->second;
    };
    const QByteArray driveRoot = QStringLiteral("%1:\\").arg(QLatin1Char(disk.DriveLetter)).toUtf8();

    walk(disk, m_deletedOnly, [&](const TBaseElement& element) {
        if (element.IsFolder()) {
            appendElement(chunk, element, pathOf(&element), QByteArray());
        } else {
            appendElement(chunk, element, element.Parent ? pathOf(element.Parent) : driveRoot,
                          element.GetName().toUtf8());
        }
        ++(element.IsFolder() ? counts.Folders : counts.Files);
        if (element.IsDeleted()) {
            ++counts.Deleted;
        }
        if (chunk.size() >= ChunkSize) {
            sink(chunk);
            chunk.clear();
        }
    });
    if (!chunk.isEmpty()) {
        sink(chunk);
    }
    return counts;
}

QByteArray TScanReport::formatElement(const TBaseElement& element, const QString& path) const
{
    QByteArray line;
    appendElement(line, element, path.toUtf8(), QByteArray());
    return line;
}

void TScanReport::appendElement(QByteArray& out, const TBaseElement& element, const QByteArray& folder,
                                const QByteArray& name) const
{
    const char kind = element.IsFolder() ? 'd' : 'f';
    if (m_format == Format::Json) {
        out += "{\"id\":";
        appendNumber(out, element.TrueID);
        out += ",\"parent\":";
        appendNumber(out, element.TrueParentID);
        out += ",\"condition\":\"";
        appendAscii(out, element.GetCondition());
        out += "\",\"kind\":\"";
        out += kind;
        out += "\",\"size\":";
        appendNumber(out, element.Size);
        out += ",\"created\":";
        appendJsonTime(out, element.DateCreated);
        out += ",\"modified\":";
        appendJsonTime(out, element.DateModified);
        out += ",\"accessed\":";
        appendJsonTime(out, element.DateAccessed);
        out += ",\"path\":\"";
        appendJsonEscaped(out, folder.constData(), folder.size());
        appendJsonEscaped(out, name.constData(), name.size());
        out += "\",\"recovery\":\"";
        appendAscii(out, element.GetRecoveryWord());
        out += "\"}\n";
        return;
    }
    appendNumber(out, element.TrueID);
    out += '\t';
    appendNumber(out, element.TrueParentID);
    out += '\t';
    appendAscii(out, element.GetCondition());
    out += '\t';
    out += kind;
    out += '\t';
    appendNumber(out, element.Size);
    out += '\t';
    appendDateTime(out, element.DateCreated);
    out += '\t';
    appendDateTime(out, element.DateModified);
    out += '\t';
    appendDateTime(out, element.DateAccessed);
    out += '\t';
    appendClean(out, folder.constData(), folder.size());
    appendClean(out, name.constData(), name.size());
    out += '\t';
    appendAscii(out, element.GetRecoveryWord());
    out += '\n';
}

QString TScanReport::elementPath(const TBaseElement& element)
{
    if (element.IsFolder()) {
        return element.GetInventPath();
    }
    if (element.Parent) {
        return element.Parent->GetInventPath() + element.GetName();
    }
    const char letter = element.Drive ? element.Drive->DriveLetter : '?';
    return QStringLiteral("%1:\\").arg(QLatin1Char(letter)) + element.GetName();
}

QString TScanReport::CleanText(const QString& text)
{
    QString clean = text;
    for (QChar& c : clean) {
        if (isControl(c.unicode())) {
            c = QLatin1Char('?');
        }
    }
    return clean;
}

QString TScanReport::FormatDateTime(TDateTime value)
{
    QByteArray text;
    appendDateTime(text, value);
    return QString::fromLatin1(text);
}

QByteArray TScanReport::JsonString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    appendJsonEscaped(out, utf8.constData(), utf8.size());
    out += '"';
    return out;
}
