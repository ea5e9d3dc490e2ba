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
    // The image read through the layer, with the faults set for path. The returned image
    // owns image and closes it with itself; image itself when the layer cannot be set up.
    // Called under the library lock.
    static TSK_IMG_INFO* wrap(const std::string& path, TSK_IMG_INFO* image);

    // Whether a read on this thread found an unreadable sector since the last clear.
    static void clearUnreadable();
    static bool unreadableSeen();
};
