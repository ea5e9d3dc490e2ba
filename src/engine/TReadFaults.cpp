#include "engine/TReadFaults.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
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
// image, then the source read through and the faults.
struct TLayeredImage
{
    TSK_IMG_INFO info;
    TReadFaults::TSource source;
    std::vector<TVantrelReadFault> faults;
};

// A read of the source, faults applied.
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
    return image.source.read(image.source.context, offset, buffer, allowed);
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
    image->source.close(image->source.context);
    tsk_deinit_lock(&image->info.cache_lock);
    delete image;
}

// A library image below the layer: its own read function is called, not its cached read,
// because the library caches above the layer already.
ssize_t readLibraryImage(void* context, TSK_OFF_T offset, char* buffer, size_t length)
{
    auto* image = static_cast<TSK_IMG_INFO*>(context);
    return image->read(image, offset, buffer, length);
}

void closeLibraryImage(void* context)
{
    tsk_img_close(static_cast<TSK_IMG_INFO*>(context));
}

void layeredStat(TSK_IMG_INFO*, FILE*) {}

// The layered image over source with the faults set for path; nullptr, the source left
// open, when the library refuses the record.
TSK_IMG_INFO* layerOver(const std::string& path, const TReadFaults::TSource& source)
{
    // Everything but the library's read cache is cleared: that is 2 MiB of buffers, only
    // ever read where an entry's length says they were filled, and clearing them would
    // make them resident for nothing.
    auto* layered = new TLayeredImage;
    TSK_IMG_INFO& info = layered->info;
    std::memset(&info, 0, offsetof(TSK_IMG_INFO, cache));
    std::memset(reinterpret_cast<char*>(&info) + offsetof(TSK_IMG_INFO, cache_off), 0,
                sizeof info - offsetof(TSK_IMG_INFO, cache_off));
    layered->source = source;
    {
        std::lock_guard<std::mutex> guard(faultsLock());
        if (const auto found = faultsByPath().find(path); found != faultsByPath().end())
            layered->faults = found->second;
    }
    TSK_IMG_INFO* opened = tsk_img_open_external(&layered->info, source.size, source.sectorSize, layeredRead,
                                                 layeredClose, layeredStat);
    if (opened == nullptr) {
        delete layered;
        tsk_error_reset();
    }
    return opened;
}

} // namespace

bool TReadFaults::faultsSet(const std::string& path)
{
    std::lock_guard<std::mutex> guard(faultsLock());
    return faultsByPath().count(path) != 0;
}

void TReadFaults::set(const std::string& path, std::vector<TVantrelReadFault> faults)
{
    std::lock_guard<std::mutex> guard(faultsLock());
    if (faults.empty())
        faultsByPath().erase(path);
    else
        faultsByPath()[path] = std::move(faults);
}

TSK_IMG_INFO* TReadFaults::open(const std::string& path, const TSource& source)
{
    TSK_IMG_INFO* opened = layerOver(path, source);
    if (opened == nullptr)
        source.close(source.context);
    return opened;
}

TSK_IMG_INFO* TReadFaults::wrap(const std::string& path, TSK_IMG_INFO* image)
{
    if (image == nullptr || image->read == nullptr)
        return image;
    TSource source;
    source.context = image;
    source.read = readLibraryImage;
    source.close = closeLibraryImage;
    source.size = image->size;
    source.sectorSize = image->sector_size;
    // Without the layer the image is still read, plainly.
    TSK_IMG_INFO* opened = layerOver(path, source);
    return opened != nullptr ? opened : image;
}

void TReadFaults::clearUnreadable()
{
    t_unreadable = false;
}

bool TReadFaults::unreadableSeen()
{
    return t_unreadable;
}
