#include "disk/TSourceArgument.h"

#include "disk/TVantrelApi.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

namespace {

bool parseNumber(QStringView digits, int64_t limit, int64_t& value)
{
    if (digits.isEmpty() || digits.size() > 10) {
        return false;
    }
    int64_t result = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
        result = result * 10 + (c.unicode() - '0');
    }
    if (result > limit) {
        return false;
    }
    value = result;
    return true;
}

QString pathOfDisk(const TVantrelApi& api, int32_t id)
{
    const char* path = api.DiskPath ? api.DiskPath(id) : nullptr;
    return path ? QString::fromUtf8(path) : QString();
}

} // namespace

bool TSourceArgument::Parse(const QString& text, TSourceArgument& spec, QString& error)
{
    spec = TSourceArgument();
    spec.m_text = text;
    if (text.isEmpty()) {
        error = QStringLiteral("An empty source was given; name an image file, IMAGE@N, a drive letter such "
                               "as D: or an engine id such as #3.");
        return false;
    }

    if (text.startsWith(QLatin1Char('#'))) {
        int64_t id = 0;
        if (!parseNumber(QStringView(text).mid(1), INT32_MAX, id)) {
            error = QStringLiteral("\"%1\" is not an engine id; write # followed by the id that "
                                   "'brevant-cli drives' shows, e.g. #3.")
                        .arg(text);
            return false;
        }
        spec.m_kind = Kind::EngineId;
        spec.m_engineId = static_cast<int32_t>(id);
        return true;
    }

    // "D:" or "D:\" names a drive letter; a file of that name is not looked for.
    const bool letterForm = (text.size() == 2 || (text.size() == 3 && text[2] == QLatin1Char('\\'))) &&
                            text[1] == QLatin1Char(':') && text[0].isLetter() && text[0].unicode() < 128;
    if (letterForm) {
        spec.m_kind = Kind::DriveLetter;
        spec.m_letter = static_cast<char>(text[0].toUpper().unicode());
        return true;
    }

    // "IMAGE@N", unless the whole text is the name of an existing file.
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    if (at > 0 && !QFileInfo(text).isFile()) {
        const QStringView suffix = QStringView(text).mid(at + 1);
        int64_t volume = 0;
        if (parseNumber(suffix, INT32_MAX, volume)) {
            if (volume < 1) {
                error = QStringLiteral("\"%1\": volumes are counted from 1; write IMAGE@1 for the first.")
                            .arg(text);
                return false;
            }
            spec.m_kind = Kind::ImageVolume;
            spec.m_imagePath = text.left(at);
            spec.m_volume = static_cast<int>(volume);
            return true;
        }
    }

    spec.m_kind = Kind::Image;
    spec.m_imagePath = text;
    return true;
}

QString TSourceArgument::canonicalPath(const QString& path)
{
    if (path.isEmpty()) {
        return QString();
    }
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

int32_t TSourceArgument::Resolve(const TVantrelApi& api, QString& error) const
{
    switch (m_kind) {
    case Kind::EngineId:
        if (!api.DiskGetInformation(m_engineId)) {
            error = QStringLiteral("The engine has no disk with id %1; 'brevant-cli drives' lists the ids.")
                        .arg(m_engineId);
            return -1;
        }
        return m_engineId;
    case Kind::DriveLetter: {
        const int32_t count = api.DiskGetCount();
        for (int32_t id = 0; id < count; ++id) {
            const TDriveInfo* info = api.DiskGetInformation(id);
            if (info && info->Letter == m_letter) {
                return id;
            }
        }
        error = QStringLiteral("There is no drive %1:. Run 'brevant-cli drives' to see the drives; without "
                               "--devices only the images named on the command line are listed.")
                    .arg(QLatin1Char(m_letter));
        return -1;
    }
    case Kind::Image:
    case Kind::ImageVolume:
        return resolveImage(api, error);
    }
    return -1;
}

int32_t TSourceArgument::resolveImage(const TVantrelApi& api, QString& error) const
{
    const QString wanted = canonicalPath(m_imagePath);
    const int32_t count = api.DiskGetCount();

    // The image is a device of its own; its volumes are the disks below it, in id order.
    int32_t deviceId = -1;
    for (int32_t id = 0; id < count && deviceId < 0; ++id) {
        const TDriveInfo* info = api.DiskGetInformation(id);
        if (info && info->ParentID == -1 && canonicalPath(pathOfDisk(api, id)) == wanted) {
            deviceId = info->ID;
        }
    }
    std::vector<int32_t> volumes;
    std::vector<char> letters;
    for (int32_t id = 0; id < count; ++id) {
        const TDriveInfo* info = api.DiskGetInformation(id);
        if (!info || info->ParentID == -1) {
            continue;
        }
        const bool below =
            deviceId >= 0 ? info->ParentID == deviceId : canonicalPath(pathOfDisk(api, id)) == wanted;
        if (below) {
            volumes.push_back(id);
            letters.push_back(info->Letter);
        }
    }

    if (volumes.empty()) {
        error = deviceId < 0
                    ? QStringLiteral("The image \"%1\" is not among the engine's disks.").arg(m_imagePath)
                    : QStringLiteral("The image \"%1\" holds no volume the engine can read; check that "
                                     "it is a disk or volume image.")
                          .arg(m_imagePath);
        return -1;
    }
    if (m_kind == Kind::ImageVolume) {
        if (m_volume > static_cast<int>(volumes.size())) {
            error = QStringLiteral("The image \"%1\" has %2 volume(s); choose a number from 1 to %2.")
                        .arg(m_imagePath)
                        .arg(volumes.size());
            return -1;
        }
        return volumes[static_cast<size_t>(m_volume - 1)];
    }
    for (size_t i = 0; i < volumes.size(); ++i) {
        if (letters[i] != 0) {
            return volumes[i];
        }
    }
    error = QStringLiteral("The image \"%1\" holds no volume with a file system this program reads; name a "
                           "volume with IMAGE@N to try one anyway.")
                .arg(m_imagePath);
    return -1;
}
