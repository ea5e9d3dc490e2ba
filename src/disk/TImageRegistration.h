#pragma once

#include <QString>

// Hands a disk image to the engine, for every program that takes images: the desktop
// program's start-up, the drive selection and the command line. A failure is worded the
// same everywhere: what could not be opened, why, and what to choose instead.
class TImageRegistration
{
public:
    // True when the engine took the image; otherwise `problem` (if given) says why.
    static bool Register(const QString& path, QString* problem = nullptr);
};
