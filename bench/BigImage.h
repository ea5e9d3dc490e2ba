#pragma once

// The large NTFS image the engine benchmarks read: the first argument, else BREVANT_BIG_NTFS
// (scripts/make-big-ntfs.sh builds one).

#include "engine/VantrelLib.h"

#include <cstdio>
#include <cstdlib>
#include <string>

// Registers the image, engine listing images only, and returns the id of its first lettered
// volume: -1 when no image is named (a line says how to get one), -2 when it cannot be used
// (stderr says why).
inline int32_t OpenBigImageVolume(int argc, char** argv, std::string& image)
{
    const char* env = std::getenv("BREVANT_BIG_NTFS");
    image = argc > 1 ? argv[1] : (env != nullptr ? env : "");
    if (image.empty()) {
        std::printf("Set BREVANT_BIG_NTFS to a large NTFS image (scripts/make-big-ntfs.sh builds one).\n");
        return -1;
    }
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY);
    if (VantrelRegisterImage(image.c_str()) != 0) {
        std::fprintf(stderr, "Cannot register %s: %s\n", image.c_str(), VantrelLastError());
        return -2;
    }
    const int32_t disks = DisksRescan();
    for (int32_t id = 0; id < disks; ++id) {
        const TDriveInfo* info = DiskGetInformation(id);
        if (info != nullptr && info->Letter != 0) {
            return id;
        }
    }
    std::fprintf(stderr, "No volume with a recognised file system in %s\n", image.c_str());
    return -2;
}
