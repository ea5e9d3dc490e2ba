#pragma once

#include "engine/TReadFaults.h"

#include <tsk/libtsk.h>

#include <cstddef>
#include <string>

// Virtual-disk formats the image library does not read itself, opened for reading through
// their own libraries and read by the image library through the reading layer: QEMU's
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
    // Opens the image read-only as a source for the reading layer, which closes it; false
    // with error set when it cannot be opened. Called under the library lock.
    static bool open(Format format, const std::string& path, TReadFaults::TSource& source,
                     std::string& error);
};
