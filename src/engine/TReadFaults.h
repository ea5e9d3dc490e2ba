#pragma once

#include "engine/VantrelLib.h"

#include <tsk/libtsk.h>

#include <string>
#include <vector>

// The layer every image is read through, between the library and the image.
//
// The library fills its cache in windows of 64 KiB from the offset it needs; when such a
// read fails (a bad sector anywhere in the window), it serves the whole window as zeros
// and says nothing to the reader of a file. This layer reads a failing window again sector
// by sector and hands over the part before the first bad sector, so the data that can be
// read is read; when the very first sector fails, the read fails and the calling thread
// is told (unreadableSeen), so a copy or a view of a file fails with a read error instead
// of passing zeros off as the file's content.
//
// It also injects read faults into chosen images, as a failing disk gives them: reads
// touching chosen byte ranges fail or stop short before them, so tests can check that a
// bad region fails the one entry or copy it hits and never hangs or crashes. Faults apply
// to images opened after they are set, until they are cleared.
class TReadFaults
{
public:
    // Faults for the image at path (compared as given); an empty list clears them.
    static void set(const std::string& path, std::vector<TVantrelReadFault> faults);
    // Whether faults are set for the image at path.
    static bool faultsSet(const std::string& path);
    // What the layer reads from: an image the library opened, or a format's own reader.
    struct TSource
    {
        void* context = nullptr;
        ssize_t (*read)(void* context, TSK_OFF_T offset, char* buffer, size_t length) = nullptr;
        void (*close)(void* context) = nullptr;
        TSK_OFF_T size = 0;
        unsigned int sectorSize = 512;
    };

    // The image read through the layer, with the faults set for path. The returned image
    // owns the source and closes it with itself; on failure the source is closed and
    // nullptr returned. Called under the library lock.
    static TSK_IMG_INFO* open(const std::string& path, const TSource& source);
    // The same over an image the library opened; image itself when the layer cannot be set
    // up (or nullptr for nullptr).
    static TSK_IMG_INFO* wrap(const std::string& path, TSK_IMG_INFO* image);

    // Whether a read on this thread found an unreadable sector since the last clear.
    static void clearUnreadable();
    static bool unreadableSeen();
};
