#pragma once

#include "recovery/TRecoveryRun.h"

#include <QString>
#include <QStringList>

class TCliApplication;

// "recover": analyses one source as "scan" does, ticks what is selected in a check tree
// built the way the recovery wizard builds it, and runs the same recovery: every file,
// every deleted one, the deleted ones rated intact, or the files whose display name
// matches a mask (the filters combine), each under its folder path below the
// destination. The run's log goes to standard output, a summary to standard error, in
// which damaged copies are counted apart from the files recovered; with --manifest a
// CSV of every ticked file goes into the destination.
class TRecoverCommand
{
public:
    struct TOptions
    {
        QString Source;
        QString Destination;
        bool DeletedOnly = false;
        bool IntactOnly = false; // only deleted files rated intact or data-in-record
        bool Manifest = false;   // write recovery-manifest.csv into the destination
        bool HasMask = false;
        QString Mask;
        TRecoveryRun::TOverwrite Overwrite = TRecoveryRun::TOverwrite::Ask;
        bool Devices = false;
        bool Help = false;
    };

    explicit TRecoverCommand(TCliApplication& application) : m_application(application) {}

    // Runs with the arguments that follow the command name; returns the exit status.
    int run(const QStringList& arguments);

    // Reads the command's arguments; false with a reason on error.
    static bool parseArguments(const QStringList& arguments, TOptions& options, QString& error);

private:
    TCliApplication& m_application;
};
