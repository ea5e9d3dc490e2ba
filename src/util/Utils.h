#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QTime>

#include <cstdint>

// Date-time value shared by the whole program: days since 1899-12-30, the fraction
// being the time of day. Values before 1899-12-30 count linearly backwards, so the
// time of day is always value - floor(value) and comparisons follow the calendar.
using TDateTime = double;

inline constexpr int64_t dwKB = 1024, dwMB = 1048576, dwGB = 1073741824;

// The largest date-time value: 9999-12-31 23:59:59.999.
inline constexpr TDateTime MaxDateTime = 2958465.0 + 86399999.0 / 86400000.0;

// Version strings of the program, empty until ReadVerInfo has run.
extern QString VerInfoFileDescription, VerInfoFileVersion, VerInfoCompanyName, VerInfoCopyright,
    VerInfoTrademark, VerInfoProductName, VerInfoProductVersion, VerInfoFileVersionBuild;

// 1-based position of the first occurrence of pattern in text at or after start; 0 if none.
int StrSearch(const QString& pattern, const QString& text, int start);
// 1-based position of the n-th (possibly overlapping) occurrence of pattern; 0 if fewer.
int StrNPos(const QString& text, const QString& pattern, int n);

// Program text from UTF-16: empty when the UTF-16 is malformed (an unpaired surrogate)
// or its UTF-8 form exceeds 2048 bytes.
QString WideStrToStr(QStringView text);
// The same for a whole string; a sound one is handed back without a copy.
QString WideStrToStr(const QString& text);
// Decodes 8-bit text from a code page: 0 and 65001 are UTF-8 (this platform's ANSI code
// page), 1 is the OEM page 437, others by number (1252, 437, 850, 1251, 932, 28591, ...).
// Invalid sequences become U+FFFD; an unknown code page gives an empty result.
QString StringToWideStringEx(const QByteArray& text, uint16_t codePage);

// Type description of a file name judged by its name alone (no file access). With the
// directory attribute (0x10) the description of a folder. False, leaving typeName
// untouched, when the platform knows no type for the name.
bool ShellGetFileType(const QString& name, uint32_t attributes, QString& typeName);
// Opens a program, document, folder or URL with the desktop. On failure shows
// "Unable to execute external program "<program>"." and returns false.
bool ExecuteProgram(const QString& program, const QString& params, bool maximized);
// Folder of the running executable, ending in "/".
QString GetProgramDir();
// Fills the version strings from the version compiled into the program.
void ReadVerInfo();
// The build part of a file version: what follows its third ".", or the whole text.
QString FileVersionBuild(const QString& fileVersion);

// Decimal text with "," between groups of three digits, whatever the locale.
QString InsertSeparator(int64_t value);
// Short size text: bytes below 1024, then KB, MB and GB, each from twice the unit on.
QString FormatSize(int64_t size);
// Full byte count with the user's thousands separator; "-1" for a negative size.
QString FormatBytes(int64_t size);
QString FormatBytes(int64_t size, const QLocale& locale);

// Converts a file time (100 ns units since 1601-01-01) without any time-zone change,
// truncated to the millisecond. Times after 9999-12-31 23:59:59.999, including every
// value at or above 2^63, give MaxDateTime. Never throws.
TDateTime ConvertFileTimeToDateTime(uint64_t fileTime);
// Calendar date and time of day of a date-time value (no time zone involved). Values
// outside 0001-01-01 .. MaxDateTime, and NaN, give an invalid date.
void DecodeDateTime(TDateTime value, QDate& date, QTime& time);
// Date-time value of a calendar date and time of day; 0 for an invalid date.
TDateTime EncodeDateTime(const QDate& date, const QTime& time);
// True for a value that records no time: 0, which invented folders and the FAT root
// carry, and the file time 0 (1601-01-01 00:00). Such values are shown empty.
bool IsUnknownDateTime(TDateTime value);
