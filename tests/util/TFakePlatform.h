#pragma once

#include "util/TPlatform.h"

#include <QSet>
#include <QStringList>

#include <stdexcept>

// A platform with scripted answers that records what it was asked; installs itself for
// its lifetime.
class TFakePlatform final : public TPlatform
{
public:
    TFakePlatform() : m_installed(this) {}

    bool OpenDocument(const QString& program, const QString& params, bool maximized) override
    {
        opened.append(program + QLatin1Char('|') + params + (maximized ? QStringLiteral("|max") : QString()));
        return openSucceeds;
    }
    bool FileTypeName(const QString&, uint32_t, QString& typeName) override
    {
        if (typeAnswer.isEmpty())
            return false;
        typeName = typeAnswer;
        return true;
    }
    QString SpecialFolder(int csidl) override { return csidl == 5 ? documents : QString(); }
    uint32_t LogicalDrives() override { return drives; }
    QString ExecutablePath() override { return executable; }
    bool ForceDirectories(const QString& path) override
    {
        created.append(path);
        if (throwOnCreate)
            throw std::runtime_error("device not ready");
        if (!createSucceeds)
            return false;
        folders.insert(path);
        return true;
    }
    bool DirectoryExists(const QString& path) override
    {
        checked.append(path);
        return folders.contains(path);
    }

    bool openSucceeds = true;
    bool createSucceeds = true;
    bool throwOnCreate = false;
    QString typeAnswer;
    QString documents;
    QString executable;
    uint32_t drives = 0;
    QSet<QString> folders;
    QStringList opened, created, checked;

private:
    TInstalled::Scope m_installed;
};
