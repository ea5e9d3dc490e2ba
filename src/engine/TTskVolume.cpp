#include "engine/TTskVolume.h"

TTskVolume::~TTskVolume()
{
    std::lock_guard<std::mutex> guard(libraryLock());
    if (m_fs != nullptr) {
        tsk_fs_close(m_fs);
    }
    if (m_image != nullptr) {
        tsk_img_close(m_image);
    }
}

std::shared_ptr<TTskVolume> TTskVolume::open(const std::string& path, int64_t offset, std::string& error)
{
    std::shared_ptr<TTskVolume> volume(new TTskVolume());
    volume->m_path = path;
    volume->m_offset = offset;
    std::lock_guard<std::mutex> guard(libraryLock());
    tsk_error_reset();
    volume->m_image = tsk_img_open_utf8_sing(path.c_str(), TSK_IMG_TYPE_DETECT, 0);
    if (volume->m_image == nullptr) {
        error = "Cannot open " + path + ": " + takeLibraryError("unknown image format");
        return nullptr;
    }
    volume->m_fs = tsk_fs_open_img(volume->m_image, offset, TSK_FS_TYPE_DETECT);
    if (volume->m_fs == nullptr) {
        error = "No readable file system at offset " + std::to_string(offset) + " of " + path + ": " +
                takeLibraryError("unknown file system");
        return nullptr;
    }
    return volume;
}

std::mutex& TTskVolume::libraryLock()
{
    static std::mutex lock;
    return lock;
}

std::string TTskVolume::takeLibraryError(const char* fallback)
{
    std::string text;
    if (tsk_error_get_errno() != 0) {
        const char* message = tsk_error_get();
        if (message != nullptr) {
            text = message;
        }
    }
    tsk_error_reset();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text.empty() ? std::string(fallback) : text;
}

bool TTskVolume::isNtfs() const
{
    return m_fs != nullptr && m_fs->ftype == TSK_FS_TYPE_NTFS;
}

bool TTskVolume::isFatFamily() const
{
    if (m_fs == nullptr) {
        return false;
    }
    const TSK_FS_TYPE_ENUM type = m_fs->ftype;
    return type == TSK_FS_TYPE_FAT12 || type == TSK_FS_TYPE_FAT16 || type == TSK_FS_TYPE_FAT32 ||
           type == TSK_FS_TYPE_EXFAT;
}
