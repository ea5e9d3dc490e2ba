#include "util/Utils.h"

#include "support/TScriptedPrompt.h"
#include "util/TFakePlatform.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <limits>

namespace {

// File time of a calendar moment, built independently of the code under test.
uint64_t fileTimeOf(int year, int month, int day, int hour, int minute, int second, int ms)
{
    const int64_t days = QDate(year, month, day).toJulianDay() - QDate(1601, 1, 1).toJulianDay();
    const int64_t msTotal = ((days * 24 + hour) * 60 + minute) * 60000LL + second * 1000LL + ms;
    return static_cast<uint64_t>(msTotal) * 10000u;
}

} // namespace

TEST(StrSearchTest, FindsFirstOccurrenceAtOrAfterStart)
{
    EXPECT_EQ(StrSearch("b", "abcabc", 1), 2);
    EXPECT_EQ(StrSearch("b", "abcabc", 3), 5);
    EXPECT_EQ(StrSearch("abc", "abcabc", 4), 4);
    EXPECT_EQ(StrSearch("B", "abcabc", 1), 0) << "comparison is case-sensitive";
    EXPECT_EQ(StrSearch("x", "abcabc", 1), 0);
}

TEST(StrSearchTest, RejectsStartsWherePatternCannotFit)
{
    // "ab" occurs at 1, but from position 6 of a 6-character text it cannot fit.
    EXPECT_EQ(StrSearch("ab", "abcabc", 6), 0);
    EXPECT_EQ(StrSearch("bc", "abcabc", 6), 0);
    EXPECT_EQ(StrSearch("c", "abcabc", 7), 0);
    EXPECT_EQ(StrSearch("a", "abc", 0), 0);
    EXPECT_EQ(StrSearch("a", "abc", -5), 0);
    EXPECT_EQ(StrSearch("", "abc", 1), 0);
    EXPECT_EQ(StrSearch("a", "", 1), 0);
    EXPECT_EQ(StrSearch("abcd", "abc", 1), 0);
}

TEST(StrNPosTest, CountsOverlappingOccurrences)
{
    EXPECT_EQ(StrNPos("1.2.3.4", ".", 3), 6);
    EXPECT_EQ(StrNPos("1.2", ".", 3), 0);
    EXPECT_EQ(StrNPos("1.2", ".", 1), 2);
    EXPECT_EQ(StrNPos("1.2", ".", 0), 2) << "N below 1 means the first occurrence";
    EXPECT_EQ(StrNPos("aaaa", "aa", 3), 3) << "the next search starts one character after the previous match";
    EXPECT_EQ(StrNPos("aaaa", "aa", 4), 0);
}

TEST(VersionTest, BuildIsTheTextAfterTheThirdDot)
{
    EXPECT_EQ(FileVersionBuild("1.2.3.45"), "45");
    EXPECT_EQ(FileVersionBuild("1.2"), "1.2");
    EXPECT_EQ(FileVersionBuild("1.2.3."), "");
    EXPECT_EQ(FileVersionBuild(""), "");

    ReadVerInfo();
    EXPECT_EQ(VerInfoProductName, "Brevant Professional");
    EXPECT_EQ(VerInfoFileVersionBuild, FileVersionBuild(VerInfoFileVersion));
    EXPECT_FALSE(VerInfoFileVersionBuild.isEmpty());
    EXPECT_FALSE(VerInfoCompanyName.isEmpty());
}

TEST(TextConversionTest, WideStrToStrKeepsTextUpTo2048Utf8Bytes)
{
    EXPECT_EQ(WideStrToStr(u"Report.doc"), "Report.doc");
    EXPECT_EQ(WideStrToStr(u""), "");

    const QString twoByteChars(1024, QChar(0x00e9)); // 2048 bytes in UTF-8
    EXPECT_EQ(WideStrToStr(twoByteChars), twoByteChars);
    EXPECT_EQ(WideStrToStr(twoByteChars + "x"), "");

    // A surrogate pair counts as the four bytes it takes in UTF-8.
    const QString pair = QString::fromUcs4(U"\U0001F600");
    const QString fits = QString(511, QChar(0x00e9)) + QString(1022, 'a') + pair;
    ASSERT_EQ(fits.toUtf8().size(), 2048);
    EXPECT_EQ(WideStrToStr(fits), fits);
    EXPECT_EQ(WideStrToStr(fits + "a"), "");
}

TEST(TextConversionTest, WideStrToStrRejectsMalformedUtf16)
{
    const char16_t loneHigh[] = {u'a', 0xD800, u'b'};
    const char16_t loneLow[] = {0xDC00, u'a'};
    EXPECT_EQ(WideStrToStr(QStringView(loneHigh, 3)), "");
    EXPECT_EQ(WideStrToStr(QStringView(loneLow, 2)), "");
    const char16_t trailingHigh[] = {u'a', 0xDBFF};
    EXPECT_EQ(WideStrToStr(QStringView(trailingHigh, 2)), "");
}

