#include "disk/TBaseElement.h"

#include "disk/TBaseDisk.h"
#include "settings/Messages.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

// Millions of elements per drive: a field added here costs a few megabytes per million.
static_assert(sizeof(void*) != 8 || sizeof(TBaseElement) <= 88);

namespace {

// Trimmed of blanks and control characters at both ends, is anything left?
bool HasVisibleText(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > u' ')
            return true;
    }
    return false;
}

} // namespace

QString TBaseElement::GetName() const
{
    QString text = WideStrToStr(Name.ToString());
    if (!HasVisibleText(text))
        return QStringLiteral("lost_name_") + QString::number(TrueID);
    return text;
}

QString TBaseElement::GetFileType() const
{
    if (IsFolder())
        return Messages::TypeFolder.Text();
    QString typeName;
    if (!ShellGetFileType(GetName(), 128, typeName))
        return QString();
    return typeName;
}

QString TBaseElement::GetCondition() const
{
    if (IsDeleted())
        return Messages::ConditionDeleted.Text();
    if (ContainDeleted())
        return Messages::ConditionContainsDeleted.Text();
    return Messages::ConditionLive.Text();
}

std::vector<const TBaseElement*> TBaseElement::ChainFromTop() const
{
    std::vector<const TBaseElement*> chain;
    std::unordered_set<const TBaseElement*> seen;
    constexpr size_t LinearLimit = 32;
    for (const TBaseElement* current = this; current; current = current->Parent) {
        if (current->TrueID == -1)
            break;
        if (chain.size() < LinearLimit) {
            if (std::find(chain.begin(), chain.end(), current) != chain.end())
                break;
        } else {
            if (seen.empty())
                seen.insert(chain.begin(), chain.end());
            if (!seen.insert(current).second)
                break;
        }
        chain.push_back(current);
        if (current->TrueID == 5 && current->TrueParentID == 5)
            break;
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

QString TBaseElement::GetPath() const
{
    QString path;
    for (const TBaseElement* element : ChainFromTop()) {
        path += element->GetName();
        path += QLatin1Char('\\');
    }
    return path;
}

QString TBaseElement::ExtractDrive(const QString& path)
{
    if (path.size() >= 2 && path[1] == QLatin1Char(':'))
        return path.left(2);
    return QString();
}

QString TBaseElement::GetInventPath() const
{
    const QString path = GetPath();
    if (!ExtractDrive(path).trimmed().isEmpty())
        return path;
    const char letter = Drive ? Drive->DriveLetter : '?';
    return QString(QLatin1Char(letter)) + QStringLiteral(":\\") + path;
}

QString TBaseElement::GetFullName() const
{
    const QString path = Parent ? Parent->GetPath() : QString();
    return path + WideStrToStr(Name.ToString());
}
