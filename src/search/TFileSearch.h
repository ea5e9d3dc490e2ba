#pragma once

#include "search/TSearchCriteria.h"
#include "util/TOverride.h"
#include "util/TThrottle.h"
#include "util/Utils.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TBaseDisk;
class TBaseElement;
class TElementsList;
class TMask;
class TSearchSink;

// Searches a drive's element model in three passes: every element by id (left out when
// only deleted elements are wanted), the deleted files, the deleted folders. Each match
// goes to the sink once: a deleted element the live pass already tested is not tested
// again. A press of Stop ends the pass under way; the passes after it still run.
class TFileSearch
{
public:
    // The current local date-time; a test sets another for a scope.
    using TNow = TOverride<TFileSearch, std::function<TDateTime()>>;

    TFileSearch(const TSearchCriteria& criteria, TSearchSink& sink);
    ~TFileSearch();

    // Runs the passes over disk. Empty when the search ran (stopped or not), else the
    // message that ended it before any result: an invalid mask or id.
    QString Run(const TBaseDisk& disk);

    // The match predicate with the criteria of this search; throws EMaskException for an
    // invalid mask. Counts and reports a match.
    bool CheckElement(TBaseElement& element);

    int64_t Files() const { return m_files; }
    int64_t Folders() const { return m_folders; }
    // "Found 3 files and 1 folders."
    static QString Summary(int64_t files, int64_t folders);
    // A 32-bit signed decimal id; false for any other text.
    static bool ParseId(const QString& text, int64_t& id);
    // The message Run ends with for the criteria's id or mask, or empty when both are
    // valid; lets a caller refuse bad input before an analysis.
    static QString InputProblem(const TSearchCriteria& criteria);
    // The oldest creation time the age criterion keeps, counted back from now.
    static TDateTime AgeLimit(TDateTime now, int64_t value, int unit);
    // The size the size criterion compares with.
    static int64_t SizeThreshold(int64_t value, int unit);

private:
    bool matches(const TBaseElement& element);
    // One pass over a list of deleted elements; false when Stop ended it. Elements the
    // live pass reached are left out.
    bool deletedPass(const TElementsList& list, const TBaseDisk& disk, const char* suffix);
    void tested(int64_t position, int64_t count, const char* suffix, const TBaseElement& element);

    TSearchCriteria m_criteria;
    TSearchSink& m_sink;
    std::unique_ptr<TMask> m_mask;
    // Whether an id was given; it then decides instead of the name. A negative id
    // matches no element.
    bool m_byId = false;
    int64_t m_id = -1;
    TDateTime m_ageLimit = 0;
    int64_t m_sizeThreshold = 0;
    int64_t m_files = 0;
    int64_t m_folders = 0;
    // Slots of the drive's Elements the live pass tested: 0 up to this index.
    int64_t m_liveReached = 0;
    // Elements tested so far; the clock is looked at every 64th.
    int64_t m_tested = 0;
    TThrottle m_throttle;
};
