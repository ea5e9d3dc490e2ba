#pragma once

#include <QString>

class TBaseElement;

// What a running file search reports. The find window lists and shows, the command line
// prints, tests record. Every call comes on the thread that runs the search.
class TSearchSink
{
public:
    virtual ~TSearchSink() = default;

    // An element that matched; each element is reported once per search.
    virtual void AddResult(TBaseElement* element) = 0;
    // The progress text ("Progress: 42% (live)") and the element being tested, given once
    // per repaint interval, and at the end an empty progress with the summary.
    virtual void ShowStatus(const QString& progress, const QString& detail) = 0;
    // Lets pending window messages run; called after each status.
    virtual void PumpMessages() {}
    // True once for each press of Stop, which ends the pass under way; the search clears
    // the press by asking.
    virtual bool TakeStop() { return false; }
};
