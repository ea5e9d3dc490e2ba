#pragma once

#include "search/EMaskException.h"

#include <QString>

#include <bitset>
#include <utility>
#include <vector>

enum TMaskStates
{
    msLiteral = 0,
    msAny = 1,
    msSet = 2,
    msMBCSLiteral = 3
};

// A file-name mask with "*", "?" and character sets ("[a-c]", "[!x]"), compiled once
// into a flat list of states and matched against names without allocating.
// Letters a..z match case-insensitively; every other character exactly. A UTF-16
// surrogate pair is one character (a double-unit literal).
class TMask
{
public:
    // Compiles the mask; throws EMaskException when it is invalid.
    explicit TMask(const QString& mask);

    bool Matches(const QString& name) const;

    // At most this many states may follow a "*".
    static constexpr int MaxCards = 30;

private:
    struct TMaskState
    {
        bool SkipTo = false;
        TMaskStates State = msLiteral;
        char16_t Literal = 0; // msLiteral (0 = end of name); msMBCSLiteral: lead unit
        char16_t Trail = 0;   // msMBCSLiteral: trail unit
        bool Negate = false;  // msSet
        int SetIndex = -1;    // msSet: index into m_sets
    };
    struct TCharSet
    {
        std::bitset<256> Low;                            // members below 256
        std::vector<std::pair<char16_t, char16_t>> High; // ranges of members from 256 up
        void add(char16_t from, char16_t to);
        bool contains(char16_t c) const;
    };

    bool accepts(const TMaskState& s, const QString& name, qsizetype pos) const;

    std::vector<TMaskState> FMask;
    int FSize = 0;
    std::vector<TCharSet> m_sets;
};

// Compiles mask and matches name once.
bool MatchesMask(const QString& name, const QString& mask);
