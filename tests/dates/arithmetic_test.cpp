#include "date_fixture.h"

namespace {

TEST_F(DatesTest, DateToIntSortsDates) {
    EXPECT_EQ(dates.DateToInt(QStringLiteral("85/1/1")), 13850101);
    EXPECT_EQ(dates.DateToInt(QStringLiteral("1385/12/29")), 13851229);
    EXPECT_EQ(dates.DateToInt(QStringLiteral("1385/001/01")), 13850101);
    EXPECT_EQ(dates.DateToInt(QStringLiteral("214748/12/31")), 2147481231);
    EXPECT_TRUE(recorder.boxes().isEmpty());

    EXPECT_EQ(dates.DateToInt(QStringLiteral("1385/13/01")), -1);
    expectOneMessage(recorder, QStringLiteral(" تاريخ  1385/13/01  صحيح نمي باشد\rماه صحيح نيست"));
    recorder.clear();
    EXPECT_EQ(dates.DateToInt(QStringLiteral("214749/01/01")), -1);  // past 32 bits
    expectOneMessage(recorder, QStringLiteral("اشكال در ورود تاريخ"));
}

TEST_F(DatesTest, DaySubDateCountsRealDays) {
    struct Case {
        const char* a;
        const char* b;
        bool isSigned;
        int expected;
    } cases[] = {
        {"1385/01/01", "1385/02/01", false, 31}, {"1385/02/01", "1385/01/01", false, 31},
        {"1385/02/01", "1385/01/01", true, -31}, {"1385/01/01", "1385/02/01", true, 31},
        {"1384/12/01", "1385/01/01", false, 29}, {"1383/12/01", "1384/01/01", false, 30},
        {"1383/06/01", "1385/03/01", false, 638}, {"1385/05/20", "1386/02/10", false, 262},
        {"1385/05/20", "1385/05/20", true, 0},   {"1385/05/20", "1385/05/20", false, 0},
        {"1403/12/01", "1404/01/01", false, 30}, {"1404/12/01", "1405/01/01", false, 29},
        {"85/1/1", "1405/9/17", false, 7567},     {"1405/09/17", "1300/01/01", true, -38613},
        // Days past the month's end run on, as the field arithmetic always did.
        {"1385/07/31", "1385/08/01", false, 0},   {"1384/12/30", "1385/01/01", false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dates.DaySubDate(c.a, c.b, c.isSigned), c.expected) << c.a << " " << c.b;
        EXPECT_EQ(dates.DaySubDateWithOutCheckDate(c.a, c.b, c.isSigned), c.expected) << c.a << " " << c.b;
    }
    EXPECT_TRUE(recorder.boxes().isEmpty());

    EXPECT_EQ(dates.DaySubDate(QStringLiteral("1385/13/01"), QStringLiteral("x"), false), 0);
    EXPECT_EQ(recorder.boxes().size(), 2);  // one message for each rejected text
    recorder.clear();
    EXPECT_EQ(dates.DaySubDateWithOutCheckDate(QStringLiteral("1385/13/01"), QStringLiteral("1385/01/01")), 0);
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

TEST_F(DatesTest, SubDateCountsThirtyDayMonths) {
    struct Case {
        const char* a;
        const char* b;
        const char* expected;
    } cases[] = {
        {"1385/05/10", "1384/05/10", "12/00"}, {"1384/05/10", "1385/05/10", "12/00"},
        {"1386/06/10", "1385/05/10", "12/30"}, {"1385/05/10", "1386/06/10", "12/30"},
        {"1385/02/10", "1385/01/10", "00/30"}, {"1385/02/11", "1385/01/10", "01/01"},
        {"1385/01/01", "1385/01/01", "00/00"}, {"1385/01/10", "1385/01/01", "00/09"},
        {"1395/01/01", "85/1/1", "120/00"},    {"1386/12/30", "1385/12/29", "12/01"},
    };
    for (const Case& c : cases) EXPECT_EQ(dates.SubDate(c.a, c.b), QString::fromLatin1(c.expected)) << c.a << " " << c.b;
    EXPECT_TRUE(recorder.boxes().isEmpty());
    EXPECT_EQ(dates.SubDate(QStringLiteral("1385/01/32"), QStringLiteral("1385/01/01")), QString());
    EXPECT_EQ(recorder.boxes().size(), 1);
}

TEST_F(DatesTest, MonthDayTexts) {
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    } toMonthDay[] = {
        {u"75", u"2.15"}, {u"30", u"1.0"}, {u"0", u"0.0"}, {u"abc", u"0.0"}, {u"-45", u"-1.-15"},
        {u"", u"0.0"}, {u"۷۵", u"2.15"}, {u"99999999999", u"0.0"}, {u"2147483647", u"71582788.7"},
    };
    for (const Case& c : toMonthDay)
        EXPECT_EQ(dates.ConvertDayToMonthDay(QString::fromUtf16(c.text)), QString::fromUtf16(c.expected));

    const Case toCompare[] = {
        {u"5/7", u"05/07"},   {u"12", u"00/12"},  {u"12/30", u"12/30"}, {u"3/31", u"04/01"},
        {u"45", u"01/15"},    {u"60", u"02/00"},  {u"2/95", u"05/05"},  {u"1/x", u"01/0x"},
        {u"", u"00/"},        {u"۵/۷", u"05/07"},
    };
    for (const Case& c : toCompare)
        EXPECT_EQ(dates.ConvetToDateCompare(QString::fromUtf16(c.text)), QString::fromUtf16(c.expected))
            << QString::fromUtf16(c.text).toStdString();
}

TEST_F(DatesTest, NDayFromDateStepsRealDays) {
    struct Case {
        const char* date;
        int n;
        const char* expected;
    } cases[] = {
        {"1385/12/29", 1, "1386/01/01"}, {"1385/01/01", -1, "1384/12/29"},
        {"1403/12/29", 1, "1403/12/30"}, {"1403/12/30", 1, "1404/01/01"},
        {"85/1/1", 7567, "1405/09/17"},
        {"1405/09/17", -36525, "1305/09/16"}, {"1405/09/17", 0, "1405/09/17"},
        {"9999/12/29", 1, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(dates.NDayFromDate(c.date, c.n), QString::fromLatin1(c.expected)) << c.date;
    EXPECT_TRUE(recorder.boxes().isEmpty());

    // Days that never occur: Mehr has 30 days, and Esfand of the common year 1385 has 29.
    for (const auto& [date, message] : {std::pair{"1385/07/31", " تاريخ  1385/07/31  صحيح نمي باشد\rاين ماه بيش از 30 روز ندارد"},
                                        std::pair{"1385/12/30", " تاريخ  1385/12/30  صحيح نمي باشد\rاين ماه بيش از 29 روز ندارد"}}) {
        recorder.clear();
        EXPECT_EQ(dates.NDayFromDate(QString::fromLatin1(date), 0), QString());
        expectOneMessage(recorder, QString::fromUtf8(message));
    }
}

TEST_F(DatesTest, TimeArithmetic) {
    struct Add {
        const char* time;
        const char* duration;
        const char* expected;
    } adds[] = {
        {"10:30", "00:45", "11:15"}, {"23:30", "01:00", "00:30"}, {"9", "1:5", "10:05"},
        {"10:30:30", "0:0:30", "10:31"}, {"23:59:59", "23:59:59", "23:59"},
    };
    for (const Add& c : adds) EXPECT_EQ(dates.NMinFromTime(c.time, c.duration), QString::fromLatin1(c.expected)) << c.time;

    struct Sub {
        const char* t1;
        const char* t2;
        double expected;
    } subs[] = {
        {"12:30", "10:00", 2.5}, {"10:00", "12:30", 21.5}, {"8:20", "8:00", 0.33},
        {"9:00", "9:00", 0},     {"0:00", "23:59", 0.02},  {"10:005", "10:00", 0.08},
    };
    for (const Sub& c : subs) EXPECT_DOUBLE_EQ(dates.SubTime(c.t1, c.t2), c.expected) << c.t1 << " " << c.t2;
    EXPECT_TRUE(recorder.boxes().isEmpty());

    EXPECT_EQ(dates.NMinFromTime(QStringLiteral("10:75"), QStringLiteral("1:00")), QString());
    expectOneMessage(recorder, QStringLiteral(" ساعت  10:75  صحيح نمي باشد\rدقيقه صحيح نيست"));
    recorder.clear();
    EXPECT_EQ(dates.SubTime(QStringLiteral("25"), QStringLiteral("x")), 0);
    EXPECT_EQ(recorder.boxes().size(), 2);
}

}  // namespace
