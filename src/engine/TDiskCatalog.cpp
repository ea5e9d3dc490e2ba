#include "engine/TDiskCatalog.h"

#include "engine/TTextCodec.h"
#include "engine/TTskVolume.h"
#include "engine/TVolumeProbe.h"
#include "engine/format/TLittleEndian.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Whether a GUID partition table, where the image has one, asks for a sane number of
// entries of a sane size. The library walks whatever count the header gives, and a
// damaged header claiming four billion entries keeps it busy for minutes; such a table
// is not read, and the image stands as one volume.
bool partitionTableBounded(TSK_IMG_INFO* image)
{
    constexpr uint32_t MaxEntries = 16384;
    for (const int64_t sector : {int64_t{512}, int64_t{4096}}) {
        uint8_t header[92] = {};
        if (tsk_img_read(image, sector, reinterpret_cast<char*>(header), sizeof header) !=
                static_cast<ssize_t>(sizeof header) ||
            std::memcmp(header, "EFI PART", 8) != 0)
            continue;
        const uint32_t entries = TLittleEndian::U32(header + 80);
        const uint32_t entrySize = TLittleEndian::U32(header + 84);
        if (entries > MaxEntries || entrySize < 128 || entrySize > 4096 || entrySize % 8 != 0 ||
            static_cast<int64_t>(entries) * entrySize > image->size)
            return false;
    }
    return true;
}

