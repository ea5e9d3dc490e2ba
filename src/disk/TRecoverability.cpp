#include "disk/TRecoverability.h"

#include "settings/Messages.h"

TRecoverability::Rating TRecoverability::FromFlags(int64_t flags)
{
    if (!(flags & flag_IS_DELETED) || (flags & flag_IS_DIRECTORY)) {
        return Rating::None;
    }
    const auto code = static_cast<uint8_t>((flags & flag_RATING_MASK) >> 16);
    if (code == 0 && (flags & flag_NO_DATA)) {
        return Rating::NoData;
    }
    return static_cast<Rating>(code);
}

int TRecoverability::PercentFromFlags(int64_t flags)
{
    const int percent = static_cast<int>((flags & flag_PERCENT_MASK) >> flag_PERCENT_SHIFT);
    return percent > 100 ? 100 : percent;
}

QString TRecoverability::Word(Rating rating)
{
    switch (rating) {
    case Rating::Intact:
        return QStringLiteral("intact");
    case Rating::DataInRecord:
        return QStringLiteral("data-in-record");
    case Rating::Partial:
        return QStringLiteral("partial");
    case Rating::Overwritten:
        return QStringLiteral("overwritten");
    case Rating::NoData:
        return QStringLiteral("no-data");
    case Rating::Guess:
        return QStringLiteral("guess");
    case Rating::Mismatch:
        return QStringLiteral("mismatch");
    case Rating::None:
        break;
    }
    return QString();
}

QString TRecoverability::ShortText(Rating rating, int percent)
{
    switch (rating) {
    case Rating::Intact:
        return Messages::RecoveryIntact.Text();
    case Rating::DataInRecord:
        return Messages::RecoveryDataInRecord.Text();
    case Rating::Partial:
        return Messages::RecoveryPartly.Text().arg(percent);
    case Rating::Overwritten:
        return Messages::RecoveryOverwritten.Text();
    case Rating::NoData:
        return Messages::RecoveryNoData.Text();
    case Rating::Guess:
        return Messages::RecoveryGuess.Text().arg(percent);
    case Rating::Mismatch:
        return Messages::RecoveryMismatch.Text();
    case Rating::None:
        break;
    }
    return QString();
}

QString TRecoverability::Text(Rating rating, int percent)
{
    switch (rating) {
    case Rating::Intact:
        return QStringLiteral("Intact: none of its clusters is in use");
    case Rating::DataInRecord:
        return QStringLiteral(
            "Data in the record: its content is kept in its own file record, which no other "
            "file has taken");
    case Rating::Partial:
        return QStringLiteral("Partly overwritten: %1 % of its clusters now belong to other data")
            .arg(percent);
    case Rating::Overwritten:
        return QStringLiteral(
            "Overwritten: all of its clusters, or the first of them, now belong to other data");
    case Rating::NoData:
        return QStringLiteral("No data: only its name survives; nothing tells where its content was");
    case Rating::Guess:
        return QStringLiteral(
                   "Fragmented guess: only its first cluster is known, and %1 % of the clusters "
                   "assumed to follow it are in use; it may go on past them or be partly overwritten")
            .arg(percent);
    case Rating::Mismatch:
        return QStringLiteral("Content does not match its type: the file does not start as a file of its "
                              "type must, so its clusters hold other data");
    case Rating::None:
        break;
    }
    return QString();
}
