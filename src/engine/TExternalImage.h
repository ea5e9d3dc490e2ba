#pragma once

#include <tsk/libtsk.h>

#include <cstddef>
#include <string>

// Virtual-disk formats the image library does not read itself, opened for reading through
// their own libraries and handed to the image library as images of its own kind: QEMU's
// qcow and qcow2 (libqcow) and Hyper-V's VHDX (libvhdi).
class TExternalImage
{
public:
    enum class Format
    {
        None,
        Qcow,
        Vhdx
    };

    // The format the first bytes of a file announce, or None.
    static Format FromSignature(const unsigned char* head, size_t size);
    // The image opened read-only; nullptr with error set when it cannot be opened.
    // Called under the library lock.
    static TSK_IMG_INFO* open(Format format, const std::string& path, std::string& error);
};
