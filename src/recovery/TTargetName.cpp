#include "recovery/TTargetName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/vfs.h>

namespace {

bool refusedOnWindowsFileSystems(char16_t c)
{
    switch (c) {
    case u'"':
    case u'*':
    case u':':
    case u'<':
    case u'>':
    case u'?':
    case u'|':
        return true;
    default:
        return false;
    }
}

// The nearest existing folder at or above path.
QString nearestExisting(const QString& path)
{
    QString current = QDir::cleanPath(path);
    while (!current.isEmpty() && !QFileInfo::exists(current)) {
        const int slash = int(current.lastIndexOf(QLatin1Char('/')));
        if (slash < 0)
            return QString();
        current = slash == 0 ? QStringLiteral("/") : current.left(slash);
    }
    return current;
}

} // namespace

QString TTargetName::SafeLevel(const QString& name, Rules rules)
{
    if (name.isEmpty() || name == QLatin1String("."))
        return QStringLiteral("_");
    if (name == QLatin1String(".."))
        return QStringLiteral("__");
    QString level = name;
    for (qsizetype i = 0; i < level.size(); ++i) {
        const char16_t c = level[i].unicode();
        bool replace = c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == u'/' || c == u'\\';
        if (rules == Rules::Windows && refusedOnWindowsFileSystems(c))
            replace = true;
        // A surrogate without its partner has no UTF-8 form.
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < level.size() && QChar::isLowSurrogate(level[i + 1].unicode())) {
                ++i;
                continue;
            }
            replace = true;
        } else if (QChar::isLowSurrogate(c)) {
            replace = true;
        }
        if (replace)
            level[i] = QLatin1Char('_');
    }
    if (rules == Rules::Windows) {
        // These file systems drop trailing dots and blanks, which would merge names.
        for (qsizetype i = level.size() - 1; i >= 0; --i) {
            if (level[i] != QLatin1Char('.') && level[i] != QLatin1Char(' '))
                break;
            level[i] = QLatin1Char('_');
        }
    }
    return level;
}

QString TTargetName::Numbered(const QString& level, int n)
{
    const QString number = QStringLiteral(" (%1)").arg(n);
    const qsizetype dot = level.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return level + number;
    return level.left(dot) + number + level.mid(dot);
}

TTargetName::Rules TTargetName::RulesFor(const QString& path)
{
    const QString existing = nearestExisting(path);
    if (existing.isEmpty())
        return Rules::Posix;
    struct statfs info
    {
    };
    if (::statfs(QFile::encodeName(existing).constData(), &info) != 0)
        return Rules::Posix;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x4d44UL:     // msdos, vfat
    case 0x2011BAB0UL: // exfat
    case 0x5346544eUL: // ntfs (classic driver)
    case 0x7366746eUL: // ntfs3
        return Rules::Windows;
    default:
        return Rules::Posix;
    }
}

QString TTargetName::LengthProblem(const QString& target, QChar separator)
{
    if (target.size() > MaxEngineUnits)
        return QStringLiteral("the path is longer than %1 characters").arg(MaxEngineUnits);
    if (QFile::encodeName(target).size() >= MaxPathBytes)
        return QStringLiteral("the path is longer than the file system allows");
    for (const QString& level : target.split(separator)) {
        if (level.toUtf8().size() > MaxLevelBytes)
            return QStringLiteral("a name in the path is longer than %1 bytes").arg(MaxLevelBytes);
    }
    return QString();
}
