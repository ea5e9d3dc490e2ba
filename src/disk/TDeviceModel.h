#pragma once

#include <QString>

// The maker and model a block device reports (sysfs: /sys/class/block/<name>/device/vendor
// and model), so the drive selection can tell two disks apart by more than their names.
class TDeviceModel
{
public:
    static inline const QString SysRoot = QStringLiteral("/sys");

    // "Vendor Model" of the device at path (links resolved), trimmed; empty when the system
    // reports neither (an image file, a device without them).
    static QString Of(const QString& path, const QString& sysRoot = SysRoot);
};
