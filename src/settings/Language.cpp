#include "settings/Language.h"

#include "util/Utils.h"

#include <QDir>
#include <QFileInfo>

std::unique_ptr<TLanguageFile> CurrentLanguageFile;

namespace {

bool holdsLanguageFiles(const QString& folder)
{
    return !QDir(folder).entryList({QStringLiteral("*.lng")}, QDir::Files).isEmpty();
}

} // namespace

QString LanguageFolder()
{
    const QString& folder = TLanguageFolder::Get();
    if (!folder.isEmpty())
        return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    // Beside the program in the build folder or an unpacked copy; in the shared data folder
    // of the prefix when installed (<prefix>/bin beside <prefix>/share/brevant-pro).
    const QString programDir = GetProgramDir();
    if (holdsLanguageFiles(programDir))
        return programDir;
    const QString installed =
        QDir::cleanPath(programDir + QStringLiteral(BREVANT_DATA_DIR_FROM_PROGRAM)) + QLatin1Char('/');
    if (holdsLanguageFiles(installed))
        return installed;
    return programDir;
}

std::unique_ptr<TLanguageFile> LoadLanguage(const QString& fileName)
{
    CurrentLanguageFile.reset();
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')) ||
        fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        return nullptr;
    // Names are matched as on a file system that ignores letter case, so "Dutch.lng" finds
    // "dutch.lng" as well.
    const QDir folder(LanguageFolder());
    QString path = folder.filePath(fileName);
    if (!QFileInfo::exists(path)) {
        for (const QString& entry : folder.entryList({QStringLiteral("*")}, QDir::Files)) {
            if (entry.compare(fileName, Qt::CaseInsensitive) == 0) {
                path = folder.filePath(entry);
                break;
            }
        }
    }
    auto file = std::make_unique<TLanguageFile>();
    if (!TLanguageFile::Load(path, *file))
        return nullptr;
    return file;
}

QString LanguageText(const QString& section, const QString& key, const QString& original)
{
    if (!CurrentLanguageFile)
        return original;
    const QString text = CurrentLanguageFile->ReadString(section, key, QString());
    if (text.isEmpty() || !TLanguageFile::PlaceholdersMatch(original, text))
        return original;
    return text;
}
