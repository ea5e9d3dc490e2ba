#pragma once

#include "engine/VantrelLib.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// One capability a file system reports in its volume flags, as the drive properties
// window lists it.
struct TDriveCapability
{
    const char* Field;   // name of the value field
    const char* Caption; // label text
    uint32_t Bit;        // bit of TDriveInfo::FileSystemFlags
};

// The texts the drive properties window shows for one engine drive record.
class TDriveProperties
{
public:
    static constexpr int CapabilityCount = 13;
    // The capabilities in the order the window lists them.
    static const std::array<TDriveCapability, CapabilityCount>& Capabilities();

    explicit TDriveProperties(const TDriveInfo& info, const QLocale& locale = QLocale::system());

    QString Letter;       // "C:  (3)"
    QString FileSystem;   // FileSystemName
    QString Status;       // "Ready" / "Not ready"
    QString VolumeLabel;  // VolumeLabel
    QString OEMId;        // OEM_ID
    QString SerialNumber; // upper-case hexadecimal, at least 8 digits
    QString TotalSpace;   // FormatSize + " (" + FormatBytes + " bytes)"
    QString FreeSpace;
    QString SectorsPerCluster;
    QString BytesPerSector;
    QString BytesPerCluster;
    QString OffsetInPhysical;     // decimal, or "Unknown" when not above 0
    QStringList CapabilityValues; // "Yes"/"No", one per entry of Capabilities()

    // The window caption for a drive: "C: " + caption.
    static QString Caption(const TDriveInfo& info, const QString& caption);
    static QString YesNo(bool value);
    // Text of a fixed-size character field, up to its first NUL or its end.
    static QString FieldText(const char* field, size_t size);
    // The drive letter as text; empty when the record has none.
    static QString LetterText(const TDriveInfo& info);
    static QString SerialText(int64_t serial);
};
