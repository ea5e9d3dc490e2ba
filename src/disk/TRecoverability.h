#pragma once

#include "engine/VantrelLib.h"

#include <QString>

#include <cstdint>

// How much of a deleted file's data is still in place: the rating the engine reports in
// a record's flags, the word the command line prints for it and the text that tells the
// user what it means. Live files and folders have none.
class TRecoverability
{
public:
    // The values are the engine's rating codes (flag_RATING_MASK bits, shifted down).
    enum class Rating : uint8_t
    {
        None = 0,
        Intact = 1,
        DataInRecord = 2,
        Partial = 3,
        Overwritten = 4,
        NoData = 5,
        Guess = 6,
        // Its clusters are free but hold data of another type; found by a content check.
        Mismatch = 7,
    };

    // The rating of a record's flags. A deleted entry the engine marks as having no data
    // is rated so even when the engine gave no rating.
    static Rating FromFlags(int64_t flags);
    // The share of clusters in use that a partial or guess rating carries (0..100).
    static int PercentFromFlags(int64_t flags);
    // The flags without the rating bits: what an element keeps as its entry flags.
    static int64_t EntryFlags(int64_t flags)
    {
        return flags & ~int64_t{flag_RATING_MASK | flag_PERCENT_MASK};
    }

    // One word for machines: "intact", "data-in-record", "partial", "overwritten",
    // "mismatch", "no-data", "guess"; empty for None.
    static QString Word(Rating rating);
    // The rating in a few words, for a list column: "Intact", "Partly overwritten (40 %)".
    static QString ShortText(Rating rating, int percent);
    // The rating and its reason for the user, e.g. "Intact: none of its clusters is in use".
    static QString Text(Rating rating, int percent);
    // Whether a recovery gives back the file as it was, as far as the volume can tell.
    static bool IsIntact(Rating rating) { return rating == Rating::Intact || rating == Rating::DataInRecord; }
};
