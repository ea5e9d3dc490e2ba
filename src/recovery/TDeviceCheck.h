#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// Whether a destination folder lives on the block device being recovered. Writing there
// could overwrite the very clusters that hold the deleted data. The destination's file
// system (of its nearest existing ancestor) is compared by device number with each
// source path that is a block device: the same device, or a partition of the same whole
// disk, counts as the same. Source paths that are files (images) never match: a copy on
// the image's file system does not touch the image's data.
class TDeviceCheck
{
public:
    // True when destination lies on one of the block devices named by sourcePaths.
    static bool OnSourceDevice(const QString& destination, const QStringList& sourcePaths);

    // The device number of the file system holding path or its nearest existing
    // ancestor; false when there is none.
    static bool FileSystemDevice(const QString& path, dev_t& device);
    // The whole disk a block device number belongs to (itself when it is not a partition).
    static dev_t WholeDisk(dev_t device);
};
