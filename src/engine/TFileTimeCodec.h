#pragma once

#include "engine/VantrelLib.h"

#include <ctime>

// Turns the library's times into FILETIME values (100 ns since 1601).
class TFileTimeCodec
{
public:
    // A UTC instant, passed through (NTFS and the Unix file systems).
    static TFileTime fromUtc(time_t seconds, uint32_t nanoseconds);
    // A FAT-family time. FAT keeps local calendar fields; the library turned them
    // into an instant with the process's zone, so they are turned back into the
    // same fields here and encoded without any zone shift.
    static TFileTime fromLocalFields(time_t seconds, uint32_t nanoseconds);
};
