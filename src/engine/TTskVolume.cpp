#include "engine/TTskVolume.h"

#include "engine/TExternalImage.h"
#include "engine/TReadFaults.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Tells the image format from its signature. The library's own detection tries
// every format in turn and leaks memory on each format that does not match, on
// every open; naming the format avoids that.
TSK_IMG_TYPE_ENUM sniffFormat(const std::string& path, TExternalImage::Format& external, std::string& error)
{
    external = TExternalImage::Format::None;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return TSK_IMG_TYPE_UNSUPP;
    }
    struct stat status
    {
    };
    unsigned char head[32] = {};
    char footer[8] = {};
    TSK_IMG_TYPE_ENUM type = TSK_IMG_TYPE_UNSUPP;
    if (::fstat(fd, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISBLK(status.st_mode))) {
        error = "not a file or block device";
    } else {
        const ssize_t got = ::pread(fd, head, sizeof head, 0);
        const off_t size = S_ISREG(status.st_mode) ? status.st_size : ::lseek(fd, 0, SEEK_END);
        const bool haveFooter =
            size >= 512 && ::pread(fd, footer, sizeof footer, size - 512) == sizeof footer;
        type = TSK_IMG_TYPE_RAW;
        if (got >= 8 && (std::memcmp(head, "EVF\x09\x0d\x0a\xff\x00", 8) == 0 ||
                         std::memcmp(head, "LVF\x09\x0d\x0a\xff\x00", 8) == 0)) {
            type = TSK_IMG_TYPE_EWF_EWF;
        } else if (got >= 7 && std::memcmp(head, "AFF10\r\n", 7) == 0) {
            type = TSK_IMG_TYPE_AFF_ANY;
        } else if ((got >= 8 && std::memcmp(head, "conectix", 8) == 0) ||
                   (haveFooter && std::memcmp(footer, "conectix", 8) == 0)) {
            type = TSK_IMG_TYPE_VHD_VHD;
        } else if ((external = TExternalImage::FromSignature(head, got > 0 ? size_t(got) : 0)) !=
                   TExternalImage::Format::None) {
            type = TSK_IMG_TYPE_EXTERNAL; // read through the format's own library
        } else if ((got >= 4 && std::memcmp(head, "KDMV", 4) == 0) ||
                   (got >= 21 && std::memcmp(head, "# Disk DescriptorFile", 21) == 0)) {
            type = TSK_IMG_TYPE_VMDK_VMDK;
        }
        if (type != TSK_IMG_TYPE_RAW && type != TSK_IMG_TYPE_EXTERNAL &&
            (tsk_img_type_supported() & type) == 0) {
            error = "this image format is not supported by the installed library";
            type = TSK_IMG_TYPE_UNSUPP;
        }
    }
    ::close(fd);
    return type;
}

} // namespace

TTskVolume::~TTskVolume()
{
    if (m_rawFd >= 0) {
        ::close(m_rawFd);
    }
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
    std::string reason;
    volume->m_image = openImage(path, reason, &volume->m_rawFile);
    if (volume->m_image == nullptr) {
        error = "Cannot open " + path + ": " + reason;
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

TSK_IMG_INFO* TTskVolume::openImage(const std::string& path, std::string& error, bool* raw)
{
    TExternalImage::Format external = TExternalImage::Format::None;
    const TSK_IMG_TYPE_ENUM type = sniffFormat(path, external, error);
    if (type == TSK_IMG_TYPE_UNSUPP) {
        return nullptr;
    }
    if (type == TSK_IMG_TYPE_EXTERNAL) {
        TReadFaults::TSource source;
        if (!TExternalImage::open(external, path, source, error)) {
            return nullptr;
        }
        TSK_IMG_INFO* image = TReadFaults::open(path, source);
        if (image == nullptr) {
            error = "the image library refused the image";
        }
        return image;
    }
    TSK_IMG_INFO* image = tsk_img_open_utf8_sing(path.c_str(), type, 0);
    if (image == nullptr) {
        error = takeLibraryError("unknown image format");
    }
    if (raw != nullptr) {
        *raw = image != nullptr && type == TSK_IMG_TYPE_RAW;
    }
    return TReadFaults::wrap(path, image);
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

int TTskVolume::rawDescriptor()
{
    std::call_once(m_rawOpened, [this] {
        if (!m_rawFile || m_image == nullptr || TReadFaults::faultsSet(m_path)) {
            return;
        }
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        // The descriptor must see the bytes the library sees: the same size.
        if (::lseek(fd, 0, SEEK_END) != m_image->size) {
            ::close(fd);
            return;
        }
        m_rawFd = fd;
    });
    return m_rawFd;
}

bool TTskVolume::readRaw(uint64_t offset, void* buffer, size_t length)
{
    const int fd = rawDescriptor();
    if (fd < 0) {
        return false;
    }
    auto* bytes = static_cast<char*>(buffer);
    size_t got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, bytes + got, length - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        got += static_cast<size_t>(n);
    }
    return true;
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
