#include "recovery/TProgramLog.h"

#include "settings/Settings.h"
#include "util/Utils.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The logs recycled in this program run: a log starts empty once, at its first opening.
QSet<QString>& recycledThisRun()
{
    static QSet<QString> paths;
    return paths;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

TProgramLog::Options TProgramLog::FromSettings()
{
    Options options;
    if (!GlobalLogEnable || GlobalLogFilename.trimmed().isEmpty())
        return options;
    QString path = GlobalLogFilename.trimmed();
    if (!path.contains(QLatin1Char('/'))) {
        const QString programDir = GetProgramDir();
        if (QFileInfo(programDir).isWritable())
            path = programDir + path;
        else
            path =
                QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + path;
    }
    options.Path = QDir::cleanPath(path);
    options.Recycle = GlobalLogRecycle;
    options.MaxBytes = int64_t(GlobalLogSizeMaxKb) * 1024;
    options.Status = GlobalLogAddStatus;
    options.Warnings = GlobalLogAddWarnings;
    options.Errors = GlobalLogAddErrors;
    options.Debug = GlobalLogAddDebug;
    return options;
}

TProgramLog::TProgramLog(Options options) : m_options(std::move(options)) {}

TProgramLog::~TProgramLog()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TProgramLog::fail(const QString& what)
{
    m_error = what;
    m_failed = true;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return false;
}

bool TProgramLog::open()
{
    const QByteArray path = QFile::encodeName(m_options.Path);
    const QString folder = QFileInfo(m_options.Path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create folder %1").arg(folder));
    // Non-blocking, so that a FIFO planted under the log's name is refused, not waited on.
    m_fd =
        ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (m_fd < 0)
        return fail(errnoText(errno));
    struct stat st = {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(QStringLiteral("not a regular file"));
    ::fcntl(m_fd, F_SETFL, O_APPEND);
    m_size = st.st_size;
    if (m_options.Recycle && !recycledThisRun().contains(m_options.Path)) {
        recycledThisRun().insert(m_options.Path);
        if (::ftruncate(m_fd, 0) != 0)
            return fail(errnoText(errno));
        m_size = 0;
    }
    return true;
}

bool TProgramLog::rotate()
{
    ::close(m_fd);
    m_fd = -1;
    const QByteArray path = QFile::encodeName(m_options.Path);
    const QByteArray old = path + ".1";
    if (::rename(path.constData(), old.constData()) != 0)
        return fail(errnoText(errno));
    const bool recycle = m_options.Recycle;
    m_options.Recycle = false; // the new file is empty already
    const bool opened = open();
    m_options.Recycle = recycle;
    return opened;
}

bool TProgramLog::Add(Kind kind, const QString& line)
{
    const bool included =
        (kind == Kind::Status && m_options.Status) || (kind == Kind::Warning && m_options.Warnings) ||
        (kind == Kind::Error && m_options.Errors) || (kind == Kind::Debug && m_options.Debug);
    if (m_failed)
        return false;
    if (!included || m_options.Path.isEmpty())
        return true;
    if (m_fd < 0 && !open())
        return false;
    const QByteArray text =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral("  ") +
         QString(line).replace(QLatin1Char('\n'), QLatin1Char(' ')) + QLatin1Char('\n'))
            .toUtf8();
    if (m_options.MaxBytes > 0 && m_size > 0 && m_size + text.size() > m_options.MaxBytes && !rotate())
        return false;
    const char* data = text.constData();
    qsizetype left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail(errnoText(written < 0 ? errno : ENOSPC));
        data += written;
        left -= written;
    }
    m_size += text.size();
    return true;
}
