#include "engine/TTextCodec.h"

#include <cstring>

std::u16string TTextCodec::utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        char32_t code = 0xFFFD;
        size_t length = 1;
        if (lead < 0x80) {
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xF4) {
            const size_t need = lead < 0xE0 ? 2 : (lead < 0xF0 ? 3 : 4);
            char32_t value = lead & (need == 2 ? 0x1F : (need == 3 ? 0x0F : 0x07));
            size_t k = 1;
            for (; k < need && i + k < size && (bytes[i + k] & 0xC0) == 0x80; ++k) {
                value = (value << 6) | (bytes[i + k] & 0x3F);
            }
            if (k == need) {
                const bool overlong = (need == 3 && value < 0x800) || (need == 4 && value < 0x10000);
                const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
                if (!overlong && !surrogate && value <= 0x10FFFF) {
                    code = value;
                }
                length = need;
            } else {
                length = k;
            }
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

bool TTextCodec::utf16ToUtf8(std::u16string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return true;
}

void TTextCodec::copyToField(std::string_view text, char* field, size_t fieldSize)
{
    std::memset(field, 0, fieldSize);
    if (fieldSize == 0) {
        return;
    }
    size_t length = text.size() < fieldSize ? text.size() : fieldSize - 1;
    // Do not leave half of a multi-byte character at the end.
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    std::memcpy(field, text.data(), length);
}
