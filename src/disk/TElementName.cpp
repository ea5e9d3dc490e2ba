#include "disk/TElementName.h"

#include <cstring>
#include <new>

void TElementName::release()
{
    if (m_bits & Owned)
        ::operator delete(reinterpret_cast<void*>(m_bits & ~Owned));
    m_bits = 0;
}

TElementName& TElementName::operator=(QStringView text)
{
    // The new text is copied before the old one goes: it may be a view of it.
    uintptr_t bits = 0;
    if (!text.isEmpty()) {
        const auto length = uint32_t(text.size());
        void* block = ::operator new(sizeof(Text) + sizeof(char16_t) * length);
        auto* copy = static_cast<Text*>(block);
        copy->length = length;
        std::memcpy(copy->units(), text.utf16(), sizeof(char16_t) * length);
        bits = reinterpret_cast<uintptr_t>(copy) | Owned;
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
