#include "search/TFileSearch.h"

#include "settings/Messages.h"
#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "search/TMask.h"
#include "search/TSearchSink.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace {

TDateTime localNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    return EncodeDateTime(now.date(), now.time());
}

} // namespace

TFileSearch::TFileSearch(const TSearchCriteria& criteria, TSearchSink& sink)
    : m_criteria(criteria), m_sink(sink)
{
}

TFileSearch::~TFileSearch() = default;

QString TFileSearch::Summary(int64_t files, int64_t folders)
{
    return Messages::FoundCount.Text().arg(QString::number(files), QString::number(folders));
}

bool TFileSearch::ParseId(const QString& text, int64_t& id)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return false;
    id = value;
    return true;
}

namespace {

QString idProblem(const QString& idText)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(idText);
}

} // namespace

QString TFileSearch::InputProblem(const TSearchCriteria& criteria)
{
    const QString idText = criteria.IdText.trimmed();
    int64_t id = -1;
    if (!idText.isEmpty() && !ParseId(idText, id))
        return idProblem(idText);
    try {
        TMask mask(criteria.Mask);
    } catch (const EMaskException& error) {
        return error.Message();
    }
    return QString();
}

TDateTime TFileSearch::AgeLimit(TDateTime now, int64_t value, int unit)
{
    switch (unit) {
    case TSearchCriteria::auMinutes:
        return now - double(value) / 1440.0;
    case TSearchCriteria::auHours:
        return now - double(value) / 24.0;
    case TSearchCriteria::auDays:
        return now - double(value);
    case TSearchCriteria::auWeeks:
        return now - 7.0 * double(value);
    case TSearchCriteria::auMonths:
    case TSearchCriteria::auYears: {
        // Calendar months and years: the same time of day, the day clamped to the
        // target month's length (31 March less one month is 28 or 29 February).
        QDate date;
        QTime time;
        DecodeDateTime(now, date, time);
        const int64_t months = unit == TSearchCriteria::auMonths ? value : value * 12;
        if (!date.isValid() || std::abs(months) > 12 * 10000)
            return months > 0 ? -std::numeric_limits<double>::infinity() : now;
        const QDate back = date.addMonths(-int(months));
        return back.isValid() ? EncodeDateTime(back, time) : -std::numeric_limits<double>::infinity();
    }
    default:
        return -std::numeric_limits<double>::infinity();
    }
}

int64_t TFileSearch::SizeThreshold(int64_t value, int unit)
{
    const int64_t factor = unit == TSearchCriteria::suBytes    ? 1
                           : unit == TSearchCriteria::suKBytes ? dwKB
                           : unit == TSearchCriteria::suMBytes ? dwMB
                                                               : 0;
    int64_t threshold = 0;
    // A value too large for 64 bits compares as the largest size there is.
    if (__builtin_mul_overflow(value, factor, &threshold))
        return value < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return threshold;
}

bool TFileSearch::matches(const TBaseElement& element)
{
    // The mask is compiled at the first element tested, so an invalid one is reported
    // there, and matched against every element after.
    if (!m_mask)
        m_mask = std::make_unique<TMask>(m_criteria.Mask);
    // An id decides instead of the name, so the name is not made for it.
    if (m_byId ? element.TrueID != m_id : !m_mask->Matches(element.GetName()))
        return false;
    if (m_criteria.DateBetween &&
        (element.DateCreated < m_criteria.DateStart || element.DateCreated > m_criteria.DateEnd))
        return false;
    if (m_criteria.Age && m_criteria.AgeUnit != TSearchCriteria::auNone && m_ageLimit > element.DateCreated)
        return false;
    if (m_criteria.Size) {
        switch (m_criteria.SizeSign) {
        case TSearchCriteria::ssEqual:
            if (element.Size != m_sizeThreshold)
                return false;
            break;
        case TSearchCriteria::ssGreater:
            if (element.Size <= m_sizeThreshold)
                return false;
            break;
        case TSearchCriteria::ssLess:
            if (element.Size >= m_sizeThreshold)
                return false;
            break;
        default:
            break;
        }
    }
    if (m_criteria.OnlyDeleted && !element.IsDeleted())
        return false;
    return true;
}

bool TFileSearch::CheckElement(TBaseElement& element)
{
    if (!matches(element))
        return false;
    ++(element.IsFolder() ? m_folders : m_files);
    m_sink.AddResult(&element);
    return true;
}

void TFileSearch::tested(int64_t position, int64_t count, const char* suffix, const TBaseElement& element)
{
    // Status texts and a turn for the window once per repaint interval: making the
    // element's full name and serving messages after every element would cost more than
    // the search itself.
    if ((++m_tested & 63) != 0 && !TThrottle::ClockSet())
        return;
    if (!m_throttle.Due())
        return;
    const int64_t percent = count > 0 ? position * 100 / count : 0;
    m_sink.ShowStatus(QStringLiteral("Progress: %1%%2").arg(percent).arg(QLatin1String(suffix)),
                      element.GetFullName());
    m_sink.PumpMessages();
}

bool TFileSearch::deletedPass(const TElementsList& list, const TBaseDisk& disk, const char* suffix)
{
    const int64_t count = list.Count();
    for (int64_t i = 0; i < count; ++i) {
        if (m_sink.TakeStop())
            return false;
        TBaseElement* element = list[int32_t(i)];
        if (!element)
            continue;
        // An element the live pass reached at its own slot has been tested with the same
        // criteria: listing it again would count it twice.
        const int64_t id = element->TrueID;
        const bool testedLive = id >= 0 && id < m_liveReached && id <= std::numeric_limits<int32_t>::max() &&
                                disk.Elements.GetItem(int32_t(id)) == element;
        if (!testedLive)
            CheckElement(*element);
        tested(i, count, suffix, *element);
    }
    return true;
}

QString TFileSearch::Run(const TBaseDisk& disk)
{
    m_files = 0;
    m_folders = 0;
    m_liveReached = 0;
    m_tested = 0;
    m_mask.reset();
    m_id = -1;
    const QString idText = m_criteria.IdText.trimmed();
    m_byId = !idText.isEmpty();
    if (m_byId && !ParseId(idText, m_id))
        return idProblem(idText);
    m_ageLimit = AgeLimit(TNow::Get() ? TNow::Get()() : localNow(), m_criteria.AgeValue, m_criteria.AgeUnit);
    m_sizeThreshold = SizeThreshold(m_criteria.SizeValue, m_criteria.SizeUnit);
    m_throttle.Start();

    try {
        if (!m_criteria.OnlyDeleted) {
            const int64_t count = disk.Elements.Count();
            int64_t i = 0;
            for (; i < count; ++i) {
                if (m_sink.TakeStop())
                    break;
                TBaseElement* element = disk.Elements.GetItem(int32_t(i));
                if (!element)
                    continue;
                CheckElement(*element);
                tested(i, count, " (live)", *element);
            }
            m_liveReached = i;
        }
        deletedPass(disk.LostFiles, disk, " (deleted files)");
        deletedPass(disk.LostFolders, disk, "");
    } catch (const EMaskException& error) {
        return error.Message();
    }
    m_sink.ShowStatus(QString(), Summary(m_files, m_folders));
    return QString();
}