std::string readSysText(const std::string& path)
{
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

int64_t readSysNumber(const std::string& path)
{
    const std::string text = readSysText(path);
    return text.empty() ? -1 : std::strtoll(text.c_str(), nullptr, 10);
}

std::vector<std::string> listDirectory(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.emplace_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether path opens for reading; devices without a medium or without permission do not.
// On failure error holds the system's reason.
bool readable(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    ::close(fd);
    error.clear();
    return true;
}

// What tells one file or device from another and whether it changed: identity, size,
// modification time, and for a block device the sectors written to it since boot.
struct TFileStamp
{
    std::string identity; // device number, or file system and inode
    std::string change;   // size, times, writes
};

TFileStamp fileStamp(const std::string& path)
{
    TFileStamp stamp;
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        stamp.identity = "missing";
        return stamp;
    }
    if (S_ISBLK(st.st_mode)) {
        stamp.identity = "b" + std::to_string(st.st_rdev);
        // Field 7 of the block statistics: sectors written since boot.
        std::ifstream in("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                         std::to_string(minor(st.st_rdev)) + "/stat");
        std::string field;
        for (int i = 0; i < 7 && (in >> field); ++i) {
        }
        stamp.change = "w" + field;
    } else {
        stamp.identity = "f" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    stamp.change += " s" + std::to_string(st.st_size) + " m" + std::to_string(st.st_mtim.tv_sec) + "." +
                    std::to_string(st.st_mtim.tv_nsec);
    return stamp;
}

} // namespace

int32_t TDiskCatalog::idBound() const
{
    return m_entries.empty() ? 0 : m_entries.back().info.ID + 1;
}

const TDiskCatalog::TEntry* TDiskCatalog::entry(int32_t id) const
{
    const auto found =
        std::lower_bound(m_entries.begin(), m_entries.end(), id,
                         [](const TEntry& entry, int32_t wanted) { return entry.info.ID < wanted; });
    return found != m_entries.end() && found->info.ID == id ? &*found : nullptr;
}

bool TDiskCatalog::canOpenImage(const std::string& path, std::string& error)
{
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    tsk_error_reset();
    std::string reason;
    TSK_IMG_INFO* image = TTskVolume::openImage(path, reason);
    if (image == nullptr) {
        error = "Cannot open " + path + " as a disk image: " + reason;
        return false;
    }
    tsk_img_close(image);
    return true;
}

void TDiskCatalog::rescan(const std::vector<std::string>& images, bool imagesOnly)
{
    const std::vector<TEntry> previous = std::move(m_entries);
    m_entries.clear();
    for (auto& [key, probe] : m_probes) {
        probe.used = false;
    }
    if (!imagesOnly) {
        for (const std::string& name : listDirectory("/sys/block")) {
            addBlockDevice(name);
        }
    }
    for (const std::string& path : images) {
        addImage(path);
    }
    std::erase_if(m_probes, [](const auto& item) { return !item.second.used; });
    assignIdsAndLetters(previous);
}

size_t TDiskCatalog::addDevice(const std::string& path, const std::string& label, int32_t driveType)
{
    TEntry device;
    device.path = path;
    device.identity = path + " " + fileStamp(path).identity;
    device.info.DriveType = driveType;
    device.info.ParentID = -1;
    TTextCodec::copyToField(label, device.info.VolumeLabel, sizeof device.info.VolumeLabel);
    m_entries.push_back(device);
    return m_entries.size() - 1;
}

void TDiskCatalog::addImage(const std::string& path)
{
    const size_t device = addDevice(path, baseName(path), DRIVE_TYPE_VIRTUAL);
    std::vector<std::pair<int64_t, int64_t>> volumes; // offset, size
    {
        std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
        tsk_error_reset();
        std::string reason;
        TSK_IMG_INFO* image = TTskVolume::openImage(path, reason);
        if (image == nullptr) {
            tsk_error_reset();
            return;
        }
        TDriveInfo& info = m_entries[device].info;
        info.Status = 1;
        info.SpaceTotal = image->size;
        info.BytesPerSector = static_cast<int32_t>(image->sector_size ? image->sector_size : 512);
        info.TotalSectors = image->size / info.BytesPerSector;
        TSK_VS_INFO* vs = partitionTableBounded(image) ? tsk_vs_open(image, 0, TSK_VS_TYPE_DETECT) : nullptr;
        if (vs != nullptr) {
            for (TSK_PNUM_T i = 0; i < vs->part_count; ++i) {
                const TSK_VS_PART_INFO* part = tsk_vs_part_get(vs, i);
                if (part != nullptr && (part->flags & TSK_VS_PART_FLAG_ALLOC)) {
                    volumes.emplace_back(static_cast<int64_t>(part->start) * vs->block_size,
                                         static_cast<int64_t>(part->len) * vs->block_size);
                }
            }
            tsk_vs_close(vs);
        }
        tsk_error_reset();
        tsk_img_close(image);
        if (volumes.empty()) {
            volumes.emplace_back(0, info.SpaceTotal);
        }
    }
    for (const auto& [offset, size] : volumes) {
        addVolume(device, path, offset, size, offset, DRIVE_TYPE_LOGICAL);
    }
}

void TDiskCatalog::addBlockDevice(const std::string& name)
{
    if (name.starts_with("ram") || name.starts_with("zram")) {
        return;
    }
    const std::string sys = "/sys/block/" + name;
    if (name.starts_with("loop") && readSysText(sys + "/loop/backing_file").empty()) {
        return;
    }
    const std::string path = "/dev/" + name;
    std::string label = readSysText(sys + "/device/model");
    if (label.empty()) {
        label = name;
    }
    const size_t device = addDevice(path, label, DRIVE_TYPE_PHYSICAL);
    const int64_t sectors = readSysNumber(sys + "/size"); // always 512-byte units
    const int64_t logical = readSysNumber(sys + "/queue/logical_block_size");
    TDriveInfo& info = m_entries[device].info;
    info.Status = readable(path, m_entries[device].openError) ? 1 : 0;
    info.SpaceTotal = sectors > 0 ? sectors * 512 : 0;
    info.BytesPerSector = static_cast<int32_t>(logical > 0 ? logical : 512);
    info.TotalSectors = info.SpaceTotal / info.BytesPerSector;
    const int32_t volumeType =
        readSysNumber(sys + "/removable") == 1 ? DRIVE_TYPE_REMOVABLE : DRIVE_TYPE_FIXED;

    struct TPartition
    {
        int64_t number, start, size;
        std::string name;
    };
    std::vector<TPartition> partitions;
    for (const std::string& child : listDirectory(sys)) {
        const int64_t number = readSysNumber(sys + "/" + child + "/partition");
        if (child.starts_with(name) && number > 0) {
            partitions.push_back({number, readSysNumber(sys + "/" + child + "/start"),
                                  readSysNumber(sys + "/" + child + "/size"), child});
        }
    }
    std::sort(partitions.begin(), partitions.end(),
              [](const TPartition& a, const TPartition& b) { return a.number < b.number; });
    if (partitions.empty()) {
        // The whole device holds a file system, or nothing we can list.
        if (info.Status != 0 && info.SpaceTotal > 0) {
            addVolume(device, path, 0, info.SpaceTotal, 0, volumeType, true);
        }
        return;
    }
    for (const TPartition& part : partitions) {
        addVolume(device, "/dev/" + part.name, 0, std::max<int64_t>(0, part.size) * 512,
                  std::max<int64_t>(0, part.start) * 512, volumeType);
    }
}

const TDiskCatalog::TProbe& TDiskCatalog::probe(const std::string& path, int64_t offset, int64_t size)
{
    const std::string key = path + "@" + std::to_string(offset) + "+" + std::to_string(size);
    const TFileStamp stamp = fileStamp(path);
    const std::string current = stamp.identity + " " + stamp.change;
    TProbe& probe = m_probes[key];
    probe.used = true;
    if (probe.stamp == current) {
        return probe;
    }
    probe = TProbe{current, false, {}, true};
    std::string error;
    if (std::shared_ptr<TTskVolume> opened = TTskVolume::open(path, offset, error)) {
        probe.hasFileSystem = true;
        TVolumeProbe::fill(*opened, probe.info);
    }
    return probe;
}

void TDiskCatalog::addVolume(size_t deviceIndex, const std::string& path, int64_t offset, int64_t size,
                             int64_t offsetInDevice, int32_t driveType, bool onlyWithFileSystem)
{
    const TProbe& probed = probe(path, offset, size);
    if (onlyWithFileSystem && !probed.hasFileSystem) {
        return;
    }
    TEntry volume;
    volume.path = path;
    volume.offset = offset;
    volume.identity = m_entries[deviceIndex].identity + " " + path + "@" + std::to_string(offsetInDevice) +
                      "+" + std::to_string(size);
    volume.info.DriveType = driveType;
    volume.info.ParentID = static_cast<int32_t>(deviceIndex); // turned into the device's id later
    volume.info.OffsetInPhysical = offsetInDevice;
    volume.info.SpaceTotal = size;
    volume.info.BytesPerSector = m_entries[deviceIndex].info.BytesPerSector;
    volume.info.TotalSectors = volume.info.BytesPerSector > 0 ? size / volume.info.BytesPerSector : 0;
    if (probed.hasFileSystem) {
        // The probe fills the file-system fields only; the ones set above are kept.
        TDriveInfo info = probed.info;
        info.DriveType = volume.info.DriveType;
        info.ParentID = volume.info.ParentID;
        info.OffsetInPhysical = volume.info.OffsetInPhysical;
        volume.info = info;
        volume.hasFileSystem = true;
        volume.info.Status = 1;
    } else {
        volume.info.Status = readable(path, volume.openError) ? 1 : 0;
    }
    m_entries.push_back(volume);
}

void TDiskCatalog::assignIdsAndLetters(const std::vector<TEntry>& previous)
{
    std::map<std::string, const TEntry*> known;
    for (const TEntry& entry : previous) {
        known.emplace(entry.identity, &entry);
    }
    // Unchanged disks first keep what they had, then new ones take the lowest free id
    // and letter in list order.
    std::vector<bool> idTaken;
    std::vector<int32_t> ids(m_entries.size(), -1);
    bool letterTaken[26] = {};
    for (size_t i = 0; i < m_entries.size(); ++i) {
        TEntry& entry = m_entries[i];
        entry.info.Letter = 0;
        const auto found = known.find(entry.identity);
        if (found == known.end()) {
            continue;
        }
        const int32_t id = found->second->info.ID;
        if (static_cast<size_t>(id) >= idTaken.size()) {
            idTaken.resize(static_cast<size_t>(id) + 1, false);
        }
        if (!idTaken[static_cast<size_t>(id)]) {
            idTaken[static_cast<size_t>(id)] = true;
            ids[i] = id;
        }
        const char letter = found->second->info.Letter;
        if (entry.hasFileSystem && entry.info.ParentID >= 0 && letter >= 'C' && letter <= 'Z' &&
            !letterTaken[letter - 'A']) {
            letterTaken[letter - 'A'] = true;
            entry.info.Letter = letter;
        }
    }
    size_t nextFree = 0;
    char nextLetter = 'C';
    for (size_t i = 0; i < m_entries.size(); ++i) {
        TEntry& entry = m_entries[i];
        if (ids[i] < 0) {
            while (nextFree < idTaken.size() && idTaken[nextFree]) {
                ++nextFree;
            }
            if (nextFree >= idTaken.size()) {
                idTaken.resize(nextFree + 1, false);
            }
            idTaken[nextFree] = true;
            ids[i] = static_cast<int32_t>(nextFree);
        }
        if (entry.hasFileSystem && entry.info.ParentID >= 0 && entry.info.Letter == 0) {
            while (nextLetter <= 'Z' && letterTaken[nextLetter - 'A']) {
                ++nextLetter;
            }
            if (nextLetter <= 'Z') {
                letterTaken[nextLetter - 'A'] = true;
                entry.info.Letter = nextLetter;
            }
        }
    }
    // A volume's ParentID held the index of its device until now.
    for (size_t i = 0; i < m_entries.size(); ++i) {
        TDriveInfo& info = m_entries[i].info;
        info.ID = ids[i];
        if (info.ParentID >= 0) {
            info.ParentID = ids[static_cast<size_t>(info.ParentID)];
        }
    }
    std::sort(m_entries.begin(), m_entries.end(),
              [](const TEntry& a, const TEntry& b) { return a.info.ID < b.info.ID; });
}
