#include "viewers/TFileProperties.h"

#include "disk/TBaseElement.h"
#include "disk/TElementKind.h"
#include "disk/TEngineRecord.h"
#include "disk/TVantrelApi.h"
#include "settings/Messages.h"

#include <QDate>
#include <QTime>

#include <limits>
#include <vector>

TFileProperties::TFileProperties(const TBaseElement& element, const QLocale& locale)
    : Caption(element.GetName() + QStringLiteral(" Properties")), Name(element.GetName()),
      Id(QString::number(element.TrueID)), Status(StatusOf(element)), Found(FoundOf(element)),
      Type(element.GetFileType()), Location(LocationOf(element)), Size(SizeText(element.Size, locale)),
      SizeOnDisk(SizeOnDiskText(element.Size, locale)), Created(DateTimeText(element.DateCreated, locale)),
      Modified(DateTimeText(element.DateModified, locale)),
      Accessed(DateTimeText(element.DateAccessed, locale)),
      HasRecovery(element.Recovery != TRecoverability::Rating::None), RecoveryVerdict(VerdictOf(element)),
      RecoveryDetails(element.GetRecoveryText()), ImageIndex(IconOf(element))
{
    using R = TRecoverability::Rating;
    if (element.Recovery == R::Partial || element.Recovery == R::Overwritten ||
        element.Recovery == R::Guess) {
        auto record = std::make_shared<TFileInfo>();
        TEngineRecord::Fill(element, *record);
        OwnersRecord = std::move(record);
    }
}

TFileProperties::TOwners TFileProperties::FindOwners(const TFileInfo& record)
{
    const TVantrelApi& api = TVantrelApi::Current();
    TOwners owners;
    if (!api.ClusterOwners) {
        owners.Error = QStringLiteral("the engine in use cannot tell.");
        return owners;
    }
    // Room for every listed path at its longest, and the "more" line.
    std::vector<char16_t> text(size_t{VANTREL_MAX_OWNERS_LISTED + 1} * VANTREL_MAX_NAME + 1, u'\0');
    owners.Count = TVantrelApi::Guarded(api.ClusterOwners, int32_t{-1}, &record, text.data(),
                                        static_cast<int32_t>(text.size()));
    if (owners.Count < 0) {
        owners.Count = -1;
        owners.Error = TVantrelApi::GuardedText(api.LastError);
        if (owners.Error.isEmpty())
            owners.Error = QStringLiteral("the engine gave no reason.");
        return owners;
    }
    text.back() = u'\0';
    owners.Paths = QString::fromUtf16(text.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return owners;
}

QString TFileProperties::OwnersText(const TOwners& owners)
{
    if (owners.Count < 0)
        return Messages::OwnersNotFound.Text().arg(owners.Error);
    if (owners.Count == 0 || owners.Paths.isEmpty())
        return Messages::NoOwners.Text();
    return QStringLiteral("Its clusters now belong to:\n") + owners.Paths.join(QLatin1Char('\n'));
}

QString TFileProperties::VerdictOf(const TBaseElement& element)
{
    using R = TRecoverability::Rating;
    switch (element.Recovery) {
    case R::Intact:
    case R::DataInRecord:
        return Messages::RecoveryPossible.Text();
    case R::Partial:
    case R::Guess:
    case R::Mismatch:
        return Messages::RecoveryPartiallyPossible.Text();
    case R::Overwritten:
    case R::NoData:
        return Messages::RecoveryImpossible.Text();
    case R::None:
        break;
    }
    return QString();
}

TFileProperties::Icon TFileProperties::IconOf(const TBaseElement& element)
{
    return static_cast<Icon>(ElementKindOf(element.Flags));
}

QString TFileProperties::FoundOf(const TBaseElement& element)
{
    const int64_t flags = element.Flags;
    QString text;
    if (flags & flag_EMPTY)
        text = Messages::FoundPlaceholder.Text();
    else if (flags & flag_FOUND_INDEX)
        text = Messages::FoundInIndex.Text();
    else if (flags & flag_FOUND_REBUILT)
        text = Messages::FoundInRebuiltFolder.Text();
    else if (flags & flag_FOUND_ORPHAN)
        text = Messages::FoundWithoutFolder.Text();
    else if (flags & flag_PARENT_REUSED)
        text = Messages::FoundInReusedRecord.Text();
    else
        text = Messages::FoundInRecords.Text();
    if (flags & flag_NO_DATA)
        text += Messages::ContentGone.Text();
    return text;
}

QString TFileProperties::StatusOf(const TBaseElement& element)
{
    if (element.IsDeleted())
        return Messages::ConditionDeleted.Text();
    if (element.ContainDeleted())
        return Messages::StateLiveContainsDeleted.Text();
    return Messages::ConditionLive.Text();
}

QString TFileProperties::LocationOf(const TBaseElement& element)
{
    if (!element.Parent)
        return QStringLiteral("\\");
    return element.Parent->GetPath();
}

QString TFileProperties::SizeText(int64_t size, const QLocale& locale)
{
    return FormatSize(size) + QStringLiteral(" (") + FormatBytes(size, locale) + QStringLiteral(" bytes)");
}

int64_t TFileProperties::RoundedSize(int64_t size)
{
    if (size < 0 || size % ClusterSize == 0)
        return size;
    // The next multiple would not fit in 64 bits: a damaged record, keep its size.
    if (size > std::numeric_limits<int64_t>::max() - ClusterSize)
        return size;
    return (size / ClusterSize + 1) * ClusterSize;
}

QString TFileProperties::SizeOnDiskText(int64_t size, const QLocale& locale)
{
    const int64_t rounded = RoundedSize(size);
    if (rounded == size)
        return SizeText(size, locale);
    return FormatSize(rounded) + QStringLiteral(" ( ") + FormatBytes(rounded, locale) +
           QStringLiteral(" bytes)");
}

QString TFileProperties::DateTimeText(TDateTime value, const QLocale& locale)
{
    QDate date;
    QTime time;
    DecodeDateTime(value, date, time);
    if (!date.isValid() || IsUnknownDateTime(value))
        return QString();
    QString text = locale.toString(date, QLocale::ShortFormat);
    if (time.isValid() && (time.hour() != 0 || time.minute() != 0 || time.second() != 0)) {
        // The long time format without its time-zone part: file times carry no zone.
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.remove(QLatin1Char('t'));
        text += QLatin1Char(' ') + locale.toString(time, format.simplified());
    }
    return text;
}
