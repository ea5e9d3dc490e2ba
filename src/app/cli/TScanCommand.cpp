#include "TScanCommand.h"

#include "TCliApplication.h"
#include "TInterruptGuard.h"

#include "disk/TBaseDisk.h"
#include "disk/TScanProgress.h"
#include "disk/TScanReport.h"
#include "disk/TSourceArgument.h"
#include "disk/TVantrelApi.h"

#include <QElapsedTimer>

#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// Progress of an analysis: remembers how many records arrived, turns Ctrl+C into a
// cancel, and shows a percentage when standard error is a terminal.
class TCliScanProgress final : public TScanProgress
{
public:
    explicit TCliScanProgress(const QString& name)
        : m_name(TCliApplication::sourceLabel(name).toUtf8()), m_show(isatty(STDERR_FILENO))
    {
    }
    ~TCliScanProgress() override { clearLine(); }

    void SetMaximum(int64_t maximum) override { m_maximum = maximum; }
    void SetPosition(int64_t position) override { m_position = position; }
    void SetFileLabel(const QString&) override {}
    void PumpMessages() override
    {
        if (TInterruptGuard::Interrupted()) {
            StopScan = true;
        }
        if (m_show && m_maximum > 0) {
            const int64_t percent = std::min<int64_t>(100, m_position * 100 / m_maximum);
            std::fprintf(stderr, "\rScanning %s%lld%%", m_name.constData(), static_cast<long long>(percent));
            std::fflush(stderr);
            m_shown = true;
        }
    }

    int64_t position() const { return m_position; }

private:
    void clearLine()
    {
        if (m_shown) {
            std::fprintf(stderr, "\r\033[K");
            std::fflush(stderr);
        }
    }

    QByteArray m_name;
    bool m_show;
    bool m_shown = false;
    int64_t m_maximum = 0;
    int64_t m_position = 0;
};

} // namespace

int TScanCommand::run(const QStringList& sources, bool deletedOnly, bool json)
{
    // Every source is checked before anything is scanned, so a typo costs no time.
    std::vector<TSourceArgument> specs;
    for (const QString& text : sources) {
        TSourceArgument spec;
        QString error;
        if (!TSourceArgument::Parse(text, spec, error)) {
            TCliApplication::printError(error);
            return TCliApplication::ExitBadInput;
        }
        if (spec.isImage() && !m_application.registerImage(spec.imagePath())) {
            return TCliApplication::ExitBadInput;
        }
        specs.push_back(spec);
    }

    const TVantrelApi& api = TVantrelApi::Current();
    api.DisksRescan();
    std::vector<int32_t> ids;
    for (const TSourceArgument& spec : specs) {
        QString error;
        const int32_t id = spec.Resolve(api, error);
        if (id < 0) {
            TCliApplication::printError(error);
            return TCliApplication::ExitBadInput;
        }
        ids.push_back(id);
    }

    int status = TCliApplication::ExitOk;
    for (size_t i = 0; i < specs.size(); ++i) {
        const int result = scanDisk(specs[i], ids[i], deletedOnly, json);
        if (result == TCliApplication::ExitInterrupted) {
            return result;
        }
        if (result != TCliApplication::ExitOk) {
            status = result;
        }
    }
    return status;
}

int TScanCommand::scanDisk(const TSourceArgument& source, int32_t driveId, bool deletedOnly, bool json)
{
    const QString name = source.text();
    std::unique_ptr<TBaseDisk> disk = CreateDisk(driveId);
    TCliScanProgress progress(name);
    QElapsedTimer timer;
    timer.start();
    bool analysed = false;
    {
        TInterruptGuard guard;
        analysed = disk->AnalyzeDisk(&progress, false);
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!analysed)
        return TCliApplication::analysisFailed(name);

    const TScanReport report(json ? TScanReport::Format::Json : TScanReport::Format::Lines, deletedOnly);
    bool written = true;
    if (!m_headerWritten) {
        written = TCliApplication::writeOut(report.header());
        m_headerWritten = true;
    }
    const TScanReport::TCounts counts = report.write(*disk, [&written](const QByteArray& chunk) {
        written = TCliApplication::writeOut(chunk) && written;
    });
    written = std::fflush(stdout) == 0 && written;
    if (!written) {
        TCliApplication::printError(
            QStringLiteral(
                "The listing of %1 could not be written to standard output; check the disk space or "
                "the receiving program.")
                .arg(name));
        return TCliApplication::ExitFailed;
    }

    const int64_t records = progress.position();
    std::fprintf(stderr, "%s%lld folders, %lld files, %lld deleted; %lld records in %.3f s, %.0f records/s\n",
                 TCliApplication::sourceLabel(name).toUtf8().constData(),
                 static_cast<long long>(counts.Folders), static_cast<long long>(counts.Files),
                 static_cast<long long>(counts.Deleted), static_cast<long long>(records), seconds,
                 seconds > 0 ? static_cast<double>(records) / seconds : 0.0);
    std::fflush(stderr);
    return TCliApplication::ExitOk;
}
