// A language file's bytes as the program reads them, then the lookups and the
// placeholder check a window makes with what was read.
#include "settings/TLanguageFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TLanguageFile file = TLanguageFile::Parse(bytes);
    // The first section the text names, and two that the shipped files have.
    const qsizetype open = bytes.indexOf('[');
    const qsizetype close = open < 0 ? -1 : bytes.indexOf(']', open);
    const QString first =
        close < 0 ? QString() : QString::fromUtf8(bytes.mid(open + 1, close - open - 1)).trimmed();
    for (const QString& section : {first, QStringLiteral("MainForm"), QStringLiteral("mainform")}) {
        const QStringList keys = file.Keys(section);
        QString previous;
        for (const QString& key : keys) {
            if (!file.Contains(section, key)) {
                std::abort(); // a key listed but not found
            }
            const QString value = file.ReadString(section, key, QString());
            (void)TLanguageFile::PlaceholdersMatch(previous, value);
            (void)TLanguageFile::PlaceholdersMatch(value, value);
            previous = value;
        }
    }
    return 0;
}
