#include "settings/Language.h"

#include "util/Utils.h"

#include <QDir>
#include <QFileInfo>

std::unique_ptr<TLanguageFile> CurrentLanguageFile;

QString LanguageFolder()
{
    const QString& folder = TLanguageFolder::Get();
    if (folder.isEmpty())
        return GetProgramDir();
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
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
