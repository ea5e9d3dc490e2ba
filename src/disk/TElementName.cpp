#include "disk/TElementName.h"

#include <cstring>
#include <new>

TElementName::Text* TElementName::Text::Write(void* memory, const void* units, size_t length, bool narrow)
{
    auto* text = static_cast<Text*>(memory);
    text->header = uint32_t(length) | (narrow ? NarrowBit : 0);
    auto* target = static_cast<unsigned char*>(memory) + sizeof(Text);
    if (!narrow) {
        std::memcpy(target, units, length * sizeof(char16_t));
        return text;
    }
    // Each unit is copied out first, as the units may sit at any address.
    const auto* source = static_cast<const unsigned char*>(units);
    for (size_t i = 0; i < length; ++i) {
        char16_t unit;
        std::memcpy(&unit, source + 2 * i, sizeof(unit));
        target[i] = static_cast<unsigned char>(unit);
    }
    return text;
}

void TElementName::release()
{
    if (m_bits & Owned)
        ::operator delete(reinterpret_cast<void*>(m_bits & ~Owned));
    m_bits = 0;
}

TElementName& TElementName::operator=(QStringView text)
{
    // The new text is copied before the old one goes: it may be a copy of it.
    uintptr_t bits = 0;
    if (!text.isEmpty()) {
        const size_t length = size_t(text.size());
        void* memory = ::operator new(Text::Bytes(length, false));
        bits = reinterpret_cast<uintptr_t>(Text::Write(memory, text.utf16(), length, false)) | Owned;
    }
    release();
    m_bits = bits;
    return *this;
}

void TElementName::Refer(const Text* text)
{
    release();
    m_bits = reinterpret_cast<uintptr_t>(text);
}

QString TElementName::ToString() const
{
    const Text* text = stored();
    if (!text)
        return QString();
    if (text->Narrow())
        return QString::fromLatin1(static_cast<const char*>(text->Units()), qsizetype(text->Length()));
    return QString(static_cast<const QChar*>(text->Units()), qsizetype(text->Length()));
}
