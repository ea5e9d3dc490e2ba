#pragma once

#include "engine/VantrelLib.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The list of disks the engine offers: block devices of this machine and
// registered image files, each followed by the volumes on it.
// A device or volume that is still there after a rescan keeps its id and letter, so
// an id held across a rescan names the same disk; new ones take the lowest free id
// and letter. What a volume's file system says is probed once and kept until the
// volume changes (other size, modification time, or sectors written to the device).
class TDiskCatalog
{
public:
    struct TEntry
    {
        TDriveInfo info{};
        std::string path;   // device or image file to open
        int64_t offset = 0; // byte offset of the file system inside path
        bool hasFileSystem = false;
        std::string identity;  // what makes this the same disk in the next rescan
        std::string openError; // why path does not open for reading; empty when it does
    };

    // Rebuilds the list. With imagesOnly the machine's block devices are left out.
    void rescan(const std::vector<std::string>& images, bool imagesOnly);
    // Entries in id order; ids may have gaps where a disk went away.
    const std::vector<TEntry>& entries() const { return m_entries; }
    // One past the highest id in use: callers look at ids 0 to idBound() - 1.
    int32_t idBound() const;
    const TEntry* entry(int32_t id) const;

    // True when the library can open path as a disk image.
    static bool canOpenImage(const std::string& path, std::string& error);

private:
    struct TProbe
    {
        std::string stamp; // size, times and write count the probe was made at
        bool hasFileSystem = false;
        TDriveInfo info{};
        bool used = false; // seen in the running rescan
    };

    void addImage(const std::string& path);
    void addBlockDevice(const std::string& name);
    // Adds a volume below the device at deviceIndex and probes its file system. With
    // onlyWithFileSystem a volume the library cannot open is left out.
    void addVolume(size_t deviceIndex, const std::string& path, int64_t offset, int64_t size,
                   int64_t offsetInDevice, int32_t driveType, bool onlyWithFileSystem = false);
    size_t addDevice(const std::string& path, const std::string& label, int32_t driveType);
    const TProbe& probe(const std::string& path, int64_t offset, int64_t size);
    void assignIdsAndLetters(const std::vector<TEntry>& previous);

    std::vector<TEntry> m_entries;
    std::map<std::string, TProbe> m_probes;
};
