#pragma once

#include "disk/TVantrelApi.h"

#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

// The texts and the two-level list of the drive-selection window, kept apart from the
// widgets: physical devices (and disk images) at the top, their logical drives below.
class TDriveListLogic
{
public:
    // Disks with a higher engine id are not listed.
    static constexpr int32_t MaxListedId = 100;

    struct TDriveNode
    {
        int32_t Id = -1;
        QString Text;
        QString Path;          // device or image file behind the disk
        bool Lettered = false; // a logical drive with a letter
        QList<TDriveNode> Drives;
    };

    // The value texts of the information panel for one engine record.
    struct TDriveInfoTexts
    {
        QString DriveId;
        QString Letter;
        QString SerialNumber;
        QString VolumeLabel;
        QString DriveType;
        QString FileSystem;
        QString TotalSpace;
        QString Status;
        bool Ready = false;
    };

    // The hint under the information panel for a disk that does not open. openError is
    // the system's reason; administrator rights are suggested only to a program that
    // lacks them and was refused for want of them.
    static QString NotReadyHint(const QString& openError, bool runsAsRoot);

    // Rescans the engine and builds the list: devices in id order, each followed by
    // its drives in id order. Records whose parent is not a listed device are left out.
    static QList<TDriveNode> ReadDrives(const TVantrelApi& api);

    // Reads the engine record of a disk at once (the engine may reuse its buffer);
    // false when the engine has none.
    static bool ReadDriveInfo(const TVantrelApi& api, int32_t id, TDriveInfo& info);

    // "C: (SYSTEM)", "D:", "DEVICE_0", "DEVICE_3 (DATA)".
    static QString FillNodeData(const TDriveInfo& info);
    // A whole device's node: "DEVICE_<id> (<path>, <model>, <size>)", parts the system does
    // not report left out. It keeps "DEVICE", so it is never taken for a volume.
    static QString DeviceNodeText(const TDriveInfo& info, const QString& path, const QString& model);
    static QString GetDriveTypeStr(int32_t driveType);
    // Upper-case hexadecimal of the 64-bit value, at least eight digits.
    static QString SerialText(int64_t serialNumber);
    // The letter followed by nothing; empty when the record has no letter.
    static QString LetterText(char letter);
    // A node can be scanned unless its text names a device.
    static bool ValidSelection(const QString& nodeText);
    static TDriveInfoTexts InfoTexts(const TDriveInfo& info);

    // A fixed-size text field of an engine record, up to its first NUL or its end.
    static QString FieldText(const char* field, std::size_t size);
    template<std::size_t N> static QString FieldText(const char (&field)[N]) { return FieldText(field, N); }
};
