#pragma once

#include "util/Utils.h"

#include <QString>

#include <cstdint>

// What a file search looks for: the values of the find window's fields, or of the
// command line's options. An unchosen drop-down list is -1.
struct TSearchCriteria
{
    enum TAgeUnit
    {
        auNone = -1,
        auMinutes,
        auHours,
        auDays,
        auWeeks,
        auMonths,
        auYears
    };
    enum TSizeSign
    {
        ssNone = -1,
        ssEqual,
        ssGreater,
        ssLess
    };
    enum TSizeUnit
    {
        suNone = -1,
        suBytes,
        suKBytes,
        suMBytes
    };

    // The name mask; an empty mask matches no element (no element has an empty name).
    QString Mask;
    // An engine id as decimal text; blank means no id.
    QString IdText;

    bool DateBetween = false;
    TDateTime DateStart = 0;
    TDateTime DateEnd = 0;

    bool Age = false;
    int64_t AgeValue = 0;
    int AgeUnit = auNone;

    bool Size = false;
    int SizeSign = ssNone;
    int64_t SizeValue = 0;
    int SizeUnit = suNone;

    bool OnlyDeleted = false;
};
