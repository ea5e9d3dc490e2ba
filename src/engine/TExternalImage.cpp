#include "engine/TExternalImage.h"

#include <libqcow.h>
#include <libvhdi.h>

#include <cstring>

namespace {

// The calls of one format's library, which all have the same shape.
struct TQcowCalls
{
    using File = libqcow_file_t;
    using Error = libqcow_error_t;
    static constexpr int ReadAccess = LIBQCOW_OPEN_READ;
    static int initialize(File** file, Error** error) { return libqcow_file_initialize(file, error); }
    static int openFile(File* file, const char* path, Error** error)
    {
        return libqcow_file_open(file, path, ReadAccess, error);
    }
    static int mediaSize(File* file, size64_t* size, Error** error)
    {
        return libqcow_file_get_media_size(file, size, error);
    }
    static ssize_t read(File* file, void* buffer, size_t length, off64_t offset, Error** error)
    {
        return libqcow_file_read_buffer_at_offset(file, buffer, length, offset, error);
    }
    static void close(File*& file)
    {
        libqcow_file_close(file, nullptr);
        libqcow_file_free(&file, nullptr);
    }
    static void free(File*& file) { libqcow_file_free(&file, nullptr); }
    static int print(Error* error, char* text, size_t size)
    {
        return libqcow_error_sprint(error, text, size);
    }
    static void release(Error** error) { libqcow_error_free(error); }
};

struct TVhdiCalls
{
    using File = libvhdi_file_t;
    using Error = libvhdi_error_t;
    static constexpr int ReadAccess = LIBVHDI_OPEN_READ;
    static int initialize(File** file, Error** error) { return libvhdi_file_initialize(file, error); }
    static int openFile(File* file, const char* path, Error** error)
    {
        return libvhdi_file_open(file, path, ReadAccess, error);
    }
    static int mediaSize(File* file, size64_t* size, Error** error)
    {
        return libvhdi_file_get_media_size(file, size, error);
    }
    static ssize_t read(File* file, void* buffer, size_t length, off64_t offset, Error** error)
    {
        return libvhdi_file_read_buffer_at_offset(file, buffer, length, offset, error);
    }
    static void close(File*& file)
    {
        libvhdi_file_close(file, nullptr);
        libvhdi_file_free(&file, nullptr);
    }
    static void free(File*& file) { libvhdi_file_free(&file, nullptr); }
    static int print(Error* error, char* text, size_t size)
    {
        return libvhdi_error_sprint(error, text, size);
    }
    static void release(Error** error) { libvhdi_error_free(error); }
};

template<typename Calls> std::string errorText(typename Calls::Error* error, const char* fallback)
{
    char text[512] = {};
    const bool printed = error != nullptr && Calls::print(error, text, sizeof text) > 0;
    if (error != nullptr)
        Calls::release(&error);
    return printed ? std::string(text) : std::string(fallback);
}

template<typename Calls> ssize_t readFile(void* context, TSK_OFF_T offset, char* buffer, size_t length)
{
    typename Calls::Error* error = nullptr;
    const ssize_t got =
        Calls::read(static_cast<typename Calls::File*>(context), buffer, length, offset, &error);
    if (got < 0) {
        tsk_error_reset();
        tsk_error_set_errno(TSK_ERR_IMG_READ);
        tsk_error_set_errstr("%s", errorText<Calls>(error, "the image could not be read").c_str());
    }
    return got;
}

template<typename Calls> void closeFile(void* context)
{
    auto* file = static_cast<typename Calls::File*>(context);
    Calls::close(file);
}

template<typename Calls>
bool openWith(const std::string& path, TReadFaults::TSource& source, std::string& error)
{
    typename Calls::File* file = nullptr;
    typename Calls::Error* failure = nullptr;
    if (Calls::initialize(&file, &failure) != 1) {
        error = errorText<Calls>(failure, "cannot set up the image reader");
        return false;
    }
    if (Calls::openFile(file, path.c_str(), &failure) != 1) {
        error = errorText<Calls>(failure, "not a readable image of its format");
        Calls::free(file);
        return false;
    }
    size64_t size = 0;
    if (Calls::mediaSize(file, &size, &failure) != 1 || size == 0) {
        error = errorText<Calls>(failure, "the image has no size");
        Calls::close(file);
        return false;
    }
    source.context = file;
    source.read = readFile<Calls>;
    source.close = closeFile<Calls>;
    source.size = static_cast<TSK_OFF_T>(size);
    return true;
}

} // namespace

TExternalImage::Format TExternalImage::FromSignature(const unsigned char* head, size_t size)
{
    if (size >= 4 && std::memcmp(head, "QFI\xfb", 4) == 0)
        return Format::Qcow;
    if (size >= 8 && std::memcmp(head, "vhdxfile", 8) == 0)
        return Format::Vhdx;
    return Format::None;
}

bool TExternalImage::open(Format format, const std::string& path, TReadFaults::TSource& source,
                          std::string& error)
{
    switch (format) {
    case Format::Qcow:
        return openWith<TQcowCalls>(path, source, error);
    case Format::Vhdx:
        return openWith<TVhdiCalls>(path, source, error);
    case Format::None:
        break;
    }
    error = "not an image format read through its own library";
    return false;
}
