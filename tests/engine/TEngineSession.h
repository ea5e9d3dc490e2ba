#pragma once

#include "engine/VantrelLib.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// Drives the real engine library the way the program does: register an image,
// rescan, initialise one volume, read the whole record stream, recover entries.
class TEngineSession
{
public:
    struct TEntry
    {
        TFileInfo Info; // header fields only; the name is kept in Name
        QString Name;
        // "/"-separated from the volume root; an entry whose parent is missing or is no folder
        // starts with "#" and the parent's id; empty for a loop.
        QString Path;
    };
    struct TRecovery
    {
        int32_t Result = -1;
        QString Message;
    };

    // Starts from no images, listing images only.
    TEngineSession();
    ~TEngineSession();

    // Registers and rescans; the id of the first volume of the image, or -1.
    int32_t openImage(const QString& path);
    const TDriveInfo* drive(int32_t id) const { return DiskGetInformation(id); }

    // Initialises the volume and reads its stream as the program does (NTFS: count + 1
    // calls, nil for empty slots; others: until nil). False when initialisation fails.
    bool enumerate(int32_t volumeId);
    // The count the engine expects; for a folder walk, as revised after the last record.
    int64_t expected() const { return m_expected; }
    // The count DiskInitialize returned.
    int64_t initialCount() const { return m_initialCount; }
    // Whether a revised count was ever below the records already read.
    bool estimateFellBehind() const { return m_estimateFellBehind; }
    int64_t calls() const { return m_calls; }
    bool isNtfs() const { return m_ntfs; }
    const std::vector<TEntry>& entries() const { return m_entries; }
    // Entries with this path and deletion state.
    std::vector<const TEntry*> find(const QString& path, bool deleted) const;

    // Hands the entry back as the program does (record zeroed, then id, parent id, flags,
    // size and attributes) and waits for the copy to end.
    static TRecovery recover(const TFileInfo& info, const QString& target);
    // The record the program hands back for an entry (for FileRecovery and VantrelFileRead).
    static TFileInfo handBack(const TFileInfo& info);
    // Reads the record's entry from the start with VantrelFileRead in chunks until a read
    // gives nothing more. Result: the bytes read, or -1 when the first read failed.
    static int64_t readAll(const TFileInfo& record, QByteArray& data, int64_t chunk = 1 << 20);
    static TRecovery recoverRaw(const char16_t* target, const TFileInfo* record);
    static TRecovery waitFor(TVantrelHandle handle);

    static QDateTime toDateTime(TFileTime time);

private:
    void buildPaths();

    int64_t m_expected = 0;
    int64_t m_initialCount = 0;
    bool m_estimateFellBehind = false;
    int64_t m_calls = 0;
    bool m_ntfs = false;
    std::vector<TEntry> m_entries;
};
