#include "util/TPosixPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t FileAttributeDirectory = 0x10;
constexpr int MaxTypeNameLength = 80;
const QString DesktopOpener = QStringLiteral("xdg-open");

// The last level of a path in either separator style.
QString fileNamePart(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

bool isUrl(const QString& text)
{
    return text.contains(QLatin1String("://")) ||
           text.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive);
}

// Only absolute POSIX paths name folders here; drive-letter and share names do not.
bool isNativeFolderPath(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) && !path.contains(QChar(0));
}

// The MIME database names a type by glob patterns over the whole file name. Nearly all
// of them are "*.ext" with no other wildcard or dot, and whether such a pattern matches
// depends only on the text after the name's last dot. The others (literal names such as
// "Makefile" or "CMakeLists.txt", longer suffixes such as "*.tar.gz", and patterns such
// as "README*" or "*.[1-9]") may depend on the rest of the name; this index answers
// whether any of them could match a name. It compares without case, which can only
// widen the set of names it reports.
class TWholeNamePatterns
{
public:
    TWholeNamePatterns()
    {
        QStringList others;
        for (const QMimeType& type : QMimeDatabase().allMimeTypes()) {
            for (const QString& glob : type.globPatterns()) {
                const QString pattern = glob.toLower();
                const QString rest = pattern.mid(2);
                if (pattern.startsWith(QLatin1String("*.")) && !hasWildcard(rest) &&
                    !rest.contains(QLatin1Char('.')))
                    continue; // decided by the last extension
                if (!hasWildcard(pattern))
                    m_literals.insert(pattern);
                else if (pattern.startsWith(QLatin1Char('*')) && !hasWildcard(pattern.mid(1)))
                    m_suffixes.push_back(pattern.mid(1));
                else if (pattern.endsWith(QLatin1Char('*')) && !hasWildcard(pattern.chopped(1)))
                    m_prefixes.push_back(pattern.chopped(1));
                else
                    others.append(QRegularExpression::wildcardToRegularExpression(
                        pattern, QRegularExpression::UnanchoredWildcardConversion));
            }
        }
        if (!others.isEmpty())
            m_others.setPattern(QStringLiteral("\\A(?:") + others.join(QLatin1Char('|')) +
                                QStringLiteral(")\\z"));
        m_others.optimize();
    }

    bool MayMatch(const QString& lowerName) const
    {
        if (m_literals.contains(lowerName))
            return true;
        for (const QString& suffix : m_suffixes) {
            if (lowerName.endsWith(suffix))
                return true;
        }
        for (const QString& prefix : m_prefixes) {
            if (lowerName.startsWith(prefix))
                return true;
        }
        return !m_others.pattern().isEmpty() && m_others.match(lowerName).hasMatch();
    }

private:
    static bool hasWildcard(const QString& text)
    {
        return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?')) ||
               text.contains(QLatin1Char('['));
    }

    QSet<QString> m_literals;
    std::vector<QString> m_suffixes;
    std::vector<QString> m_prefixes;
    QRegularExpression m_others;
};

} // namespace

QString TPosixPlatform::FileTypeKey(const QString& name)
{
    static const TWholeNamePatterns wholeName;
    // A path is judged by its last level, a name the patterns may see whole by itself;
    // the first character keeps the kinds of key apart.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        wholeName.MayMatch(name.toLower()))
        return QLatin1Char('N') + name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QStringLiteral("0") : QLatin1Char('E') + name.mid(dot);
}

bool TPosixPlatform::OpenCommand(const QString& program, const QString& params, QString& executable,
                                 QStringList& arguments)
{
    if (program.trimmed().isEmpty())
        return false;
    const QString baseName = fileNamePart(program);
    if (baseName.compare(QLatin1String("explorer.exe"), Qt::CaseInsensitive) == 0 ||
        baseName.compare(QLatin1String("explorer"), Qt::CaseInsensitive) == 0) {
        // The file browser: show the folder given as parameter.
        const QString folder = params.trimmed().isEmpty() ? QDir::homePath() : params;
        if (!isUrl(folder) && !QFileInfo::exists(folder))
            return false;
        executable = DesktopOpener;
        arguments = {folder};
        return true;
    }
    if (isUrl(program)) {
        executable = DesktopOpener;
        arguments = {program};
        return true;
    }
    const QFileInfo info(program);
    if (info.isFile() && info.isExecutable()) {
        executable = info.absoluteFilePath();
        arguments = QProcess::splitCommand(params);
        return true;
    }
    if (info.exists()) {
        executable = DesktopOpener;
        arguments = {info.absoluteFilePath()};
        return true;
    }
    return false;
}

bool TPosixPlatform::OpenDocument(const QString& program, const QString& params, bool)
{
    // Window placement is the desktop's choice here, so the maximized flag has no effect.
    QString executable;
    QStringList arguments;
    if (!OpenCommand(program, params, executable, arguments))
        return false;
    return QProcess::startDetached(executable, arguments);
}

bool TPosixPlatform::FileTypeName(const QString& name, uint32_t attributes, QString& typeName)
{
    static const QMimeDatabase database;
    QMimeType type;
    if (attributes & FileAttributeDirectory) {
        type = database.mimeTypeForName(QStringLiteral("inode/directory"));
    } else {
        const QString baseName = fileNamePart(name);
        if (baseName.isEmpty())
            return false;
        const QList<QMimeType> types = database.mimeTypesForFileName(baseName);
        if (types.isEmpty())
            return false;
        type = types.first();
    }
    if (!type.isValid())
        return false;

    QMutexLocker lock(&m_typeNamesLock);
    auto it = m_typeNames.constFind(type.name());
    if (it == m_typeNames.cend())
        it = m_typeNames.insert(type.name(), type.comment().left(MaxTypeNameLength));
    if (it->isEmpty())
        return false;
    typeName = *it;
    return true;
}

QString TPosixPlatform::SpecialFolder(int csidl)
{
    QStandardPaths::StandardLocation location;
    switch (csidl) {
    case 0x00: // desktop
    case 0x10: // desktop folder
        location = QStandardPaths::DesktopLocation;
        break;
    case 0x05: // personal documents
        location = QStandardPaths::DocumentsLocation;
        break;
    case 0x0d: // music
        location = QStandardPaths::MusicLocation;
        break;
    case 0x0e: // videos
        location = QStandardPaths::MoviesLocation;
        break;
    case 0x1a: // roaming application data
        location = QStandardPaths::GenericConfigLocation;
        break;
    case 0x1c: // local application data
        location = QStandardPaths::GenericDataLocation;
        break;
    case 0x27: // pictures
        location = QStandardPaths::PicturesLocation;
        break;
    case 0x28: // user profile
        location = QStandardPaths::HomeLocation;
        break;
    default:
        return {};
    }
    return QStandardPaths::writableLocation(location);
}

uint32_t TPosixPlatform::LogicalDrives()
{
    return 0;
}

QString TPosixPlatform::ExecutablePath()
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!self.isEmpty())
        return self;
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

bool TPosixPlatform::ForceDirectories(const QString& path)
{
    if (!isNativeFolderPath(path))
        return false;
    return QDir().mkpath(path) && QFileInfo(path).isDir();
}

bool TPosixPlatform::DirectoryExists(const QString& path)
{
    return isNativeFolderPath(path) && QFileInfo(path).isDir();
}
