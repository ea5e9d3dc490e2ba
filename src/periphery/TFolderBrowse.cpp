#include "periphery/TFolderBrowse.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString TFolderBrowse::StartFolder(const QString& folder)
{
    QString path = QDir::fromNativeSeparators(folder.trimmed());
    if (!path.isEmpty()) {
        QFileInfo info(path);
        // Walk up to the nearest folder that exists; a typed path may not exist yet.
        for (int guard = 0; guard < 256 && !path.isEmpty(); ++guard) {
            info.setFile(path);
            if (info.isDir())
                return QDir::cleanPath(info.absoluteFilePath());
            const QString up = info.absolutePath();
            if (up == info.absoluteFilePath())
                break;
            path = up;
        }
    }
    return QDir::homePath();
}

bool BrowseForFolder(QWidget* parent, const QString& caption, QString& folder)
{
    QString chosen = folder;
    bool ok;
    if (const TFolderBrowse::THandler& answer = TFolderBrowse::TAnswer::Get()) {
        ok = answer(parent, caption, chosen);
    } else {
        chosen = QFileDialog::getExistingDirectory(parent, caption, TFolderBrowse::StartFolder(folder),
                                                   QFileDialog::ShowDirsOnly);
        ok = !chosen.isEmpty();
    }
    if (!ok || chosen.isEmpty())
        return false;
    folder = QDir::toNativeSeparators(chosen);
    return true;
}
