#include "util/Utils.h"

#include "settings/Messages.h"
#include "util/TPlatform.h"
#include "util/TUserPrompt.h"

#include "BrevantVersion.h"

#include <QStringDecoder>

#include <cmath>
#include <memory>
#include <unordered_map>

QString VerInfoFileDescription, VerInfoFileVersion, VerInfoCompanyName, VerInfoCopyright, VerInfoTrademark,
    VerInfoProductName, VerInfoProductVersion, VerInfoFileVersionBuild;

namespace {

constexpr int MaxAnsiBytes = 2048;
constexpr int64_t MsPerDay = 86400000;
constexpr uint64_t FileTimeTicksPerMs = 10000;
// Julian day of 1899-12-30, day 0 of the date-time values.
constexpr int64_t JulianDayOfDateTimeZero = 2415019;
// Days from 1601-01-01 (file time zero) to 1899-12-30.
constexpr int64_t FileTimeDaysBeforeZero = 109205;
// Days from 1601-01-01 to 10000-01-01, the first day a date-time value cannot hold.
constexpr uint64_t FileTimeDaysLimit = 3067671;
// Julian day of 0001-01-01, the first day a date-time value can hold.
constexpr int64_t JulianDayOfFirstDate = 1721426;

// Number of bytes the UTF-8 form of well-formed UTF-16 takes.
qsizetype utf8Length(QStringView text)
{
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            length += 1;
        } else if (c < 0x800) {
            length += 2;
        } else if (QChar::isHighSurrogate(c)) {
            length += 4;
            ++i;
        } else {
            length += 3;
        }
    }
    return length;
}

// Converter name of a Windows code page number; empty for the pages decoded directly.
QByteArray codePageName(uint16_t codePage)
{
    switch (codePage) {
    case 1:
        return "IBM437"; // the OEM code page
    case 1200:
        return "UTF-16LE";
    case 1201:
        return "UTF-16BE";
    case 12000:
        return "UTF-32LE";
    case 12001:
        return "UTF-32BE";
    case 20127:
        return "US-ASCII";
    case 932:
        return "Shift_JIS";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    case 10000:
        return "macintosh";
    case 28603:
        return "ISO-8859-13";
    case 28605:
        return "ISO-8859-15";
    default:
        break;
    }
    if (codePage >= 28592 && codePage <= 28599)
        return "ISO-8859-" + QByteArray::number(codePage - 28590);
    if (codePage == 874 || (codePage >= 1250 && codePage <= 1258))
        return "windows-" + QByteArray::number(codePage);
    return "cp" + QByteArray::number(codePage);
}

// Decoders are costly to open, and names are decoded one by one, so each thread keeps
// the ones it used. A stateless decoder never carries bytes from one call to the next.
QStringDecoder* decoderFor(uint16_t codePage)
{
    thread_local std::unordered_map<uint16_t, std::unique_ptr<QStringDecoder>> decoders;
    auto& slot = decoders[codePage];
    if (!slot)
        slot = std::make_unique<QStringDecoder>(codePageName(codePage).constData(),
                                                QStringConverter::Flag::Stateless);
    return slot->isValid() ? slot.get() : nullptr;
}

} // namespace

int StrSearch(const QString& pattern, const QString& text, int start)
{
    if (pattern.isEmpty() || text.isEmpty() || start < 1)
        return 0;
    if (pattern.size() > text.size() || start > text.size() - pattern.size() + 1)
        return 0;
    return static_cast<int>(text.indexOf(pattern, start - 1, Qt::CaseSensitive)) + 1;
}

int StrNPos(const QString& text, const QString& pattern, int n)
{
    int position = StrSearch(pattern, text, 1);
    for (int i = 1; i < n && position != 0; ++i)
        position = StrSearch(pattern, text, position + 1);
    return position;
}

namespace {

bool IsProgramText(QStringView text)
{
    return text.isValidUtf16() && utf8Length(text) <= MaxAnsiBytes;
}

} // namespace

QString WideStrToStr(QStringView text)
{
    return IsProgramText(text) ? text.toString() : QString();
}

QString WideStrToStr(const QString& text)
{
    return IsProgramText(text) ? text : QString();
}

QString StringToWideStringEx(const QByteArray& text, uint16_t codePage)
{
    if (text.isEmpty())
        return {};
    if (codePage == 0 || codePage == 65001)
        return QString::fromUtf8(text);
    if (codePage == 28591)
        return QString::fromLatin1(text);
    QStringDecoder* decoder = decoderFor(codePage);
    if (!decoder)
        return {};
    return decoder->decode(text);
}

