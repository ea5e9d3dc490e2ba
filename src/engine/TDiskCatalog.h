#pragma once

#include "engine/VantrelLib.h"

#include <cstdint>
#include <string>
#include <vector>

// The list of disks the engine offers: block devices of this machine and
// registered image files, each followed by the volumes on it.
class TDiskCatalog
{
public:
    struct TEntry
    {
        TDriveInfo info{};
        std::string path;   // device or image file to open
        int64_t offset = 0; // byte offset of the file system inside path
        bool hasFileSystem = false;
    };

    // Rebuilds the list. With imagesOnly the machine's block devices are left out.
    void rescan(const std::vector<std::string>& images, bool imagesOnly);
    const std::vector<TEntry>& entries() const { return m_entries; }
    const TEntry* entry(int32_t id) const;

    // True when the library can open path as a disk image.
    static bool canOpenImage(const std::string& path, std::string& error);

private:
    void addImage(const std::string& path);
    void addBlockDevice(const std::string& name);
    // Adds a volume below the device at deviceIndex and probes its file system.
    void addVolume(size_t deviceIndex, const std::string& path, int64_t offset, int64_t size,
                   int64_t offsetInDevice, int32_t driveType);
    size_t addDevice(const std::string& path, const std::string& label, int32_t driveType);
    void assignIdsAndLetters();

    std::vector<TEntry> m_entries;
};
