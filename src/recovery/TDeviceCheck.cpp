#include "recovery/TDeviceCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

bool TDeviceCheck::FileSystemDevice(const QString& path, dev_t& device)
{
    if (!path.startsWith(QLatin1Char('/')))
        return false;
    QString current = QDir::cleanPath(path);
    for (;;) {
        struct stat status
        {
        };
        if (::stat(QFile::encodeName(current).constData(), &status) == 0) {
            device = status.st_dev;
            return true;
        }
        if (current == QLatin1String("/"))
            return false;
        const qsizetype slash = current.lastIndexOf(QLatin1Char('/'));
        current = slash <= 0 ? QStringLiteral("/") : current.left(slash);
    }
}

dev_t TDeviceCheck::WholeDisk(dev_t device)
{
    // /sys/dev/block/MAJ:MIN links to the device's folder; a partition's folder has a
    // "partition" file and sits inside its disk's folder, whose "dev" names the disk.
    const QString link = QStringLiteral("/sys/dev/block/%1:%2").arg(major(device)).arg(minor(device));
    if (!QFileInfo::exists(link + QStringLiteral("/partition")))
        return device;
    const QString folder = QFileInfo(link).canonicalFilePath();
    if (folder.isEmpty())
        return device;
    QFile devFile(QFileInfo(folder).path() + QStringLiteral("/dev"));
    if (!devFile.open(QIODevice::ReadOnly))
        return device;
    const QList<QByteArray> parts = devFile.readAll().trimmed().split(':');
    bool majorOk = false, minorOk = false;
    if (parts.size() != 2)
        return device;
    const unsigned diskMajor = parts[0].toUInt(&majorOk);
    const unsigned diskMinor = parts[1].toUInt(&minorOk);
    return majorOk && minorOk ? makedev(diskMajor, diskMinor) : device;
}

bool TDeviceCheck::OnSourceDevice(const QString& destination, const QStringList& sourcePaths)
{
    dev_t target = 0;
    if (!FileSystemDevice(destination, target))
        return false;
    const dev_t targetDisk = WholeDisk(target);
    for (const QString& source : sourcePaths) {
        if (source.isEmpty())
            continue;
        struct stat status
        {
        };
        if (::stat(QFile::encodeName(source).constData(), &status) != 0 || !S_ISBLK(status.st_mode))
            continue;
        if (status.st_rdev == target || WholeDisk(status.st_rdev) == targetDisk)
            return true;
    }
    return false;
}