bool ShellGetFileType(const QString& name, uint32_t attributes, QString& typeName)
{
    return TPlatform::Current().FileTypeName(name, attributes, typeName);
}

bool ExecuteProgram(const QString& program, const QString& params, bool maximized)
{
    if (TPlatform::Current().OpenDocument(program, params, maximized))
        return true;
    TUserPrompt::Current().Ask(Messages::ProgramNotStarted.Text().arg(program), Messages::Error.Text(),
                               TUserPrompt::Buttons::Ok, TUserPrompt::Icon::Error);
    return false;
}

QString GetProgramDir()
{
    const QString path = TPlatform::Current().ExecutablePath();
    QString dir = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString FileVersionBuild(const QString& fileVersion)
{
    const int thirdDot = StrNPos(fileVersion, QStringLiteral("."), 3);
    return thirdDot > 0 ? fileVersion.mid(thirdDot) : fileVersion;
}

void ReadVerInfo()
{
    VerInfoFileDescription = QStringLiteral(BREVANT_FILE_DESCRIPTION);
    VerInfoFileVersion = QStringLiteral(BREVANT_FILE_VERSION);
    VerInfoCompanyName = QStringLiteral(BREVANT_COMPANY_NAME);
    VerInfoCopyright = QStringLiteral(BREVANT_COPYRIGHT);
    VerInfoTrademark = QStringLiteral(BREVANT_TRADEMARK);
    VerInfoProductName = QStringLiteral(BREVANT_PRODUCT_NAME);
    VerInfoProductVersion = QStringLiteral(BREVANT_PRODUCT_VERSION);
    VerInfoFileVersionBuild = FileVersionBuild(VerInfoFileVersion);
}

QString InsertSeparator(int64_t value)
{
    const bool negative = value < 0;
    // The magnitude in unsigned arithmetic, so the most negative value has one too.
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    QString digits = QString::number(magnitude);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return negative ? QLatin1Char('-') + digits : digits;
}

QString FormatSize(int64_t size)
{
    if (size < dwKB)
        return InsertSeparator(size);
    if (size < 2 * dwMB)
        return InsertSeparator(size / dwKB) + QStringLiteral(" KB");
    if (size < 2 * dwGB)
        return InsertSeparator(size / dwMB) + QStringLiteral(" MB");
    return InsertSeparator(size / dwGB) + QStringLiteral(" GB");
}

QString FormatBytes(int64_t size)
{
    return FormatBytes(size, QLocale::system());
}

QString FormatBytes(int64_t size, const QLocale& locale)
{
    if (size < 0)
        return QStringLiteral("-1");
    // Some locales (the C locale among them) leave out group separators by default.
    QLocale grouped(locale);
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(static_cast<qlonglong>(size));
}

TDateTime ConvertFileTimeToDateTime(uint64_t fileTime)
{
    const uint64_t ms = fileTime / FileTimeTicksPerMs;
    const uint64_t days = ms / MsPerDay;
    if (days >= FileTimeDaysLimit)
        return MaxDateTime;
    const uint64_t msOfDay = ms % MsPerDay;
    return static_cast<double>(static_cast<int64_t>(days) - FileTimeDaysBeforeZero) +
           static_cast<double>(msOfDay) / MsPerDay;
}

void DecodeDateTime(TDateTime value, QDate& date, QTime& time)
{
    date = QDate();
    time = QTime();
    if (!std::isfinite(value) || value > MaxDateTime ||
        value < static_cast<double>(JulianDayOfFirstDate - JulianDayOfDateTimeZero))
        return;
    int64_t day = static_cast<int64_t>(std::floor(value));
    int64_t ms = std::llround((value - static_cast<double>(day)) * MsPerDay);
    if (ms >= MsPerDay) {
        ++day;
        ms -= MsPerDay;
    }
    date = QDate::fromJulianDay(day + JulianDayOfDateTimeZero);
    time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

TDateTime EncodeDateTime(const QDate& date, const QTime& time)
{
    if (!date.isValid())
        return 0;
    const int64_t day = date.toJulianDay() - JulianDayOfDateTimeZero;
    const int ms = time.isValid() ? time.msecsSinceStartOfDay() : 0;
    return static_cast<double>(day) + static_cast<double>(ms) / MsPerDay;
}

bool IsUnknownDateTime(TDateTime value)
{
    static const TDateTime noFileTime = ConvertFileTimeToDateTime(0);
    return value == 0 || value == noFileTime;
}
