// A file-name mask and a name as the search takes them: the input up to its first NUL
// is the mask, the rest the name, both read as UTF-8, or as raw UTF-16 (lone surrogates
// included) when the input opens with 0xFF. An invalid mask may only raise EMaskException.
#include "search/TMask.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

QString text(const uint8_t* data, size_t size, bool utf16)
{
    if (utf16) {
        return QString(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2));
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool utf16 = size > 0 && data[0] == 0xFF;
    if (utf16) {
        ++data;
        --size;
    }
    const void* nul = std::memchr(data, 0, size);
    const size_t maskSize =
        nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
    // The 16-bit copy keeps the UTF-16 units aligned.
    std::u16string units(size / 2 + 1, u'\0');
    std::memcpy(units.data(), data, size);
    const QString mask = utf16 ? text(reinterpret_cast<const uint8_t*>(units.data()), maskSize, true)
                               : text(data, maskSize, false);
    const size_t nameStart = std::min(size, maskSize + 1);
    const QString name = utf16 ? QString(reinterpret_cast<const QChar*>(units.data()) + (nameStart + 1) / 2,
                                         static_cast<qsizetype>((size - nameStart) / 2))
                               : text(data + nameStart, size - nameStart, false);
    try {
        const TMask compiled(mask);
        (void)compiled.Matches(name);
        (void)compiled.Matches(mask);
        (void)compiled.Matches(QString());
    } catch (const EMaskException&) {
        // An invalid mask is refused; that is the expected answer.
    }
    return 0;
}
