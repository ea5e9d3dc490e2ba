#pragma once

#include <cstdint>

class TBaseDisk;

// An element's reference to its drive, in two bytes instead of a pointer's eight: the
// number under which the drive is listed in a process-wide table while it lives. Reads
// and compares like a TBaseDisk pointer.
//
// A drive is listed by its constructor and struck off by its destructor; numbers are
// handed out in turn, so one freed is not soon given to the next drive. When 65,535
// drives live at once, a further one is not listed and its elements refer to no drive.
class TDriveRef
{
public:
    TDriveRef() = default;
    TDriveRef& operator=(TBaseDisk* disk);

    operator TBaseDisk*() const { return s_drives[m_number]; }
    TBaseDisk* operator->() const { return s_drives[m_number]; }

    // Lists disk; 0 when the table is full.
    static uint16_t Enlist(TBaseDisk* disk);
    static void StrikeOff(uint16_t number);

private:
    // Slot 0 stays empty: it is the reference to no drive.
    static TBaseDisk* s_drives[65536];

    uint16_t m_number = 0;
};