TEST(TextConversionTest, StringToWideStringExDecodesCodePages)
{
    EXPECT_EQ(StringToWideStringEx("", 1252), "");
    EXPECT_EQ(StringToWideStringEx("caf\xc3\xa9", 65001), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(StringToWideStringEx("caf\xc3\xa9", 0), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(StringToWideStringEx("\x80 caf\xe9", 1252), QString::fromUtf8("\xe2\x82\xac caf\xc3\xa9"));
    EXPECT_EQ(StringToWideStringEx("\x82t\x82", 437), QString::fromUtf8("\xc3\xa9t\xc3\xa9"));
    EXPECT_EQ(StringToWideStringEx("\xc0", 1251), QString::fromUtf8("\xd0\x90"));
    EXPECT_EQ(StringToWideStringEx("\xe9", 28591), QString::fromUtf8("\xc3\xa9"));
    // Invalid UTF-8 is replaced, not dropped and not fatal.
    EXPECT_EQ(StringToWideStringEx("a\xff"
                                   "b",
                                   65001),
              QString("a") + QChar(QChar::ReplacementCharacter) + "b");
    EXPECT_EQ(StringToWideStringEx("abc", 65535), "") << "an unknown code page gives an empty result";
}

TEST(TextConversionTest, MultiByteDecodingDoesNotCarryOverBetweenCalls)
{
    // A Shift_JIS lead byte at the end of one text must not pair with the next text's start.
    EXPECT_TRUE(StringToWideStringEx("A\x82", 932).startsWith("A"));
    EXPECT_EQ(StringToWideStringEx("BC", 932), "BC");
    EXPECT_EQ(StringToWideStringEx("\x82\xa0", 932), QString::fromUtf8("\xe3\x81\x82"));
}

TEST(NumberFormatTest, InsertSeparatorGroupsDigitsWithComma)
{
    EXPECT_EQ(InsertSeparator(0), "0");
    EXPECT_EQ(InsertSeparator(999), "999");
    EXPECT_EQ(InsertSeparator(1000), "1,000");
    EXPECT_EQ(InsertSeparator(1000000), "1,000,000");
    EXPECT_EQ(InsertSeparator(1234567), "1,234,567");
    EXPECT_EQ(InsertSeparator(-123), "-123");
    EXPECT_EQ(InsertSeparator(-1234), "-1,234");
    EXPECT_EQ(InsertSeparator(-123456), "-123,456");
    EXPECT_EQ(InsertSeparator(std::numeric_limits<int64_t>::max()), "9,223,372,036,854,775,807");
    EXPECT_EQ(InsertSeparator(std::numeric_limits<int64_t>::min()), "-9,223,372,036,854,775,808");
}

TEST(NumberFormatTest, FormatSizeSwitchesUnitAtTwiceTheUnit)
{
    const struct
    {
        int64_t size;
        const char* text;
    } cases[] = {
        {0, "0"},
        {512, "512"},
        {1023, "1,023"},
        {1024, "1 KB"},
        {1048576, "1,024 KB"},
        {2097151, "2,047 KB"},
        {2097152, "2 MB"},
        {2147483647, "2,047 MB"},
        {2147483648LL, "2 GB"},
        {10LL << 40, "10,240 GB"},
        {-1, "-1"},
        {-5000, "-5,000"},
        {std::numeric_limits<int64_t>::max(), "8,589,934,591 GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSize(c.size), c.text) << c.size;
}

TEST(NumberFormatTest, FormatBytesUsesTheLocaleSeparator)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatBytes(1234567, english), "1,234,567");
    EXPECT_EQ(FormatBytes(1234567, german), "1.234.567");
    EXPECT_EQ(FormatBytes(0, english), "0");
    EXPECT_EQ(FormatBytes(999, german), "999");
    EXPECT_EQ(FormatBytes(-5, english), "-1");
    EXPECT_EQ(FormatBytes(std::numeric_limits<int64_t>::min(), german), "-1");
    EXPECT_EQ(FormatBytes(1234567, QLocale::c()), "1,234,567")
        << "groups even where the locale omits them by default";
    EXPECT_EQ(FormatBytes(-2), "-1");
}

TEST(FileTimeTest, ConvertsCalendarFieldsWithoutTimeZone)
{
    EXPECT_DOUBLE_EQ(ConvertFileTimeToDateTime(0), -109205.0);
    EXPECT_DOUBLE_EQ(ConvertFileTimeToDateTime(fileTimeOf(1899, 12, 30, 0, 0, 0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(ConvertFileTimeToDateTime(fileTimeOf(2000, 1, 1, 12, 0, 0, 0)), 36526.5);

    QDate date;
    QTime time;
    DecodeDateTime(ConvertFileTimeToDateTime(fileTimeOf(2021, 7, 4, 23, 59, 58, 123) + 9999), date, time);
    EXPECT_EQ(date, QDate(2021, 7, 4));
    EXPECT_EQ(time, QTime(23, 59, 58, 123)) << "units below one millisecond are dropped";

    // Before 1899-12-30 values count backwards linearly, so later times stay larger.
    const TDateTime morning = ConvertFileTimeToDateTime(fileTimeOf(1899, 12, 29, 6, 0, 0, 0));
    const TDateTime evening = ConvertFileTimeToDateTime(fileTimeOf(1899, 12, 29, 18, 0, 0, 0));
    EXPECT_DOUBLE_EQ(morning, -0.75);
    EXPECT_LT(morning, evening);
    DecodeDateTime(evening, date, time);
    EXPECT_EQ(date, QDate(1899, 12, 29));
    EXPECT_EQ(time, QTime(18, 0));
}

TEST(FileTimeTest, GivesAValueForEveryFileTime)
{
    const uint64_t lastMs = fileTimeOf(9999, 12, 31, 23, 59, 59, 999);
    EXPECT_DOUBLE_EQ(ConvertFileTimeToDateTime(lastMs), MaxDateTime);
    EXPECT_LT(ConvertFileTimeToDateTime(lastMs - 10000), MaxDateTime);
    EXPECT_DOUBLE_EQ(ConvertFileTimeToDateTime(lastMs + 10000), MaxDateTime);
    EXPECT_DOUBLE_EQ(ConvertFileTimeToDateTime(0x7FFFFFFFFFFFFFFFULL), MaxDateTime);
    EXPECT_DOUBLE_EQ(ConvertFileTimeToDateTime(0x8000000000000000ULL), MaxDateTime);
    EXPECT_DOUBLE_EQ(ConvertFileTimeToDateTime(std::numeric_limits<uint64_t>::max()), MaxDateTime);

    QDate date;
    QTime time;
    DecodeDateTime(MaxDateTime, date, time);
    EXPECT_EQ(date, QDate(9999, 12, 31));
    EXPECT_EQ(time, QTime(23, 59, 59, 999));
}

TEST(FileTimeTest, DecodeAndEncodeAreInverse)
{
    for (const QDate& d : {QDate(1, 1, 1), QDate(1601, 1, 1), QDate(1899, 12, 31), QDate(1980, 1, 1),
                           QDate(2024, 2, 29), QDate(9999, 12, 31)}) {
        const QTime t(13, 14, 15, 16);
        QDate date;
        QTime time;
        DecodeDateTime(EncodeDateTime(d, t), date, time);
        EXPECT_EQ(date, d);
        EXPECT_EQ(time, t);
    }
    QDate date;
    QTime time;
    DecodeDateTime(std::numeric_limits<double>::quiet_NaN(), date, time);
    EXPECT_FALSE(date.isValid());
    DecodeDateTime(MaxDateTime + 1, date, time);
    EXPECT_FALSE(date.isValid());
    EXPECT_EQ(EncodeDateTime(QDate(), QTime(1, 0)), 0.0);
}

TEST(ShellTest, ExecuteProgramReportsFailureToTheUser)
{
    TFakePlatform platform;
    TScriptedPrompt prompt;

    EXPECT_TRUE(ExecuteProgram("https://example.com/", "", true));
    EXPECT_TRUE(prompt.asked().isEmpty());
    EXPECT_EQ(platform.opened, QStringList{"https://example.com/||max"});

    platform.openSucceeds = false;
    EXPECT_FALSE(ExecuteProgram("/opt/x/TollmarkPro.exe", "-a", false));
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked()[0].text, "Unable to execute external program \"/opt/x/TollmarkPro.exe\".");
    EXPECT_EQ(prompt.asked()[0].caption, "Error");
    EXPECT_EQ(prompt.asked()[0].buttons, TUserPrompt::Buttons::Ok);
}

TEST(ShellTest, ProgramDirEndsWithSeparator)
{
    {
        TFakePlatform platform;
        platform.executable = "/opt/brevant/bin/brevant-pro";
        EXPECT_EQ(GetProgramDir(), "/opt/brevant/bin/");
        platform.executable = "/brevant-pro";
        EXPECT_EQ(GetProgramDir(), "/");
    }
    const QString dir = GetProgramDir();
    EXPECT_TRUE(dir.endsWith('/'));
    EXPECT_TRUE(QFileInfo(dir + "test_util").exists()) << qPrintable(dir);
}
