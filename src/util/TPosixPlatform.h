#pragma once

#include "util/TPlatform.h"

#include <QHash>
#include <QMutex>
#include <QStringList>

// The platform on Linux and other POSIX desktops: the desktop's default handler opens
// documents, the MIME database names file types, there are no drive letters, and
// only absolute POSIX paths name folders.
class TPosixPlatform : public TPlatform
{
public:
    bool OpenDocument(const QString& program, const QString& params, bool maximized) override;
    bool FileTypeName(const QString& name, uint32_t attributes, QString& typeName) override;
    // The text from the name's last dot on, unless a pattern of the MIME database that
    // looks at more of the name could match it (see FileTypeKey in the source).
    QString FileTypeKey(const QString& name) override;
    QString SpecialFolder(int csidl) override;
    uint32_t LogicalDrives() override;
    QString ExecutablePath() override;
    bool ForceDirectories(const QString& path) override;
    bool DirectoryExists(const QString& path) override;

    // The command that opens program with params: the program itself when it is an
    // executable file, otherwise the desktop opener for an existing document or folder, a
    // URL, or the folder given to "explorer.exe". False when nothing can be opened.
    static bool OpenCommand(const QString& program, const QString& params, QString& executable,
                            QStringList& arguments);

private:
    // Type descriptions by MIME type name; the database loads them from disk on demand.
    QHash<QString, QString> m_typeNames;
    QMutex m_typeNamesLock;
};
