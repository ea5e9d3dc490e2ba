#include "TFindCommand.h"

#include "TCliApplication.h"
#include "TCliArguments.h"
#include "TInterruptGuard.h"

#include "disk/TBaseDisk.h"
#include "disk/TScanReport.h"
#include "search/TFileSearch.h"
#include "search/TSearchSink.h"

#include <QRegularExpression>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// Prints the search's hits in pieces of many lines, shows its progress when standard
// error is a terminal, keeps its summary, and stops every pass once Ctrl+C came.
class TCliSearchSink final : public TSearchSink
{
public:
    explicit TCliSearchSink(const TScanReport& report) : m_report(report), m_show(isatty(STDERR_FILENO)) {}
    ~TCliSearchSink() override { clearLine(); }

    void AddResult(TBaseElement* element) override
    {
        m_buffer += m_report.formatElement(*element, TScanReport::elementPath(*element));
        if (m_buffer.size() >= ChunkSize)
            flush();
    }
    void ShowStatus(const QString& progress, const QString& detail) override
    {
        // The last status has no progress and the summary as its detail.
        if (progress.isEmpty()) {
            clearLine();
            m_summary = detail;
            return;
        }
        if (m_show) {
            std::fprintf(stderr, "\r%s\033[K", progress.toUtf8().constData());
            std::fflush(stderr);
            m_shown = true;
        }
    }
    bool TakeStop() override { return TInterruptGuard::Interrupted(); }

    // Writes what is buffered; false once any write failed.
    bool flush()
    {
        if (!m_buffer.isEmpty()) {
            m_written = TCliApplication::writeOut(m_buffer) && m_written;
            m_buffer.clear();
        }
        return m_written;
    }
    const QString& summary() const { return m_summary; }

private:
    static constexpr qsizetype ChunkSize = 64 * 1024;

    void clearLine()
    {
        if (m_shown) {
            std::fprintf(stderr, "\r\033[K");
            std::fflush(stderr);
            m_shown = false;
        }
    }

    const TScanReport& m_report;
    QByteArray m_buffer;
    bool m_written = true;
    bool m_show;
    bool m_shown = false;
    QString m_summary;
};

} // namespace

bool TFindCommand::parseDateTime(const QString& text, bool end, TDateTime& value)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:T(\\d{2}):(\\d{2}):(\\d{2}))?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    QTime time = end ? QTime(23, 59, 59, 999) : QTime(0, 0);
    if (match.hasCaptured(4))
        time = QTime(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt(),
                     end ? 999 : 0);
    if (!date.isValid() || !time.isValid())
        return false;
    value = EncodeDateTime(date, time);
    return true;
}

bool TFindCommand::parseAge(const QString& text, int64_t& value, int& unit)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+)(min|h|d|w|mon|y)$"));
    const QRegularExpressionMatch match = form.match(text);
    bool ok = false;
    const qlonglong count = match.hasMatch() ? match.captured(1).toLongLong(&ok) : 0;
    if (!ok)
        return false;
    static const QStringList units = {QStringLiteral("min"), QStringLiteral("h"),   QStringLiteral("d"),
                                      QStringLiteral("w"),   QStringLiteral("mon"), QStringLiteral("y")};
    static_assert(TSearchCriteria::auMinutes == 0 && TSearchCriteria::auYears == 5);
    value = count;
    unit = int(units.indexOf(match.captured(2)));
    return true;
}

bool TFindCommand::parseSize(const QString& text, int& sign, int64_t& value, int& unit)
{
    static const QRegularExpression form(QStringLiteral("^([=><])(\\d+)([KkMm]?)$"));
    const QRegularExpressionMatch match = form.match(text);
    bool ok = false;
    const qlonglong count = match.hasMatch() ? match.captured(2).toLongLong(&ok) : 0;
    if (!ok)
        return false;
    const QChar comparison = match.captured(1).front();
    sign = comparison == QLatin1Char('=')   ? TSearchCriteria::ssEqual
           : comparison == QLatin1Char('>') ? TSearchCriteria::ssGreater
                                            : TSearchCriteria::ssLess;
    value = count;
    const QString suffix = match.captured(3).toUpper();
    unit = suffix.isEmpty()               ? TSearchCriteria::suBytes
           : suffix == QLatin1String("K") ? TSearchCriteria::suKBytes
                                          : TSearchCriteria::suMBytes;
    return true;
}

