#pragma once

#include "util/TOverride.h"
#include <QString>

#include <cstdint>

// The operating-system services the utilities rely on, kept behind one interface so that
// another platform swaps them in one place and tests can fake them.
class TPlatform
{
public:
    virtual ~TPlatform() = default;

    // Opens program (an executable, document, folder or URL) with params; true when started.
    virtual bool OpenDocument(const QString& program, const QString& params, bool maximized) = 0;
    // Description of the file type of a name (no file access); false when none is known.
    virtual bool FileTypeName(const QString& name, uint32_t attributes, QString& typeName) = 0;
    // A key for caching FileTypeName's answers for file names: names with equal keys get
    // equal answers. By default the name itself, which is always safe.
    virtual QString FileTypeKey(const QString& name) { return name; }
    // Path of a special folder by its Windows folder number (5 = documents); empty if none.
    virtual QString SpecialFolder(int csidl) = 0;
    // Bit mask of present drive letters, bit 0 = "A".
    virtual uint32_t LogicalDrives() = 0;
    // Full path of the running executable, empty if unknown.
    virtual QString ExecutablePath() = 0;
    // Creates a folder with all missing levels; true when it exists afterwards.
    virtual bool ForceDirectories(const QString& path) = 0;
    // True when path names an existing folder.
    virtual bool DirectoryExists(const QString& path) = 0;

    // The platform in use; without an installed one, the native platform.
    static TPlatform& Current();
    // The platform in use while a scope of it lasts.
    using TInstalled = TOverride<TPlatform, TPlatform*>;
};
