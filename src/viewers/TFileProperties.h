#pragma once

#include "engine/VantrelLib.h"
#include "util/Utils.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class TBaseElement;

// The texts the file properties window shows for one element: name, id, status,
// type, location, size, size on disk, the three dates, and which of its five icons
// stands for the element.
class TFileProperties
{
public:
    // Size on disk assumes this cluster size; the drive's real one is not consulted.
    static constexpr int64_t ClusterSize = 4096;

    // The window's icons, in the order of its image controls.
    enum Icon
    {
        fpLiveFile = 0,
        fpDeletedFile = 1,
        fpLiveFolder = 2,
        fpFolderWithDeleted = 3,
        fpDeletedFolder = 4
    };

    explicit TFileProperties(const TBaseElement& element, const QLocale& locale = QLocale::system());

    QString Caption;  // "<name> Properties"
    QString Name;     // GetName
    QString Id;       // TrueID in decimal
    QString Status;   // "Deleted", "Live, but contain deleted" or "Live"
    QString Found;    // how the element was found, and whether its content is gone
    QString Type;     // GetFileType
    QString Location; // the parent's path, "\" without a parent
    QString Size;
    QString SizeOnDisk;
    QString Created;
    QString Modified;
    QString Accessed;
    // The Recovery page: shown for a rated deleted file only.
    bool HasRecovery = false;
    QString RecoveryVerdict; // "Possible", "Partially possible" or "Impossible"
    QString RecoveryDetails; // the rating and its reason
    Icon ImageIndex;
    // For a deleted file some of whose clusters are in use (partial, overwritten, guess):
    // the record that asks the engine which live files hold them; null for other elements.
    std::shared_ptr<const TFileInfo> OwnersRecord;

    // The engine's answer on the live files holding a deleted file's clusters.
    struct TOwners
    {
        int Count = -1;    // owners found; -1 when the engine could not tell
        QStringList Paths; // the first of them, then "and N more" when there are more
        QString Error;     // why not, when Count is -1
    };
    // Asks the engine in use. It walks the volume's live entries: call it off the GUI thread.
    static TOwners FindOwners(const TFileInfo& record);
    // The answer as the Recovery page's details add it.
    static QString OwnersText(const TOwners& owners);

    static Icon IconOf(const TBaseElement& element);
    static QString StatusOf(const TBaseElement& element);
    static QString FoundOf(const TBaseElement& element);
    // Whether the file comes back as it was: "Possible", "Partially possible", "Impossible";
    // empty for an element without a rating.
    static QString VerdictOf(const TBaseElement& element);
    static QString LocationOf(const TBaseElement& element);
    // FormatSize + " (" + FormatBytes + " bytes)".
    static QString SizeText(int64_t size, const QLocale& locale = QLocale::system());
    // The size rounded up to whole clusters; the size itself when it is already a
    // whole number of clusters, negative, or too large to round up.
    static int64_t RoundedSize(int64_t size);
    // The size line for a whole number of clusters; otherwise the rounded size with a
    // blank after the opening parenthesis.
    static QString SizeOnDiskText(int64_t size, const QLocale& locale = QLocale::system());
    // Short date, then a blank and the long time unless the time is 00:00:00; empty for
    // a value that is no calendar date or records no time (IsUnknownDateTime).
    static QString DateTimeText(TDateTime value, const QLocale& locale = QLocale::system());
};
