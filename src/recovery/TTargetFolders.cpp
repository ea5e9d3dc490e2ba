#include "recovery/TTargetFolders.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TTargetFolders::TMakeFolder TTargetFolders::MakeFolder = &::mkdirat;

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

} // namespace

TTargetFolders::~TTargetFolders()
{
    Reset(QString());
}

void TTargetFolders::Reset(const QString& destination)
{
    closeCurrent();
    if (m_destinationFd >= 0)
        ::close(m_destinationFd);
    m_destinationFd = -1;
    m_destination = destination;
}

void TTargetFolders::closeCurrent()
{
    if (m_currentFd >= 0)
        ::close(m_currentFd);
    m_currentFd = -1;
}

int TTargetFolders::openDestination(bool mayCreate, QString& error, bool& missing)
{
    if (m_destinationFd >= 0)
        return m_destinationFd;
    const QByteArray path = QFile::encodeName(m_destination);
    m_destinationFd = ::open(path.constData(), FolderFlags);
    if (m_destinationFd >= 0)
        return m_destinationFd;
    if (errno != ENOENT) {
        error = QStringLiteral("Cannot open folder %1: %2").arg(m_destination, errnoText(errno));
        return -1;
    }
    missing = true;
    if (!mayCreate)
        return -1;
    // The user's folder and its missing parents, one level after another.
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray prefix = slash < 0 ? path : path.left(slash);
        if (!prefix.isEmpty() && !prefix.endsWith('/') &&
            MakeFolder(AT_FDCWD, prefix.constData(), 0755) != 0 && errno != EEXIST) {
            error = QStringLiteral("Cannot create folder %1: %2")
                        .arg(QFile::decodeName(prefix), errnoText(errno));
            return -1;
        }
        if (slash < 0)
            break;
    }
    missing = false;
    m_destinationFd = ::open(path.constData(), FolderFlags);
    if (m_destinationFd < 0)
        error = QStringLiteral("Cannot open folder %1: %2").arg(m_destination, errnoText(errno));
    return m_destinationFd;
}

int TTargetFolders::Reach(const QStringList& levels, bool mayCreate, QString& error, bool& missing)
{
    error.clear();
    missing = false;
    closeCurrent();
    const int destination = openDestination(mayCreate, error, missing);
    if (destination < 0 || levels.isEmpty())
        return destination;

    int current = destination;
    QString shown = m_destination;
    auto fail = [&](const QString& text) {
        if (current != destination)
            ::close(current);
        error = text;
        return -1;
    };
    for (const QString& level : levels) {
        if (!shown.endsWith(QLatin1Char('/')))
            shown += QLatin1Char('/');
        shown += level;
        const QByteArray name = QFile::encodeName(level);
        int next = ::openat(current, name.constData(), FolderFlags | O_NOFOLLOW);
        if (next < 0 && errno == ENOENT) {
            missing = true;
            if (!mayCreate)
                return fail(QString());
            if (MakeFolder(current, name.constData(), 0755) != 0 && errno != EEXIST)
                return fail(QStringLiteral("Cannot create folder %1: %2").arg(shown, errnoText(errno)));
            missing = false;
            next = ::openat(current, name.constData(), FolderFlags | O_NOFOLLOW);
        }
        if (next < 0) {
            const int reason = errno;
            struct stat status
            {
            };
            if (::fstatat(current, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(status.st_mode))
                return fail(QStringLiteral("%1 is a link; nothing is written through it").arg(shown));
            return fail(QStringLiteral("Cannot open folder %1: %2").arg(shown, errnoText(reason)));
        }
        if (current != destination)
            ::close(current);
        current = next;
    }
    m_currentFd = current;
    return current;
}
