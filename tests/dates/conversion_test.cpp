#include "date_fixture.h"
#include "dates/date_text.h"

namespace {

using zartav::dates::windowedYear;

TEST_F(DatesTest, ToFarsiDateFollowsTheRealCalendar) {
    struct Case {
        const char16_t* gregorian;
        const char16_t* solar;
    } cases[] = {
        {u"01/02/2006", u"1384/11/12"}, {u"19/02/2006", u"1384/11/30"},
        {u"20/02/2006", u"1384/12/01"}, {u"20/03/2006", u"1384/12/29"},
        {u"21/03/2006", u"1385/01/01"}, {u"01/01/2005", u"1383/10/12"},
        {u"20/03/2005", u"1383/12/30"}, {u"29/02/2008", u"1386/12/10"},
        {u"31/12/2007", u"1386/10/10"}, {u"01/01/2000", u"1378/10/11"},
        {u"01/01/1922", u"1300/10/11"}, {u"20/03/2021", u"1399/12/30"},
        // Past the old two-digit window.
        {u"08/12/2026", u"1405/09/17"}, {u"21/03/2021", u"1400/01/01"},
        {u"20/03/2025", u"1403/12/30"}, {u"21/03/2025", u"1404/01/01"},
        {u"20/03/2026", u"1404/12/29"}, {u"01/01/1900", u"1278/10/11"},
        // Typed forms.
        {u"1/2/2006", u"1384/11/12"}, {u" 01/ 02/ 2006", u"1384/11/12"},
        {u"+1/+2/2006", u"1384/11/12"}, {u"۰۱/۰۲/۲۰۰۶", u"1384/11/12"},
        {u"٠١/٠٢/٢٠٠٦", u"1384/11/12"},
        // No real day, or not three integer fields: empty text.
        {u"", u""}, {u"01-02-2006", u""}, {u"01/02", u""}, {u"31/02/2006", u""},
        {u"29/02/2100", u""}, {u"0/1/2006", u""}, {u"1/13/2006", u""}, {u"-1/2/2006", u""},
        {u"01/02/2006/1", u""}, {u"01/02/2006 ", u""}, {u"01/02/99999999999", u""},
        {u"a/02/2006", u""}, {u"01/02/", u""}, {u"01/01/0001", u""},
    };
    for (const Case& c : cases) {
        const QString g = QString::fromUtf16(c.gregorian);
        EXPECT_EQ(dates.ToFarsiDate(g), QString::fromUtf16(c.solar)) << g.toStdString();
    }
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

TEST_F(DatesTest, ToEnglishDateIsTheWayBack) {
    struct Case {
        const char16_t* solar;
        const char16_t* gregorian;
        const char16_t* sql;
    } cases[] = {
        {u"1385/01/01", u"21/03/2006", u"2006/03/21"}, {u"85/1/1", u"21/03/2006", u"2006/03/21"},
        {u"1384/11/12", u"01/02/2006", u"2006/02/01"}, {u"1384/12/29", u"20/03/2006", u"2006/03/20"},
        {u"1383/12/30", u"20/03/2005", u"2005/03/20"},
        {u"1403/12/30", u"20/03/2025", u"2025/03/20"}, {u"1405/09/17", u"08/12/2026", u"2026/12/08"},
        {u"5/9/17", u"08/12/2026", u"2026/12/08"}, {u"۱۴۰۵/۰۹/۱۷", u"08/12/2026", u"2026/12/08"},
        {u"1300/01/01", u"21/03/1921", u"1921/03/21"}, {u"0622/01/01", u"21/03/1243", u"1243/03/21"},
    };
    for (const Case& c : cases) {
        const QString s = QString::fromUtf16(c.solar);
        EXPECT_EQ(dates.ToEnglishDate(s), QString::fromUtf16(c.gregorian)) << s.toStdString();
        EXPECT_EQ(dates.ToEnglishDateForSQLServer(s), QString::fromUtf16(c.sql)) << s.toStdString();
    }
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

TEST_F(DatesTest, ToEnglishDateOfADateThatNeverOccursShowsOneMessageAndGivesNothing) {
    const QString notCorrect = QStringLiteral("  صحيح نمي باشد\r");
    struct Case {
        const char16_t* solar;
        QString message;
    } cases[] = {
        {u"1385/07/31", QStringLiteral(" تاريخ  1385/07/31") + notCorrect + QStringLiteral("اين ماه بيش از 30 روز ندارد")},
        {u"1403/12/31", QStringLiteral(" تاريخ  1403/12/31") + notCorrect + QStringLiteral("اين ماه بيش از 30 روز ندارد")},
        // Esfand 30 of a common year is not the next 1 Farvardin: it never occurs.
        {u"1385/12/30", QStringLiteral(" تاريخ  1385/12/30") + notCorrect + QStringLiteral("اين ماه بيش از 29 روز ندارد")},
        {u"1404/12/30", QStringLiteral(" تاريخ  1404/12/30") + notCorrect + QStringLiteral("اين ماه بيش از 29 روز ندارد")},
        {u"1385/13/01", QStringLiteral(" تاريخ  1385/13/01") + notCorrect + QStringLiteral("ماه صحيح نيست")},
        {u"12345/01/01", QStringLiteral("اشكال در ورود تاريخ")},
        {u"9999/01/01", QStringLiteral("اشكال در ورود تاريخ")},  // Gregorian year 10620
    };
    for (const Case& c : cases) {
        recorder.clear();
        const QString s = QString::fromUtf16(c.solar);
        EXPECT_EQ(dates.ToEnglishDate(s), QString()) << s.toStdString();
        expectOneMessage(recorder, c.message);
    }
}

// The day-by-day search the conversion replaces: start a little before the answer and step
// forward until the forward conversion gives the text. Used as an independent reference.
QString searchedGregorian(zartav::DateServices& dates, const QString& solar) {
    const int year = solar.left(4).toInt();
    const int month = solar.mid(5, 2).toInt();
    int day = solar.mid(8, 2).toInt();
    const bool esfand30 = month == 12 && day == 30;
    if (esfand30) day = 27;
    if (day >= 20) day -= 5;
    QDate start(year + 621, month, day);
    const QString target = esfand30 ? solar.left(4) + QStringLiteral("/12/27") : solar;
    for (int step = 0; step < 120; ++step, start = start.addDays(1)) {
        if (dates.ToFarsiDate(zartav::dates::formatGregorian(start)) == target)
            return zartav::dates::formatGregorian(start.addDays(esfand30 ? 3 : 0));
    }
    return QStringLiteral("not met");
}

TEST_F(DatesTest, ToEnglishDateAgreesWithTheDayByDaySearch) {
    for (int year = 1398; year <= 1406; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const int days = zartav::calendar::monthLength(year, month);
            for (int day = 1; day <= days; ++day) {
                const QString solar = zartav::dates::formatSolar({year, month, day});
                ASSERT_EQ(dates.ToEnglishDate(solar), searchedGregorian(dates, solar)) << solar.toStdString();
            }
        }
    }
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

TEST_F(DatesTest, IsKabiseGivesRealLeapYears) {
    struct Case {
        int year;
        bool leap;
    } cases[] = {
        {1399, true}, {1403, true}, {1404, false}, {1383, true}, {1387, true}, {1388, false},
        {1391, true}, {1392, false}, {1395, true}, {1396, false}, {1408, true},
        // Short years are read around today's year (1405).
        {83, true}, {88, false}, {3, true}, {4, false}, {24, true}, {26, false}, {399, true},
    };
    for (const Case& c : cases) EXPECT_EQ(dates.IsKabise(c.year), c.leap) << c.year;
}

TEST(ShortYears, CompleteInsideTheWindowAroundToday) {
    struct Case {
        int shortYear;
        int today;
        int expected;
    } cases[] = {
        {85, 1405, 1385}, {5, 1405, 1405}, {24, 1405, 1424}, {25, 1405, 1325}, {0, 1405, 1400},
        {99, 1405, 1399}, {85, 1385, 1385}, {4, 1385, 1404}, {5, 1385, 1305}, {5, 1386, 1405},
        {43, 1423, 1343}, {42, 1423, 1442},
    };
    for (const Case& c : cases)
        EXPECT_EQ(windowedYear(c.shortYear, c.today), c.expected) << c.shortYear << " in " << c.today;
}

TEST_F(DatesTest, FarsiTodayIsFixedForTheRun) {
    EXPECT_EQ(dates.FarsiToday(), QStringLiteral("1405/09/17"));
    zartav::calendar::setTodayForTesting(QDate(2026, 12, 9));  // past midnight
    EXPECT_EQ(dates.FarsiToday(), QStringLiteral("1405/09/17"));
    dates.InitToday();
    EXPECT_EQ(dates.FarsiToday(), QStringLiteral("1405/09/18"));

    zartav::calendar::setTodayForTesting(QDate(2025, 3, 20));
    zartav::DateServices fresh;  // never initialised: fixed at the first request
    EXPECT_EQ(fresh.FarsiToday(), QStringLiteral("1403/12/30"));
}

TEST_F(DatesTest, ConvertDateFormatMovesFields) {
    struct Case {
        const char* date;
        const char* from;
        const char* to;
        const char* expected;
    } cases[] = {
        {"21/03/2006", "d/m/y", "y/m/d", "2006/03/21"}, {"21/03/2006", "D/M/Y", "Y/M/D", "2006/03/21"},
        {"1385/01/01", "Y/M/D", "M/D/Y", "01/01/1385"}, {"1385/01/01", "Y/M/D", "D/M/Y", ""},
        {"1385/01/01", "y/m/d", "y/m/d", ""}, {"1385", "Y/M/D", "M/D/Y", "//1385"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dates.ConvertDateFormat(c.date, c.from, c.to), QString::fromLatin1(c.expected)) << c.date;
}

}  // namespace
