#pragma once

#include <tsk/libtsk.h>

#include <string>

// QEMU's qcow and qcow2 images, which the image library does not read itself, opened for
// reading through libqcow and handed to the library as an image of its own kind.
class TQcowImage
{
public:
    // True when the first bytes are a qcow signature.
    static bool hasSignature(const unsigned char* head, size_t size);
    // The image opened read-only; nullptr with error set when it cannot be opened.
    // Called under the library lock.
    static TSK_IMG_INFO* open(const std::string& path, std::string& error);
};
