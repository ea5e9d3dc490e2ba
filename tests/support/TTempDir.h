#pragma once

#include <QString>
#include <QTemporaryDir>

// A temporary folder that removes itself; every file a test writes goes below it.
class TTempDir
{
public:
    TTempDir();
    QString path() const { return m_dir.path(); }
    // Absolute path of a name inside the folder.
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};
