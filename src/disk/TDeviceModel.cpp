#include "disk/TDeviceModel.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

QString field(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    // One short line; anything that is not plain text is left out.
    QString text = QString::fromLatin1(file.read(128)).simplified();
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return QString();
    }
    return text;
}

} // namespace

QString TDeviceModel::Of(const QString& path, const QString& sysRoot)
{
    if (!path.startsWith(QStringLiteral("/dev/")))
        return QString();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString name = QFileInfo(canonical.isEmpty() ? path : canonical).fileName();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        return QString();
    const QString device = sysRoot + QStringLiteral("/class/block/") + name + QStringLiteral("/device/");
    QStringList parts;
    for (const QString& part :
         {field(device + QStringLiteral("vendor")), field(device + QStringLiteral("model"))}) {
        if (!part.isEmpty() && !parts.contains(part))
            parts << part;
    }
    return parts.join(QLatin1Char(' '));
}
