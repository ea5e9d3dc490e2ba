#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// The folders of a recovery run below its destination, reached level by level from the
// destination's open handle without following links: a name from the disk can neither
// leave the destination nor be sent elsewhere by a link planted inside it. Missing levels
// are created. The destination itself is taken as the user gave it, links included.
class TTargetFolders
{
public:
    TTargetFolders() = default;
    ~TTargetFolders();
    TTargetFolders(const TTargetFolders&) = delete;
    TTargetFolders& operator=(const TTargetFolders&) = delete;

    // Starts over with destination, an absolute POSIX path; nothing is opened yet.
    void Reset(const QString& destination);

    // Opens the folder made of levels below the destination (none: the destination),
    // creating missing levels when mayCreate. Returns its handle, valid until the next
    // call, or -1 with the first error met in error; missing tells that a level (or the
    // destination) did not exist and was not created.
    int Reach(const QStringList& levels, bool mayCreate, QString& error, bool& missing);

    // Creates a folder; ::mkdirat unless a test put a failing one in its place.
    using TMakeFolder = int (*)(int folder, const char* name, mode_t mode);
    static TMakeFolder MakeFolder;

private:
    int openDestination(bool mayCreate, QString& error, bool& missing);
    void closeCurrent();

    QString m_destination;
    int m_destinationFd = -1;
    int m_currentFd = -1; // the handle Reach gave last, when not the destination's
};
