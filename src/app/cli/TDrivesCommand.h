#pragma once

#include <QByteArray>
#include <QStringList>

struct TDriveInfo;
class TCliApplication;

// "drives": registers the images given and prints the engine's disks, one
// tab-separated line each under a header line.
class TDrivesCommand
{
public:
    explicit TDrivesCommand(TCliApplication& application) : m_application(application) {}

    int run(const QStringList& images);

    static QByteArray headerLine();
    static QByteArray driveLine(const TDriveInfo& info, const QString& path);

private:
    TCliApplication& m_application;
};
