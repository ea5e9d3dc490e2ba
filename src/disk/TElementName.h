#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <string>

// The name of an element: one word that points at its text. The analysis keeps the
// text in its drive's name arena (TNameArena), so a drive of millions of elements holds
// its names in a few large blocks; a name set by assignment (a model a test builds)
// gets a heap copy of its own, freed with the name.
//
// Texts whose every unit is below 256, as most names are, are kept one byte per unit.
class TElementName
{
public:
    // The stored form: the length, then the units (not terminated).
    struct Text
    {
        uint32_t header; // the length; NarrowBit: one byte per unit
        static constexpr uint32_t NarrowBit = 0x80000000u;

        size_t Length() const { return header & ~NarrowBit; }
        bool Narrow() const { return header & NarrowBit; }
        const void* Units() const { return this + 1; }
        // Bytes a text of length units takes, its header included.
        static size_t Bytes(size_t length, bool narrow)
        {
            return sizeof(Text) + length * (narrow ? 1 : sizeof(char16_t));
        }
        // Writes a text of length units (UTF-16, any alignment) to memory, which holds
        // Bytes(length, narrow) bytes; narrow only when every unit is below 256.
        static Text* Write(void* memory, const void* units, size_t length, bool narrow);
    };

    TElementName() = default;
    ~TElementName() { release(); }
    TElementName(const TElementName&) = delete;
    TElementName& operator=(const TElementName&) = delete;

    TElementName& operator=(QStringView text);
    TElementName& operator=(const QString& text) { return *this = QStringView(text); }

    // Refers to text kept elsewhere (a drive's arena) that outlives the name.
    void Refer(const Text* text);

    // A copy of the text: it stays valid after the drive is gone.
    QString ToString() const;
    operator QString() const { return ToString(); }
    bool isEmpty() const { return size() == 0; }
    qsizetype size() const { return stored() ? qsizetype(stored()->Length()) : 0; }
    std::string toStdString() const { return ToString().toStdString(); }

private:
    // Set in the low bit when the text is a heap block the name owns.
    static constexpr uintptr_t Owned = 1;

    const Text* stored() const { return reinterpret_cast<const Text*>(m_bits & ~Owned); }
    void release();

    uintptr_t m_bits = 0;
};
