#pragma once

#include "search/TSearchCriteria.h"
#include "util/Utils.h"

#include <QString>
#include <QStringList>

class TCliApplication;

// "find": analyses one source as "scan" does and runs the file search over it: every
// element by id first, then the deleted files, then the deleted folders, each match
// printed once in the scan's line or JSON format. The search's summary goes to standard
// error.
class TFindCommand
{
public:
    struct TOptions
    {
        QString Source;
        TSearchCriteria Criteria;
        bool Json = false;
        bool Devices = false;
        bool Help = false;
    };

    explicit TFindCommand(TCliApplication& application) : m_application(application) {}

    // Runs with the arguments that follow the command name; returns the exit status.
    int run(const QStringList& arguments);

    // Reads the command's arguments into search criteria; false with a reason on error.
    static bool parseArguments(const QStringList& arguments, TOptions& options, QString& error);

    // "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SS": the first moment of that day or second, or
    // with end its last (23:59:59.999, SS.999), so that an end copied from a listing,
    // which shows whole seconds, keeps the element it was copied from. False for any
    // other text or an impossible date or time.
    static bool parseDateTime(const QString& text, bool end, TDateTime& value);
    // "30min", "12h", "3d", "2w", "6mon", "1y": a count and an age unit.
    static bool parseAge(const QString& text, int64_t& value, int& unit);
    // "=100", ">10K", "<2M": a comparison, a count and an optional K or M.
    static bool parseSize(const QString& text, int& sign, int64_t& value, int& unit);

private:
    TCliApplication& m_application;
};
