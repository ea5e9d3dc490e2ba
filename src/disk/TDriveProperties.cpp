#include "disk/TDriveProperties.h"

#include "settings/Messages.h"
#include "util/Utils.h"

#include <cstring>

const std::array<TDriveCapability, TDriveProperties::CapabilityCount>& TDriveProperties::Capabilities()
{
    static const std::array<TDriveCapability, CapabilityCount> list = {{
        {"CapabilitiesEdit1", "Named streams:", FILE_NAMED_STREAMS},
        {"CapabilitiesEdit2", "Read only:", FILE_READ_ONLY_VOLUME},
        {"CapabilitiesEdit3", "Object Identifiers:", FILE_SUPPORTS_OBJECT_IDS},
        {"CapabilitiesEdit4", "Reparse Points:", FILE_SUPPORTS_REPARSE_POINTS},
        {"CapabilitiesEdit5", "Sparse Files:", FILE_SUPPORTS_SPARSE_FILES},
        {"CapabilitiesEdit6", "Disk Quotas:", FILE_VOLUME_QUOTAS},
        {"CapabilitiesEdit7", "Preserves the case of file names:", FILE_CASE_PRESERVED_NAMES},
        {"CapabilitiesEdit8", "Case-sensitive file names:", FILE_CASE_SENSITIVE_SEARCH},
        {"CapabilitiesEdit9", "File-based compression:", FILE_FILE_COMPRESSION},
        {"CapabilitiesEdit10", "Encrypted File System (EFS):", FILE_SUPPORTS_ENCRYPTION},
        {"CapabilitiesEdit11", "Preserves and enforces ACLs:", FILE_PERSISTENT_ACLS},
        {"CapabilitiesEdit12", "Unicode in file names as they appear on disk:", FILE_UNICODE_ON_DISK},
        {"CapabilitiesEdit13", "Compressed volume:", FILE_VOLUME_IS_COMPRESSED},
    }};
    return list;
}

TDriveProperties::TDriveProperties(const TDriveInfo& info, const QLocale& locale)
{
    auto spaceText = [&](int64_t size) {
        return FormatSize(size) + QStringLiteral(" (") + FormatBytes(size, locale) +
               QStringLiteral(" bytes)");
    };
    Letter = LetterText(info) + QStringLiteral(":  (") + QString::number(info.ID) + QLatin1Char(')');
    FileSystem = FieldText(info.FileSystemName, sizeof(info.FileSystemName));
    Status = info.Status != 0 ? Messages::DriveReady.Text() : Messages::DriveNotReady.Text();
    VolumeLabel = FieldText(info.VolumeLabel, sizeof(info.VolumeLabel));
    OEMId = FieldText(info.OEM_ID, sizeof(info.OEM_ID));
    SerialNumber = SerialText(info.SerialNumber);
    TotalSpace = spaceText(info.SpaceTotal);
    // The engine reports -1 for a file system whose free space it cannot read at once.
    FreeSpace = info.SpaceFree >= 0 ? spaceText(info.SpaceFree) : Messages::Unknown.Text();
    SectorsPerCluster = QString::number(info.SectorsPerCluster);
    BytesPerSector = QString::number(info.BytesPerSector);
    BytesPerCluster = QString::number(info.BytesPerCluster);
    OffsetInPhysical =
        info.OffsetInPhysical > 0 ? QString::number(info.OffsetInPhysical) : Messages::Unknown.Text();
    const uint32_t flags = static_cast<uint32_t>(info.FileSystemFlags);
    for (const TDriveCapability& capability : Capabilities())
        CapabilityValues.append(YesNo(flags & capability.Bit));
}

QString TDriveProperties::Caption(const TDriveInfo& info, const QString& caption)
{
    return LetterText(info) + QStringLiteral(": ") + caption;
}

QString TDriveProperties::YesNo(bool value)
{
    return value ? Messages::Yes.Text() : Messages::No.Text();
}

QString TDriveProperties::FieldText(const char* field, size_t size)
{
    // The engine's fields need not end in NUL when the text fills them.
    const void* nul = std::memchr(field, 0, size);
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size;
    return QString::fromUtf8(field, static_cast<qsizetype>(length));
}

QString TDriveProperties::LetterText(const TDriveInfo& info)
{
    // A record without a letter carries 0 there; that must not end up in the text.
    const unsigned char letter = static_cast<unsigned char>(info.Letter);
    if (letter < 0x21 || letter > 0x7e)
        return QString();
    return QString(QLatin1Char(static_cast<char>(letter)));
}

QString TDriveProperties::SerialText(int64_t serial)
{
    // Serial numbers are unsigned; a 64-bit one with its top bit set is shown in full.
    return QString::number(static_cast<quint64>(serial), 16).toUpper().rightJustified(8, QLatin1Char('0'));
}
