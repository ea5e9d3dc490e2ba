#pragma once

#include <string>
#include <string_view>

// Conversions between the UTF-8 the file-system library speaks and the UTF-16 of
// the engine records. Malformed input never stops a conversion: bad UTF-8 bytes
// become U+FFFD, so a damaged name on disk still yields a usable record.
class TTextCodec
{
public:
    static std::u16string utf8ToUtf16(std::string_view text);
    // Converts UTF-16 to UTF-8; false when the text holds an unpaired surrogate.
    static bool utf16ToUtf8(std::u16string_view text, std::string& out);
    // Copies text into a fixed char field, NUL-padded, cut at a character boundary.
    static void copyToField(std::string_view text, char* field, size_t fieldSize);
};