bool TFindCommand::parseArguments(const QStringList& arguments, TOptions& options, QString& error)
{
    options = TOptions();
    TSearchCriteria& criteria = options.Criteria;
    bool hasMask = false;
    TCliArguments args(arguments);
    QString value;
    while (args.NextOption()) {
        const QString& name = args.Name();
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.Help = true;
        } else if (name == QLatin1String("--devices")) {
            options.Devices = true;
        } else if (name == QLatin1String("--deleted-only")) {
            criteria.OnlyDeleted = true;
        } else if (name == QLatin1String("--json")) {
            options.Json = true;
        } else if (name == QLatin1String("--mask")) {
            if (!args.TakeValue(criteria.Mask, error))
                return false;
            hasMask = true;
        } else if (name == QLatin1String("--id")) {
            if (!args.TakeValue(criteria.IdText, error))
                return false;
        } else if (name == QLatin1String("--created-between")) {
            // Two values: the first may follow "=", the second is the next argument.
            QString start, end;
            if (!args.TakeValue(start, error) ||
                !args.TakeNext(end, error, QStringLiteral("--created-between needs a start and an end.")))
                return false;
            if (!parseDateTime(start, false, criteria.DateStart) ||
                !parseDateTime(end, true, criteria.DateEnd)) {
                error =
                    QStringLiteral("--created-between takes two dates as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS, "
                                   "not \"%1\" \"%2\".")
                        .arg(start, end);
                return false;
            }
            if (criteria.DateStart > criteria.DateEnd) {
                error =
                    QStringLiteral("--created-between: the start %1 comes after the end %2.").arg(start, end);
                return false;
            }
            criteria.DateBetween = true;
        } else if (name == QLatin1String("--not-older-than")) {
            if (!args.TakeValue(value, error))
                return false;
            if (!parseAge(value, criteria.AgeValue, criteria.AgeUnit)) {
                error = QStringLiteral("--not-older-than takes a count and a unit (min, h, d, w, mon or y), "
                                       "as in 3d, not \"%1\".")
                            .arg(value);
                return false;
            }
            criteria.Age = true;
        } else if (name == QLatin1String("--size")) {
            if (!args.TakeValue(value, error))
                return false;
            if (!parseSize(value, criteria.SizeSign, criteria.SizeValue, criteria.SizeUnit)) {
                error =
                    QStringLiteral("--size takes =, > or < and a byte count with an optional K or M, as in "
                                   ">10K, not \"%1\".")
                        .arg(value);
                return false;
            }
            criteria.Size = true;
        } else {
            return args.Unknown(error);
        }
    }
    const QStringList& operands = args.Operands();
    if (options.Help)
        return true;
    if (operands.size() != 1) {
        error = QStringLiteral("find needs exactly one SOURCE.");
        return false;
    }
    options.Source = operands.front();
    // Without a mask every name matches; an id, when given, decides instead of the name.
    if (!hasMask)
        criteria.Mask = QStringLiteral("*");
    return true;
}

int TFindCommand::run(const QStringList& arguments)
{
    TOptions options;
    QString error;
    if (!parseArguments(arguments, options, error))
        return TCliApplication::badArguments(error);
    if (options.Help)
        return TCliApplication::printUsage();
    // A bad mask or id is refused before anything is read.
    if (const QString problem = TFileSearch::InputProblem(options.Criteria); !problem.isEmpty()) {
        TCliApplication::printError(problem);
        return TCliApplication::ExitBadInput;
    }

    TInterruptGuard guard;
    int status = TCliApplication::ExitOk;
    const std::unique_ptr<TBaseDisk> disk =
        m_application.analyseSource(options.Source, options.Devices, status);
    if (!disk)
        return status;

    const TScanReport report(options.Json ? TScanReport::Format::Json : TScanReport::Format::Lines, false);
    TCliSearchSink sink(report);
    bool written = TCliApplication::writeOut(report.header());
    TFileSearch search(options.Criteria, sink);
    const QString problem = search.Run(*disk);
    if (!problem.isEmpty()) {
        TCliApplication::printError(problem);
        return TCliApplication::ExitBadInput;
    }
    written = sink.flush() && written;
    written = std::fflush(stdout) == 0 && written;
    if (!written) {
        TCliApplication::printError(
            QStringLiteral("The hits in %1 could not be written to standard output; check the disk space or "
                           "the receiving program.")
                .arg(options.Source));
        return TCliApplication::ExitFailed;
    }
    std::fprintf(stderr, "%s\n", sink.summary().toUtf8().constData());
    std::fflush(stderr);
    if (TInterruptGuard::Interrupted()) {
        TCliApplication::printError(
            QStringLiteral("The search of %1 was interrupted; the hits printed are those found until then.")
                .arg(options.Source));
        return TCliApplication::ExitInterrupted;
    }
    return TCliApplication::ExitOk;
}
