#pragma once

#include <QString>

// Path of a special folder by its Windows folder number (5 = the user's documents);
// empty when the platform has none.
QString GetWinSpecialFoldersValue(int csidl);
// The path without its root: "C:\a\b.txt" and "\\srv\share\a\b.txt" give "a\b.txt";
// any other form (relative, "C:x", shorter than 3 characters) gives an empty text.
QString ExtractFilePathNoRoot(const QString& path);
// False only for a drive root ("X:\") whose drive is absent.
bool MyDriveValid(const QString& path);
// True when name is acceptable as a destination folder. Drive-letter and share names
// follow the Windows naming rules; a name starting with "/" is a POSIX path. The folder
// must exist, or with mayCreate is created with all missing levels.
bool MyFolderValid(const QString& name, bool mayCreate);
