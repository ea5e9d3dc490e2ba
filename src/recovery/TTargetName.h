#pragma once

#include <QString>
#include <QStringList>

// Turns names read from a disk into path levels that are safe to create under a
// destination folder, and checks whole target paths against the limits of the engine
// and of the target file system. Names from a disk are untrusted: a level never holds a
// separator or NUL and is never "." or "..", so a target cannot leave its destination.
class TTargetName
{
public:
    // Rules of the file system that receives the files.
    enum class Rules
    {
        Posix,  // only "/" and NUL are refused
        Windows // FAT, exFAT and NTFS also refuse " * : < > ? \ | and a trailing dot or blank
    };

    // Longest target the engine takes, in UTF-16 units (without the terminating zero).
    static constexpr int MaxEngineUnits = 4096;
    // Longest target path in bytes of UTF-8, the terminating zero included (PATH_MAX).
    static constexpr int MaxPathBytes = 4096;
    // Longest single path level in bytes of UTF-8 (NAME_MAX).
    static constexpr int MaxLevelBytes = 255;

    // One path level made safe: "/", "\", NUL and other control characters, and the
    // characters the rules refuse become "_"; "." and ".." and an empty name become
    // "_", "__" and "_". Never shortened.
    static QString SafeLevel(const QString& name, Rules rules = Rules::Posix);

    // The n-th name of a level whose own name is taken: "name (n).ext", the number put
    // before the last extension ("archive.tar (2).gz"); a name without one, or starting
    // with its only dot, gets the number at its end.
    static QString Numbered(const QString& level, int n);

    // The rules of the file system holding path (or its nearest existing ancestor).
    static Rules RulesFor(const QString& path);

    // Why target cannot be written as it is, or an empty text when it can: longer than
    // the engine takes, than the file system allows, or a level too long.
    static QString LengthProblem(const QString& target, QChar separator);
};
