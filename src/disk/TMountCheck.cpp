#include "disk/TMountCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

namespace {

// The mounts file writes blanks, tabs, newlines and backslashes in names as \ooo.
QString unescaped(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && code < 256) {
                out += char(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return QFile::decodeName(out);
}

bool sameDevice(const QString& a, const QString& b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    if (!canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath())
        return true;
    struct stat sa = {}, sb = {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && S_ISBLK(sa.st_mode) && S_ISBLK(sb.st_mode) &&
           sa.st_rdev == sb.st_rdev;
}

} // namespace

QString TMountCheck::WritableMountOf(const QString& devicePath, const QString& mountsFile)
{
    QFile mounts(mountsFile);
    if (devicePath.isEmpty() || !mounts.open(QIODevice::ReadOnly))
        return QString();
    // The mounts file is small; a size cap keeps a strange one from being read whole.
    const QByteArray text = mounts.read(4 * 1024 * 1024);
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || !fields[0].startsWith('/'))
            continue;
        if (!fields[3].split(',').contains("rw"))
            continue;
        if (sameDevice(devicePath, unescaped(fields[0])))
            return unescaped(fields[1]);
    }
    return QString();
}
