#pragma once

#include <QString>
#include <QStringList>

class TBaseDisk;
class TBaseElement;
class TCliApplication;

// "cat": analyses one source as "scan" does, finds one element by the path scan prints
// for it or by "#ID" (its engine id), and writes its data to standard output in chunks,
// read through the engine the way a recovery reads it. What cannot be read is reported
// on standard error after what could be read was written.
class TCatCommand
{
public:
    struct TOptions
    {
        QString Source;
        QString Entry;
        bool Devices = false;
        bool Help = false;
    };

    explicit TCatCommand(TCliApplication& application) : m_application(application) {}

    // Runs with the arguments that follow the command name; returns the exit status.
    int run(const QStringList& arguments);

    static bool parseArguments(const QStringList& arguments, TOptions& options, QString& error);

    // The elements entry names: by path as scan prints it (control characters as '?' or
    // exact), or "#ID" for the entry with that engine id; invented folders never match.
    // False with a reason when entry is "#" with no valid id.
    static bool findElements(const TBaseDisk& disk, const QString& entry, QList<const TBaseElement*>& found,
                             QString& error);

private:
    TCliApplication& m_application;
};
