#pragma once

#include <QString>

// Whether the file system on a device is mounted for writing. Reading a live file system
// gives results that may change under the reader, and whatever the system writes there
// may overwrite the deleted files being looked for.
class TMountCheck
{
public:
    static inline const QString MountsFile = QStringLiteral("/proc/self/mounts");

    // Where the file system on devicePath is mounted read-write (the first such mount
    // point), or an empty text. A mount matches by its device's path, links resolved, or
    // by device number when both are block devices.
    static QString WritableMountOf(const QString& devicePath, const QString& mountsFile = MountsFile);
};
