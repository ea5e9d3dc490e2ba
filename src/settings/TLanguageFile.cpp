#include "settings/TLanguageFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

namespace {

// Windows-1252 characters 0x80 to 0x9F; the rest of the code page equals Latin-1. The
// five unassigned codes keep their C1 control value.
const char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte >= 0x80 && byte < 0xA0 ? QChar(Cp1252High[byte - 0x80]) : QChar(byte));
    }
    return text;
}

QString decode(QByteArray bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
    return decodeCp1252(bytes);
}

// Blanks and control characters at both ends go.
QString trimmed(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; };
    while (start < end && blank(text[start]))
        ++start;
    while (end > start && blank(text[end - 1]))
        --end;
    return text.mid(start, end - start).toString();
}

QString fold(const QString& text)
{
    return text.toCaseFolded();
}

} // namespace

TLanguageFile TLanguageFile::Parse(const QByteArray& bytes)
{
    TLanguageFile file;
    const QString text = decode(bytes);
    QHash<QString, QString>* section = nullptr;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    for (const QStringView raw : QStringView(text).split(lineBreak)) {
        const QString line = trimmed(raw);
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')) && line.size() >= 2) {
            section = &file.m_sections[fold(trimmed(QStringView(line).mid(1, line.size() - 2)))];
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!section || equals < 0)
            continue;
        const QString key = fold(trimmed(QStringView(line).left(equals)));
        if (!section->contains(key))
            section->insert(key, trimmed(QStringView(line).mid(equals + 1)));
    }
    return file;
}

bool TLanguageFile::Load(const QString& path, TLanguageFile& file)
{
    file = TLanguageFile();
    // Only a regular file: opening a pipe or a device of that name could wait forever.
    if (!QFileInfo(path).isFile())
        return false;
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    // Reading one byte more than allowed tells a too large file apart, also for files
    // whose size the system does not report.
    const QByteArray bytes = input.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize || input.error() != QFileDevice::NoError)
        return false;
    file = Parse(bytes);
    return true;
}

QString TLanguageFile::ReadString(const QString& section, const QString& key,
                                  const QString& defaultValue) const
{
    const auto found = m_sections.constFind(fold(section));
    if (found == m_sections.cend())
        return defaultValue;
    return found->value(fold(key), defaultValue);
}

bool TLanguageFile::Contains(const QString& section, const QString& key) const
{
    const auto found = m_sections.constFind(fold(section));
    return found != m_sections.cend() && found->contains(fold(key));
}

QStringList TLanguageFile::Keys(const QString& section) const
{
    return m_sections.value(fold(section)).keys();
}

bool TLanguageFile::PlaceholdersMatch(const QString& original, const QString& translated)
{
    // "%%" is a literal percent sign and is taken first so it never starts a placeholder.
    static const QRegularExpression placeholder(
        QStringLiteral("%%|%[-+#0]*[0-9]*(?:\\.[0-9]+)?(?:hh|h|ll|l|L|z|j|t)?[diouxXeEfgGcspn]|%[0-9]{1,2}"));
    const auto collect = [](const QString& text, QStringList& numbered, QStringList& printf) {
        for (const QRegularExpressionMatch& match : placeholder.globalMatch(text)) {
            const QString found = match.captured();
            if (found == QLatin1String("%%"))
                continue;
            (found.back().isDigit() ? numbered : printf).append(found);
        }
        std::sort(numbered.begin(), numbered.end());
    };
    QStringList numberedOriginal, printfOriginal, numberedTranslated, printfTranslated;
    collect(original, numberedOriginal, printfOriginal);
    collect(translated, numberedTranslated, printfTranslated);
    return numberedOriginal == numberedTranslated && printfOriginal == printfTranslated;
}
