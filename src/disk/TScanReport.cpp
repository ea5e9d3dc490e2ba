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
    TWalker(bool deletedOnly, const TScanReport::TVisitor& visit) : m_deletedOnly(deletedOnly), m_visit(visit)
    {
    }

    bool seen(const TBaseElement* element) const { return m_seen.count(element) != 0; }

    // Depth first: the element, then its sub-folders with all below them, then its
    // files. Everything reachable is marked seen, also below an element the filter
    // hides, so that hidden elements do not come back as unreached ones.
    void walkFrom(const TBaseElement* top)
    {
        if (!top || !m_seen.insert(top).second) {
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
                if (!child || !m_seen.insert(child).second) {
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

    bool report(const TBaseElement& element, bool parentShown)
    {
        const bool shown = parentShown && (!m_deletedOnly || element.IsDeleted() || element.ContainDeleted());
        if (shown) {
            m_visit(element);
        }
        return shown;
    }

    bool m_deletedOnly;
    const TScanReport::TVisitor& m_visit;
    std::unordered_set<const TBaseElement*> m_seen;
    std::vector<TFrame> m_stack;
};

void appendJsonTime(QByteArray& out, TDateTime value)
{
    const QString text = TScanReport::FormatDateTime(value);
    if (text.isEmpty()) {
        out += "null";
    } else {
        out += '"';
        out += text.toLatin1();
        out += '"';
    }
}

} // namespace

QByteArray TScanReport::header() const
{
    if (m_format == Format::Json) {
        return QByteArray();
    }
    return QByteArrayLiteral("id\tparent\tcondition\tkind\tsize\tcreated\tmodified\taccessed\tpath\n");
}

void TScanReport::walk(const TBaseDisk& disk, bool deletedOnly, const TVisitor& visit)
{
    TWalker walker(deletedOnly, visit);

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
    chunk.reserve(ChunkSize + 4096);

    // Folder paths are asked for again by every file inside; keep them.
    std::unordered_map<const TBaseElement*, QString> folderPaths;
    const auto pathOf = [&folderPaths](const TBaseElement* folder) -> const QString& {
        auto found = folderPaths.find(folder);
        if (found == folderPaths.end()) {
            found = folderPaths.emplace(folder, folder->GetInventPath()).first;
        }
        return found->second;
    };
    const QString driveRoot = QStringLiteral("%1:\\").arg(QLatin1Char(disk.DriveLetter));

    walk(disk, m_deletedOnly, [&](const TBaseElement& element) {
        QString path;
        if (element.IsFolder()) {
            path = pathOf(&element);
        } else {
            path = (element.Parent ? pathOf(element.Parent) : driveRoot) + element.GetName();
        }
        chunk += formatElement(element, path);
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
    const char* kind = element.IsFolder() ? "d" : "f";
    if (m_format == Format::Json) {
        line.reserve(160 + path.size() * 2);
        line += "{\"id\":" + QByteArray::number(element.TrueID);
        line += ",\"parent\":" + QByteArray::number(element.TrueParentID);
        line += ",\"condition\":" + JsonString(element.GetCondition());
        line += ",\"kind\":\"";
        line += kind;
        line += "\",\"size\":" + QByteArray::number(element.Size);
        line += ",\"created\":";
        appendJsonTime(line, element.DateCreated);
        line += ",\"modified\":";
        appendJsonTime(line, element.DateModified);
        line += ",\"accessed\":";
        appendJsonTime(line, element.DateAccessed);
        line += ",\"path\":" + JsonString(path);
        line += "}\n";
        return line;
    }
    line.reserve(120 + path.size() * 2);
    line += QByteArray::number(element.TrueID) + '\t';
    line += QByteArray::number(element.TrueParentID) + '\t';
    line += element.GetCondition().toLatin1() + '\t';
    line += kind;
    line += '\t' + QByteArray::number(element.Size) + '\t';
    line += FormatDateTime(element.DateCreated).toLatin1() + '\t';
    line += FormatDateTime(element.DateModified).toLatin1() + '\t';
    line += FormatDateTime(element.DateAccessed).toLatin1() + '\t';
    line += CleanText(path).toUtf8();
    line += '\n';
    return line;
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
    qsizetype i = 0;
    while (i < text.size() && !isControl(text[i].unicode())) {
        ++i;
    }
    if (i == text.size()) {
        return text;
    }
    QString clean = text;
    for (; i < clean.size(); ++i) {
        if (isControl(clean[i].unicode())) {
            clean[i] = QLatin1Char('?');
        }
    }
    return clean;
}

QString TScanReport::FormatDateTime(TDateTime value)
{
    QDate date;
    QTime time;
    DecodeDateTime(value, date, time);
    if (!date.isValid() || !time.isValid()) {
        return QString();
    }
    return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(), date.day(),
                             time.hour(), time.minute(), time.second());
}

QByteArray TScanReport::JsonString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
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
            if (u < 0x20 || u == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", u);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}
