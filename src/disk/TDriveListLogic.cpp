#include "disk/TDriveListLogic.h"

#include "disk/TDeviceModel.h"
#include "settings/Messages.h"
#include "util/Utils.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

QString TDriveListLogic::FieldText(const char* field, std::size_t size)
{
    const auto* end = static_cast<const char*>(std::memchr(field, '\0', size));
    const std::size_t length = end ? static_cast<std::size_t>(end - field) : size;
    return QString::fromUtf8(field, static_cast<qsizetype>(length));
}

bool TDriveListLogic::ReadDriveInfo(const TVantrelApi& api, int32_t id, TDriveInfo& info)
{
    const TDriveInfo* record =
        TVantrelApi::Guarded(api.DiskGetInformation, static_cast<const TDriveInfo*>(nullptr), id);
    if (!record) {
        return false;
    }
    // The record is packed; copy it bytewise instead of reading through the pointer.
    std::memcpy(&info, record, sizeof info);
    return true;
}

QList<TDriveListLogic::TDriveNode> TDriveListLogic::ReadDrives(const TVantrelApi& api)
{
    std::array<std::optional<TDriveInfo>, MaxListedId + 1> table;

    TVantrelApi::Guarded(api.DisksRescan, int32_t{-1});
    const int32_t count =
        std::min<int32_t>(TVantrelApi::Guarded(api.DiskGetCount, int32_t{0}), MaxListedId + 1);
    for (int32_t id = 0; id < count; ++id) {
        TDriveInfo info;
        if (ReadDriveInfo(api, id, info)) {
            table[static_cast<std::size_t>(id)] = info;
        }
    }

    auto nodeFor = [&api](const TDriveInfo& info) {
        TDriveNode node;
        node.Id = info.ID;
        node.Text = FillNodeData(info);
        node.Lettered = info.Letter >= 'A' && info.Letter <= 'Z';
        node.Path = TVantrelApi::GuardedText(api.DiskPath, info.ID);
        if (info.ParentID == -1 && node.Path.startsWith(QStringLiteral("/dev/")))
            node.Text = DeviceNodeText(info, node.Path, TDeviceModel::Of(node.Path));
        return node;
    };

    QList<TDriveNode> devices;
    for (const auto& device : table) {
        if (!device || device->ParentID != -1) {
            continue;
        }
        TDriveNode node = nodeFor(*device);
        for (const auto& drive : table) {
            if (drive && drive->ParentID != -1 && drive->ParentID == device->ID) {
                node.Drives.append(nodeFor(*drive));
            }
        }
        devices.append(node);
    }
    return devices;
}

QString TDriveListLogic::DeviceNodeText(const TDriveInfo& info, const QString& path, const QString& model)
{
    QStringList parts{path};
    if (!model.isEmpty())
        parts << model;
    if (info.SpaceTotal > 0)
        parts << FormatSize(info.SpaceTotal);
    return QStringLiteral("DEVICE_") + QString::number(info.ID) + QStringLiteral(" (") +
           parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString TDriveListLogic::FillNodeData(const TDriveInfo& info)
{
    const QString base = (info.Letter >= 'A' && info.Letter <= 'Z')
                             ? QString(QLatin1Char(info.Letter)) + QLatin1Char(':')
                             : QStringLiteral("DEVICE_") + QString::number(info.ID);
    const QString label = FieldText(info.VolumeLabel);
    return label.isEmpty() ? base : base + QStringLiteral(" (") + label + QLatin1Char(')');
}

QString TDriveListLogic::GetDriveTypeStr(int32_t driveType)
{
    switch (driveType) {
    case 0:
        return QStringLiteral("Unknown");
    case 1:
        return QStringLiteral("No Root");
    case 2:
        return QStringLiteral("Removable");
    case 3:
        return QStringLiteral("Fixed");
    case 4:
        return QStringLiteral("Remote");
    case 5:
        return QStringLiteral("CD-ROM");
    case 6:
        return QStringLiteral("RAM Disk");
    case 16:
        return QStringLiteral("Phisycal");
    case 17:
        return QStringLiteral("Logical");
    case 18:
        return QStringLiteral("Virtual");
    default:
        return QStringLiteral("None");
    }
}

QString TDriveListLogic::SerialText(int64_t serialNumber)
{
    // The bits as stored: a negative value shows as its 64-bit pattern, not with a sign.
    return QStringLiteral("%1").arg(static_cast<quint64>(serialNumber), 8, 16, QLatin1Char('0')).toUpper();
}

QString TDriveListLogic::LetterText(char letter)
{
    // The engine leaves the field 0 when a drive has no letter; never show a NUL or a
    // control character.
    const auto code = static_cast<unsigned char>(letter);
    return (code > 0x20 && code < 0x7F) ? QString(QLatin1Char(letter)) : QString();
}

bool TDriveListLogic::ValidSelection(const QString& nodeText)
{
    return !nodeText.isEmpty() && !nodeText.contains(QStringLiteral("DEVICE"), Qt::CaseSensitive);
}

QString TDriveListLogic::NotReadyHint(const QString& openError, bool runsAsRoot)
{
    const QString rights = Messages::NeedsRights.Text();
    if (openError.isEmpty())
        return runsAsRoot ? Messages::DriveUnreadable.Text() : rights;
    const QString failed = Messages::DriveUnreadableBecause.Text().arg(openError);
    const bool refused = openError == QString::fromLocal8Bit(std::strerror(EACCES)) ||
                         openError == QString::fromLocal8Bit(std::strerror(EPERM));
    return refused && !runsAsRoot ? failed + QLatin1Char(' ') + rights : failed;
}

TDriveListLogic::TDriveInfoTexts TDriveListLogic::InfoTexts(const TDriveInfo& info)
{
    TDriveInfoTexts texts;
    texts.DriveId =
        QString::number(info.ID) + QStringLiteral(" (") + QString::number(info.ParentID) + QLatin1Char(')');
    texts.Letter = LetterText(info.Letter);
    texts.SerialNumber = SerialText(info.SerialNumber);
    texts.VolumeLabel = FieldText(info.VolumeLabel);
    texts.DriveType = GetDriveTypeStr(info.DriveType);
    texts.FileSystem = FieldText(info.FileSystemName);
    texts.TotalSpace = FormatSize(info.SpaceTotal) + QStringLiteral(" (") + FormatBytes(info.SpaceTotal) +
                       QStringLiteral(" bytes)");
    texts.Ready = info.Status != 0;
    texts.Status = texts.Ready ? QStringLiteral("Status") : Messages::DriveNotReady.Text();
    return texts;
}
