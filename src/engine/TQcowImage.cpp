#include "engine/TQcowImage.h"

#include <libqcow.h>

#include <cstring>

// Exported by the image library, though not declared in its headers.
extern "C" void tsk_deinit_lock(tsk_lock_t* lock);

namespace {

// The library's external-image record: its own header first, then the open file.
struct TQcowRecord
{
    TSK_IMG_INFO info;
    libqcow_file_t* file;
};

std::string errorText(libqcow_error_t* error, const char* fallback)
{
    char text[512] = {};
    if (error != nullptr && libqcow_error_sprint(error, text, sizeof text) > 0) {
        libqcow_error_free(&error);
        return text;
    }
    if (error != nullptr)
        libqcow_error_free(&error);
    return fallback;
}

ssize_t qcowRead(TSK_IMG_INFO* img, TSK_OFF_T offset, char* buffer, size_t length)
{
    auto* record = reinterpret_cast<TQcowRecord*>(img);
    if (offset < 0 || offset >= img->size)
        return 0;
    libqcow_error_t* error = nullptr;
    const ssize_t got = libqcow_file_read_buffer_at_offset(record->file, buffer, length, offset, &error);
    if (got < 0) {
        tsk_error_reset();
        tsk_error_set_errno(TSK_ERR_IMG_READ);
        tsk_error_set_errstr("%s", errorText(error, "qcow read failed").c_str());
    }
    return got;
}

void closeFile(libqcow_file_t*& file)
{
    libqcow_file_close(file, nullptr);
    libqcow_file_free(&file, nullptr);
}

void qcowClose(TSK_IMG_INFO* img)
{
    auto* record = reinterpret_cast<TQcowRecord*>(img);
    closeFile(record->file);
    tsk_deinit_lock(&record->info.cache_lock);
    delete record;
}

void qcowStat(TSK_IMG_INFO*, FILE*) {}

} // namespace

bool TQcowImage::hasSignature(const unsigned char* head, size_t size)
{
    return size >= 4 && std::memcmp(head, "QFI\xfb", 4) == 0;
}

TSK_IMG_INFO* TQcowImage::open(const std::string& path, std::string& error)
{
    libqcow_file_t* file = nullptr;
    libqcow_error_t* failure = nullptr;
    if (libqcow_file_initialize(&file, &failure) != 1) {
        error = errorText(failure, "cannot set up the qcow reader");
        return nullptr;
    }
    if (libqcow_file_open(file, path.c_str(), LIBQCOW_OPEN_READ, &failure) != 1) {
        error = errorText(failure, "not a readable qcow image");
        libqcow_file_free(&file, nullptr);
        return nullptr;
    }
    size64_t size = 0;
    if (libqcow_file_get_media_size(file, &size, &failure) != 1 || size == 0) {
        error = errorText(failure, "the qcow image has no size");
        closeFile(file);
        return nullptr;
    }
    auto* record = new TQcowRecord{};
    record->file = file;
    TSK_IMG_INFO* image = tsk_img_open_external(&record->info, static_cast<TSK_OFF_T>(size), 512, qcowRead,
                                                qcowClose, qcowStat);
    if (image == nullptr) {
        error = "the image library refused the qcow image";
        closeFile(record->file);
        delete record;
        return nullptr;
    }
    return image;
}
