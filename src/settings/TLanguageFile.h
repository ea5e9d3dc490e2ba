#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// A language file read into memory: sections of key/value pairs that supply the texts of
// the windows in another language. Lookups ignore letter case in section names and keys.
//
// Reading rules: lines end with CR LF, LF or CR, and a NUL ends the text; each line is
// trimmed of blanks and control characters; empty lines and lines starting with ";" are
// comments; "[name]" opens a section (repeating a section adds to it); lines before the
// first section are ignored; any other line is "key = value" split at its first "=", key
// and value trimmed, and a line without "=" is skipped. The first occurrence of a key in a
// section wins, so a later duplicate cannot replace a text already read. The bytes are
// read as UTF-8, or as Windows-1252 when they are not valid UTF-8.
class TLanguageFile
{
public:
    // Files larger than this are not read at all.
    static constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

    TLanguageFile() = default;
    // Reads the text of a language file.
    static TLanguageFile Parse(const QByteArray& bytes);
    // Reads a file; false, leaving file empty, when it is missing, unreadable or too large.
    static bool Load(const QString& path, TLanguageFile& file);

    // The value of key in section, or defaultValue when the key is absent.
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    bool Contains(const QString& section, const QString& key) const;
    // The keys of a section, case-folded, in no particular order.
    QStringList Keys(const QString& section) const;
    bool IsEmpty() const { return m_sections.isEmpty(); }

    // True when translated carries the same format placeholders as original: the numbered
    // ones ("%1") in any order, the printf ones ("%s", "%5d") in the same order. A text
    // whose placeholders differ would format wrongly or read past its arguments.
    static bool PlaceholdersMatch(const QString& original, const QString& translated);

private:
    QHash<QString, QHash<QString, QString>> m_sections;
};
