#include "recovery/TDeviceCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

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

namespace {

QString deviceLink(dev_t device, const QString& sysRoot)
{
    return sysRoot + QStringLiteral("/dev/block/%1:%2").arg(major(device)).arg(minor(device));
}

// The sysfs folder of the whole disk device belongs to: its own folder, or for a
// partition the folder it sits in. Empty when sysfs does not know the device.
QString wholeDiskFolder(dev_t device, const QString& sysRoot)
{
    const QString link = deviceLink(device, sysRoot);
    const QString folder = QFileInfo(link).canonicalFilePath();
    if (folder.isEmpty())
        return QString();
    return QFileInfo::exists(folder + QStringLiteral("/partition")) ? QFileInfo(folder).path() : folder;
}

} // namespace

dev_t TDeviceCheck::WholeDisk(dev_t device, const QString& sysRoot)
{
    // /sys/dev/block/MAJ:MIN links to the device's folder; a partition's folder has a
    // "partition" file and sits inside its disk's folder, whose "dev" names the disk.
    if (!QFileInfo::exists(deviceLink(device, sysRoot) + QStringLiteral("/partition")))
        return device;
    const QString folder = wholeDiskFolder(device, sysRoot);
    if (folder.isEmpty())
        return device;
    QFile devFile(folder + QStringLiteral("/dev"));
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

QString TDeviceCheck::LoopBackingFile(dev_t device, const QString& sysRoot)
{
    const QString folder = wholeDiskFolder(device, sysRoot);
    if (folder.isEmpty())
        return QString();
    QFile backing(folder + QStringLiteral("/loop/backing_file"));
    if (!backing.open(QIODevice::ReadOnly))
        return QString();
    // One path and a line feed; the kernel adds " (deleted)" once the file was unlinked.
    QByteArray path = backing.readAll();
    if (path.endsWith('\n'))
        path.chop(1);
    const QByteArray deleted(" (deleted)");
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return QFile::decodeName(path);
}

bool TDeviceCheck::OnSourceDevice(const QString& destination, const QStringList& sourcePaths,
                                  const QString& sysRoot)
{
    dev_t target = 0;
    if (!FileSystemDevice(destination, target))
        return false;

    // The devices the destination's data reaches: its own file system's, and for a loop
    // device the file system of the file backing it, and so on down (bounded, as a
    // chain of loop devices could name itself). Backing files are kept by their numbers:
    // a name can differ (another mount, a link) while the data is the same.
    struct TLayer
    {
        dev_t device;
        dev_t disk;
    };
    std::vector<TLayer> layers;
    std::vector<struct stat> backings;
    dev_t device = target;
    for (int depth = 0; depth < 8; ++depth) {
        layers.push_back({device, WholeDisk(device, sysRoot)});
        const QString backingPath = LoopBackingFile(device, sysRoot);
        struct stat backing
        {
        };
        if (backingPath.isEmpty() || ::stat(QFile::encodeName(backingPath).constData(), &backing) != 0 ||
            !S_ISREG(backing.st_mode))
            break;
        backings.push_back(backing);
        if (backing.st_dev == device)
            break;
        device = backing.st_dev;
    }

    for (const QString& source : sourcePaths) {
        if (source.isEmpty())
            continue;
        struct stat status
        {
        };
        if (::stat(QFile::encodeName(source).constData(), &status) != 0)
            continue;
        if (S_ISBLK(status.st_mode)) {
            const dev_t sourceDisk = WholeDisk(status.st_rdev, sysRoot);
            for (const TLayer& layer : layers) {
                if (status.st_rdev == layer.device || sourceDisk == layer.disk)
                    return true;
            }
        }
        if (S_ISREG(status.st_mode)) {
            for (const struct stat& backing : backings) {
                if (status.st_dev == backing.st_dev && status.st_ino == backing.st_ino)
                    return true;
            }
        }
    }
    return false;
}
