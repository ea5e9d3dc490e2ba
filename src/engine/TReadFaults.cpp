#include "engine/TReadFaults.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>

// Exported by the library, though not declared in its headers: the external image's lock
// is set up by the library and released by the image's own close.
extern "C" void tsk_deinit_lock(tsk_lock_t* lock);

namespace {

std::mutex& faultsLock()
{
    static std::mutex lock;
    return lock;
}

std::map<std::string, std::vector<TVantrelReadFault>>& faultsByPath()
{
    static std::map<std::string, std::vector<TVantrelReadFault>> faults;
    return faults;
}

thread_local bool t_unreadable = false;

// The library's external-image record: its own header first, so the library sees a plain
// image, then the image read through and the faults.
struct TLayeredImage
{
    TSK_IMG_INFO info;
    TSK_IMG_INFO* inner;
    std::vector<TVantrelReadFault> faults;
};

// A read of the image below, faults applied. The image's own read function is called,
// not its cached read: the library caches above this layer already.
ssize_t readBelow(const TLayeredImage& image, TSK_OFF_T offset, char* buffer, size_t length)
{
    const int64_t end = offset + static_cast<int64_t>(length);
    size_t allowed = length;
    for (const TVantrelReadFault& fault : image.faults) {
        if (fault.Offset >= end || fault.Offset + fault.Length <= offset)
            continue;
        if (fault.Kind == VANTREL_FAULT_SHORT_READ) {
            allowed = std::min(allowed, static_cast<size_t>(std::max<int64_t>(0, fault.Offset - offset)));
            continue;
        }
        errno = EIO;
        return -1;
    }
    if (allowed == 0)
        return 0;
    return image.inner->read(image.inner, offset, buffer, allowed);
}

ssize_t layeredRead(TSK_IMG_INFO* img, TSK_OFF_T offset, char* buffer, size_t length)
{
    const auto& image = *reinterpret_cast<const TLayeredImage*>(img);
    const ssize_t got = readBelow(image, offset, buffer, length);
    // Nothing read before the image's end is a failure too (a device that gives up).
    if (got > 0 || (got == 0 && (length == 0 || offset >= img->size)))
        return got;
    const size_t sector = std::max<size_t>(512, img->sector_size);
    size_t done = 0;
    while (done < length) {
        const size_t want = std::min(sector, length - done);
        if (readBelow(image, offset + static_cast<TSK_OFF_T>(done), buffer + done, want) !=
            static_cast<ssize_t>(want))
            break;
        done += want;
    }
    if (done > 0)
        return static_cast<ssize_t>(done);
    t_unreadable = true;
    tsk_error_reset();
    tsk_error_set_errno(TSK_ERR_IMG_READ);
    tsk_error_set_errstr("unreadable sector at byte %lld of the disk", static_cast<long long>(offset));
    return -1;
}

void layeredClose(TSK_IMG_INFO* img)
{
    auto* image = reinterpret_cast<TLayeredImage*>(img);
    tsk_img_close(image->inner);
    tsk_deinit_lock(&image->info.cache_lock);
    delete image;
}

void layeredStat(TSK_IMG_INFO*, FILE*) {}

} // namespace

void TReadFaults::set(const std::string& path, std::vector<TVantrelReadFault> faults)
{
    std::lock_guard<std::mutex> guard(faultsLock());
    if (faults.empty())
        faultsByPath().erase(path);
    else
        faultsByPath()[path] = std::move(faults);
}

TSK_IMG_INFO* TReadFaults::wrap(const std::string& path, TSK_IMG_INFO* image)
{
    if (image == nullptr || image->read == nullptr)
        return image;
    auto* layered = new TLayeredImage{};
    layered->inner = image;
    {
        std::lock_guard<std::mutex> guard(faultsLock());
        if (const auto found = faultsByPath().find(path); found != faultsByPath().end())
            layered->faults = found->second;
    }
    TSK_IMG_INFO* opened = tsk_img_open_external(&layered->info, image->size, image->sector_size, layeredRead,
                                                 layeredClose, layeredStat);
    if (opened == nullptr) {
        delete layered;
        tsk_error_reset();
        return image;
    }
    return opened;
}

void TReadFaults::clearUnreadable()
{
    t_unreadable = false;
}

bool TReadFaults::unreadableSeen()
{
    return t_unreadable;
}
