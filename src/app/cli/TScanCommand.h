#pragma once

#include <QStringList>

#include <cstdint>

class TCliApplication;
class TSourceArgument;

// "scan": analyses each source as the desktop program does and prints its elements.
class TScanCommand
{
public:
    explicit TScanCommand(TCliApplication& application) : m_application(application) {}

    int run(const QStringList& sources, bool deletedOnly, bool json);

private:
    // Analyses one engine disk and prints it; returns an exit status.
    int scanDisk(const TSourceArgument& source, int32_t driveId, bool deletedOnly, bool json);

    TCliApplication& m_application;
    bool m_headerWritten = false;
};
