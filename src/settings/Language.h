#pragma once

#include "settings/TLanguageFile.h"
#include "util/TOverride.h"

#include <QString>

#include <memory>

// The language table in use: the texts of the chosen language file, applied to each window
// as it is created. Null while the built-in texts are in use.
extern std::unique_ptr<TLanguageFile> CurrentLanguageFile;

// The folder language files are found in, ending in '/': the folder a scope of
// TLanguageFolder names; else the program's folder when it holds a language file; else the
// installed data folder relative to the program (../share/brevant-pro) when that holds one;
// else the program's folder.
using TLanguageFolder = TOverride<struct TLanguageFolderTag, QString>;
QString LanguageFolder();

// Drops the current table and reads fileName from the language folder. Null when the file
// is missing, unreadable or too large, or when fileName is not a plain file name (a stored
// name can never reach outside the folder).
std::unique_ptr<TLanguageFile> LoadLanguage(const QString& fileName);

// The text of key in the current table for a text the program formats at run time; the
// original when there is no table, no such key, an empty value, or a value whose
// placeholders differ from the original's.
QString LanguageText(const QString& section, const QString& key, const QString& original);
