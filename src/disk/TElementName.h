#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>

// The name of an element: one word that points at its text, a length followed by the
// UTF-16 units. The analysis keeps the text in its drive's name arena (TNameArena), so
// a drive of millions of elements holds its names in a few large blocks; a name set by
// assignment (a renamed top, a model a test builds) gets a heap copy of its own, freed
// with the name.
class TElementName
{
public:
    // The stored form: the length, then the units (not terminated).
    struct Text
    {
        uint32_t length;
        const char16_t* units() const { return reinterpret_cast<const char16_t*>(this + 1); }
        char16_t* units() { return reinterpret_cast<char16_t*>(this + 1); }
    };

    TElementName() = default;
    ~TElementName() { release(); }
    TElementName(const TElementName&) = delete;
    TElementName& operator=(const TElementName&) = delete;

    TElementName& operator=(QStringView text);
    TElementName& operator=(const QString& text) { return *this = QStringView(text); }

    // Refers to text kept elsewhere (a drive's arena) that outlives the name.
    void Refer(const Text* text);

    QStringView View() const
    {
        const Text* text = stored();
        return text ? QStringView(text->units(), qsizetype(text->length)) : QStringView();
    }
    // A copy of the text: it stays valid after the drive is gone.
    operator QString() const { return View().toString(); }
    bool isEmpty() const { return size() == 0; }
    qsizetype size() const { return stored() ? qsizetype(stored()->length) : 0; }
    std::string toStdString() const { return View().toString().toStdString(); }

private:
    // Set in the low bit when the text is a heap block the name owns.
    static constexpr uintptr_t Owned = 1;

    const Text* stored() const { return reinterpret_cast<const Text*>(m_bits & ~Owned); }
    void release();

    uintptr_t m_bits = 0;
};
