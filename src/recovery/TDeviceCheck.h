#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// Whether a destination folder lives on the device being recovered. Writing there could
// overwrite the very clusters that hold the deleted data. The destination's file system
// (of its nearest existing ancestor) is compared by device number with each source path
// that is a block device: the same device, or a partition of the same whole disk, counts
// as the same. A source path that is a file (an image) matches when the destination's
// file system lives on a loop device (or a partition of one) backed by that very file,
// compared by device and inode numbers; a copy on the image's own file system does not
// touch the image's data and passes. A destination on a loop device also lies on the
// device that holds its backing file.
//
// Devices are looked up below a sysfs root, "/sys" unless a caller (a test) names another.
class TDeviceCheck
{
public:
    static inline const QString SysRoot = QStringLiteral("/sys");

    // True when destination lies on one of the devices or images named by sourcePaths.
    static bool OnSourceDevice(const QString& destination, const QStringList& sourcePaths,
                               const QString& sysRoot = SysRoot);

    // The device number of the file system holding path or its nearest existing
    // ancestor; false when there is none.
    static bool FileSystemDevice(const QString& path, dev_t& device);
    // The whole disk a block device number belongs to (itself when it is not a partition).
    static dev_t WholeDisk(dev_t device, const QString& sysRoot = SysRoot);
    // The file backing the loop device that device is (or is a partition of); empty when
    // it is no loop device or has no backing file.
    static QString LoopBackingFile(dev_t device, const QString& sysRoot = SysRoot);
};
