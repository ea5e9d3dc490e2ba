#pragma once

#include "disk/TVantrelApi.h"

#include <QString>

#include <map>
#include <string>
#include <vector>

// A small engine table for the drive windows: a list of disk records, their paths, and
// image registration that either adds a device with its drives or fails.
class TFakeDiskEngine
{
public:
    TFakeDiskEngine();
    ~TFakeDiskEngine();
    TFakeDiskEngine(const TFakeDiskEngine&) = delete;
    TFakeDiskEngine& operator=(const TFakeDiskEngine&) = delete;

    static TDriveInfo MakeDisk(int32_t id, int32_t parentId, char letter, const char* label,
                               const char* fileSystem, int32_t driveType = DRIVE_TYPE_LOGICAL,
                               int32_t status = 1);

    // Adds a record at the index of its id (the engine's count grows to cover it).
    void addDisk(const TDriveInfo& info, const std::string& path = std::string());
    // Ids past the last record still counted, but without a record.
    void setCount(int32_t count) { m_count = count; }

    // What registering an image does: add these records (ids are renumbered after the
    // current ones, the first being the device), or fail with the error text.
    void setImageRecords(std::vector<TDriveInfo> records) { m_imageRecords = std::move(records); }
    void setImageError(const std::string& error) { m_imageError = error; }

    int rescans() const { return m_rescans; }
    const std::vector<std::string>& registered() const { return m_registered; }

private:
    static TFakeDiskEngine* s_active;
    static int32_t disksRescan();
    static int32_t diskGetCount();
    static const TDriveInfo* diskGetInformation(int32_t id);
    static int32_t registerImage(const char* path);
    static const char* diskPath(int32_t id);
    static const char* lastError();

    TVantrelApi m_api{};
    std::map<int32_t, TDriveInfo> m_disks;
    std::map<int32_t, std::string> m_paths;
    TDriveInfo m_returned{};
    int32_t m_count = 0;
    int m_rescans = 0;
    std::vector<TDriveInfo> m_imageRecords;
    std::string m_imageError;
    std::string m_lastError;
    std::vector<std::string> m_registered;
};
