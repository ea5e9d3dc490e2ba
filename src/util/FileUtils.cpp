#include "util/FileUtils.h"

#include "util/TPlatform.h"

namespace {

const QString DoubleBackslash = QStringLiteral("\\\\");

// The "\\server\share" root of a network path: up to, not including, the backslash
// after the share name, or the whole path when there is none.
QString networkRoot(const QString& path)
{
    const qsizetype afterServer = path.indexOf(QLatin1Char('\\'), 2);
    if (afterServer < 0)
        return path;
    const qsizetype afterShare = path.indexOf(QLatin1Char('\\'), afterServer + 1);
    return afterShare < 0 ? path : path.left(afterShare);
}

bool folderNameRulesPass(const QString& name)
{
    if (name.contains(QLatin1Char('/')))
        return false;
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    if (colon >= 0 && colon != 1)
        return false;
    for (const QChar c : QStringLiteral("*?\"<>|"))
        if (name.contains(c))
            return false;
    // A leading "\\" starts a network path; a doubled backslash anywhere else is an empty level.
    return name.indexOf(DoubleBackslash, 1) < 0;
}

bool folderPresent(const QString& name, bool mayCreate)
{
    TPlatform& platform = TPlatform::Current();
    return mayCreate ? platform.ForceDirectories(name) : platform.DirectoryExists(name);
}

} // namespace

QString GetWinSpecialFoldersValue(int csidl)
{
    return TPlatform::Current().SpecialFolder(csidl);
}

QString ExtractFilePathNoRoot(const QString& path)
{
    if (path.size() < 3)
        return {};
    if (path.startsWith(DoubleBackslash)) {
        const QString root = networkRoot(path);
        return root.isEmpty() ? QString() : path.mid(root.size() + 1);
    }
    if (path[1] == QLatin1Char(':') && path[2] == QLatin1Char('\\'))
        return path.mid(3);
    return {};
}

bool MyDriveValid(const QString& path)
{
    if (path.size() != 3 || path[1] != QLatin1Char(':') || path[2] != QLatin1Char('\\'))
        return true;
    const int n = path[0].toUpper().unicode() - 'A';
    if (n < 0 || n > 31)
        return false;
    return (TPlatform::Current().LogicalDrives() >> n) & 1u;
}

bool MyFolderValid(const QString& name, bool mayCreate)
{
    if (name.isEmpty())
        return false;
    try {
        if (name.startsWith(QLatin1Char('/'))) {
            // A POSIX destination: absolute by its first character; a NUL cannot be in a path.
            return !name.contains(QChar(0)) && folderPresent(name, mayCreate);
        }
        if (!folderNameRulesPass(name))
            return false;
        return folderPresent(name, mayCreate) && MyDriveValid(name);
    } catch (...) {
        return false;
    }
}
