#include "mainwindow/TMainViewRules.h"

#include "disk/TBaseElement.h"

#include <algorithm>
#include <unordered_set>

#include "engine/VantrelLib.h"
#include "util/Utils.h"

#include <QLocale>

TMainViewRules::TState TMainViewRules::ComputeState(const TStateInput& in)
{
    TState s;
    s.Recover = in.ListFocusedOnElement || in.TreeFocusedOnElement;
    s.Properties = s.Recover;
    s.View = in.ListFocusedOnElement;
    s.DriveCommands = in.DriveOpen;
    s.Back = in.DriveOpen && in.BackAvailable;
    s.Forward = in.DriveOpen && in.ForwardAvailable;
    s.Up = in.DriveOpen && in.TreeNodeHasElement && in.ElementHasParent && !in.ParentIsTopRoot;
    return s;
}

void TMainViewRules::ApplyColumnClick(int column, int& lastColumn, int& sortColumn, bool& orderAZ)
{
    orderAZ = !orderAZ;
    sortColumn = column;
    if (sortColumn != lastColumn)
        orderAZ = true;
    lastColumn = sortColumn;
}

int TMainViewRules::ListImageIndex(int64_t flags)
{
    return KindImageIndex(ElementKindOf(flags));
}

int TMainViewRules::KindImageIndex(TElementKind kind)
{
    static constexpr int images[] = {imgFile, imgDeletedFile, imgFolder, imgFolderWithDeleted,
                                     imgDeletedFolder};
    return images[static_cast<int>(kind)];
}

int TMainViewRules::TreeImageIndex(int64_t flags)
{
    // The tree looks at "contains deleted" first, the list at "deleted" first; the
    // analysis never sets both on one element.
    if (flags & flag_HAS_CHILD_DELETED)
        return imgFolderWithDeleted;
    if (flags & flag_IS_DELETED)
        return imgDeletedFolder;
    return imgFolder;
}

int TMainViewRules::TreeSelectedImageIndex(int64_t flags)
{
    return TreeImageIndex(flags) + 1;
}

bool TMainViewRules::PassesFilter(int64_t flags, bool onlyDeleted)
{
    return !onlyDeleted || (flags & (flag_IS_DELETED | flag_HAS_CHILD_DELETED));
}

QString TMainViewRules::DateTimeText(double dateTime)
{
    QDate date;
    QTime time;
    DecodeDateTime(dateTime, date, time);
    if (!date.isValid() || IsUnknownDateTime(dateTime))
        return QString();
    // The default locale is the user's unless the program chose another.
    const QLocale locale;
    QString text = locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
    if (time.isValid() && time.msecsSinceStartOfDay() != 0) {
        // The long time format without the zone name: the value carries no zone.
        QString timeFormat = locale.timeFormat(QLocale::LongFormat);
        timeFormat.remove(QLatin1Char('t'));
        text += QLatin1Char(' ');
        text += locale.toString(time, timeFormat.trimmed());
    }
    return text;
}

QString TMainViewRules::LongHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

std::vector<TBaseElement*> TMainViewRules::FoldersFromTop(TBaseElement* element)
{
    std::vector<TBaseElement*> targets;
    std::unordered_set<const TBaseElement*> seen;
    if (element && element->IsFolder())
        targets.push_back(element);
    for (TBaseElement* up = element ? element->Parent : nullptr; up && seen.insert(up).second;
         up = up->Parent)
        targets.push_back(up);
    std::reverse(targets.begin(), targets.end());
    return targets;
}

std::vector<TBaseElement*> TMainViewRules::ListedChildren(const TBaseElement& folder, bool onlyDeleted)
{
    std::vector<TBaseElement*> rows;
    rows.reserve(static_cast<size_t>(folder.GetChildrensCount()));
    for (TBaseElement* child : folder.ChildrenFolders) {
        if (child && PassesFilter(child->Flags, onlyDeleted))
            rows.push_back(child);
    }
    for (TBaseElement* child : folder.ChildrenFiles) {
        if (child && PassesFilter(child->Flags, onlyDeleted))
            rows.push_back(child);
    }
    return rows;
}
