#include "TFakeDiskEngine.h"

#include <algorithm>
#include <cstring>

TFakeDiskEngine* TFakeDiskEngine::s_active = nullptr;

TFakeDiskEngine::TFakeDiskEngine()
{
    m_api.DisksRescan = &disksRescan;
    m_api.DiskGetCount = &diskGetCount;
    m_api.DiskGetInformation = &diskGetInformation;
    m_api.RegisterImage = &registerImage;
    m_api.DiskPath = &diskPath;
    m_api.LastError = &lastError;
    s_active = this;
    TVantrelApi::Install(&m_api);
}

TFakeDiskEngine::~TFakeDiskEngine()
{
    TVantrelApi::Install(nullptr);
    s_active = nullptr;
}

TDriveInfo TFakeDiskEngine::MakeDisk(int32_t id, int32_t parentId, char letter, const char* label,
                                     const char* fileSystem, int32_t driveType, int32_t status)
{
    TDriveInfo info{};
    info.ID = id;
    info.ParentID = parentId;
    info.Letter = letter;
    std::strncpy(info.VolumeLabel, label, sizeof info.VolumeLabel);
    std::strncpy(info.FileSystemName, fileSystem, sizeof info.FileSystemName);
    info.DriveType = driveType;
    info.Status = status;
    return info;
}

void TFakeDiskEngine::addDisk(const TDriveInfo& info, const std::string& path)
{
    m_disks[info.ID] = info;
    if (!path.empty()) {
        m_paths[info.ID] = path;
    }
    m_count = std::max(m_count, info.ID + 1);
}

int32_t TFakeDiskEngine::disksRescan()
{
    ++s_active->m_rescans;
    return s_active->m_count;
}

int32_t TFakeDiskEngine::diskGetCount()
{
    return s_active->m_count;
}

const TDriveInfo* TFakeDiskEngine::diskGetInformation(int32_t id)
{
    const auto it = s_active->m_disks.find(id);
    if (it == s_active->m_disks.end()) {
        return nullptr;
    }
    // One buffer, overwritten by the next call, as the real engine may do.
    s_active->m_returned = it->second;
    return &s_active->m_returned;
}

int32_t TFakeDiskEngine::registerImage(const char* path)
{
    TFakeDiskEngine& e = *s_active;
    e.m_registered.emplace_back(path);
    if (!e.m_imageError.empty() || e.m_imageRecords.empty()) {
        e.m_lastError = e.m_imageError;
        return -1;
    }
    const int32_t first = e.m_count;
    for (TDriveInfo info : e.m_imageRecords) {
        const int32_t oldId = info.ID;
        info.ID = first + (oldId - e.m_imageRecords.front().ID);
        if (info.ParentID != -1) {
            info.ParentID = first;
        }
        e.addDisk(info, path);
    }
    return 0;
}

const char* TFakeDiskEngine::diskPath(int32_t id)
{
    const auto it = s_active->m_paths.find(id);
    return it == s_active->m_paths.end() ? "" : it->second.c_str();
}

const char* TFakeDiskEngine::lastError()
{
    return s_active->m_lastError.c_str();
}
