#include "recovery/TRecoveryManifest.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a descriptor however the function that opened it ends.
class TFd
{
public:
    explicit TFd(int fd) : m_fd(fd) {}
    ~TFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t wrote = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

} // namespace

QString TRecoveryManifest::Word(Result result)
{
    switch (result) {
    case Result::Recovered:
        return QStringLiteral("recovered");
    case Result::Damaged:
        return QStringLiteral("damaged");
    case Result::Failed:
        return QStringLiteral("failed");
    case Result::Skipped:
        return QStringLiteral("skipped");
    case Result::Cancelled:
        return QStringLiteral("cancelled");
    }
    return QString();
}

QString TRecoveryManifest::Field(const QString& text)
{
    const bool quoted = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                        text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!quoted)
        return text;
    QString field = text;
    field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

QByteArray TRecoveryManifest::Csv() const
{
    QByteArray out = "source,target,size,written,rating,sha256,result,reason\r\n";
    for (const TRow& row : m_rows) {
        const QStringList fields{
            Field(row.Source),         Field(row.Target),
            QString::number(row.Size), row.Written >= 0 ? QString::number(row.Written) : QString(),
            Field(row.Rating),         QString::fromLatin1(row.Sha256),
            Word(row.Outcome),         Field(row.Reason)};
        out += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return out;
}

QString TRecoveryManifest::WriteInto(int folder, QString& error) const
{
    error.clear();
    const QByteArray data = Csv();
    const QString base = QString::fromLatin1(FileName);
    for (int n = 1; n <= 10000; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("recovery-manifest-%1.csv").arg(n);
        const QByteArray encoded = QFile::encodeName(name);
        // O_EXCL: an existing manifest, or anything else of that name, is never replaced.
        const TFd fd(::openat(folder, encoded.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            error = QString::fromLocal8Bit(std::strerror(errno));
            return QString();
        }
        if (!writeAll(fd.get(), data) || ::fsync(fd.get()) != 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            ::unlinkat(folder, encoded.constData(), 0);
            return QString();
        }
        return name;
    }
    error = QStringLiteral("every manifest name is taken");
    return QString();
}

QByteArray TRecoveryManifest::HashFile(int folder, const QString& name, int64_t& bytes,
                                       const std::function<bool()>& keepGoing)
{
    bytes = -1;
    const TFd fd(::openat(folder, QFile::encodeName(name).constData(),
                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status
    {
    };
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return QByteArray();
    bytes = int64_t(status.st_size);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // A small file needs no 1 MiB buffer: most recovered files are a few KiB, and
    // allocating that much for each cost more than reading it. One byte more than the
    // size lets the first read see the end.
    const int64_t wanted = std::clamp<int64_t>(int64_t(status.st_size) + 1, 4096, int64_t(1) << 20);
    QByteArray chunk(qsizetype(wanted), Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk.data(), size_t(chunk.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return QByteArray();
        if (got == 0)
            break;
        hash.addData(QByteArrayView(chunk.constData(), got));
        if (keepGoing && !keepGoing())
            return QByteArray();
    }
    return hash.result().toHex();
}
