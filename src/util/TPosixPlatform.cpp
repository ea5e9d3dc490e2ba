#include "util/TPosixPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

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

} // namespace

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
