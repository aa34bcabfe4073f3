#include "date_fixture.h"
#include "dates/date_validation.h"

#include <QObject>
#include <QRegularExpression>

namespace {

const QString kNotCorrect = QStringLiteral("  صحيح نمي باشد\r");
QString dateMsg(const QString& text, const QString& reason) {
    return QStringLiteral(" تاريخ  ") + text + kNotCorrect + reason;
}
QString timeMsg(const QString& text, const QString& reason) {
    return QStringLiteral(" ساعت  ") + text + kNotCorrect + reason;
}
const QString kSeparator = QStringLiteral("تعداد / صحيح نيست");
const QString kCharacters = QStringLiteral("جهت تاريخ از اعداد 0 تا 9 استفاده كنيد");
const QString kEmptyPart = QStringLiteral("اشكال در ورود تاريخ");
const QString kMonth = QStringLiteral("ماه صحيح نيست");
const QString kDay = QStringLiteral("روز صحيح نيست");
const QString kColons = QStringLiteral("تعداد \":\" درست نيست");
const QString kTimeCharacters = QStringLiteral("علامتهاي مجاز اعداد 1 تا 9 و علامت \":\" مي باشد");
const QString kTimeEmpty = QStringLiteral("اشكال در ورود ساعت");
const QString kHour = QStringLiteral("ساعت صحيح نيست");
const QString kMinute = QStringLiteral("دقيقه صحيح نيست");

TEST_F(DatesTest, IsValidDateAcceptsTypedForms) {
    for (const char16_t* text : {u"1385/01/01", u"85/1/1", u"1385/06/31", u"1383/12/30", u"0/1/1",
                                 u"1385/001/01", u"  1385/01/01 \t", u"۱۳۸۵/۰۱/۰۱", u"12345/12/29"}) {
        EXPECT_TRUE(dates.IsValidDate(QString::fromUtf16(text))) << QString::fromUtf16(text).toStdString();
    }
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

TEST_F(DatesTest, IsValidDateShowsOneExactMessage) {
    struct Case {
        const char16_t* text;
        QString message;
    } cases[] = {
        {u"", dateMsg("", kSeparator)},
        {u"1385-01-01", dateMsg("1385-01-01", kSeparator)},
        {u"1385/01", dateMsg("1385/01", kSeparator)},
        {u"1385/01/01/", dateMsg("1385/01/01/", kSeparator)},
        {u"1385/1a/01", dateMsg("1385/1a/01", kCharacters)},
        {u"1385/ 01/01", dateMsg("1385/ 01/01", kCharacters)},
        {u"1385//01", kEmptyPart},
        {u"/1/1", kEmptyPart},
        {u"1385/1/", kEmptyPart},
        {u"1385/13/01", dateMsg("1385/13/01", kMonth)},
        {u"1385/0/01", dateMsg("1385/0/01", kMonth)},
        {u"1385/99999999999/01", dateMsg("1385/99999999999/01", kMonth)},
        {u"1385/01/00", dateMsg("1385/01/00", kDay)},
        {u"1385/01/32", dateMsg("1385/01/32", kDay)},
        {u"1385/01/99999999999", dateMsg("1385/01/99999999999", kDay)},
        {u"  1385/13/01 ", dateMsg("1385/13/01", kMonth)},  // blanks around are not quoted
        {u"۱۳۸۵/۱۳/۰۱", dateMsg("1385/13/01", kMonth)},
    };
    for (const Case& c : cases) {
        recorder.clear();
        const QString text = QString::fromUtf16(c.text);
        EXPECT_FALSE(dates.IsValidDate(text)) << text.toStdString();
        expectOneMessage(recorder, c.message);
    }
}

// The edges of every month are checked through the entry form, the import and to-gregorian; a
// short year is held against the year it completes to (in 1405: 4 is 1404, a common year; 3/12/30
// below is 1403, a leap year).
TEST_F(DatesTest, ADayPastItsMonthsLengthIsHeldAgainstTheCompletedYear) {
    EXPECT_FALSE(dates.IsValidDate(QStringLiteral("۴/۱۲/۳۰")));
    expectOneMessage(recorder, dateMsg("4/12/30", QStringLiteral("اين ماه بيش از 29 روز ندارد")));
}

TEST_F(DatesTest, CompleateDateFillsYearMonthAndDay) {
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    } cases[] = {
        {u"85/1/1", u"1385/01/01"},    {u"1385/1/5", u"1385/01/05"},  {u"400/1/1", u"1400/01/01"},
        {u"1385/01/01", u"1385/01/01"}, {u"3/12/30", u"1403/12/30"},  {u"24/1/1", u"1424/01/01"},
        {u"25/1/1", u"1325/01/01"},    {u"0/1/1", u"1400/01/01"},    {u"05/1/1", u"1405/01/01"},
        // Always the full form: extra zeros and blanks around the day do not survive.
        {u"1385/001/01", u"1385/01/01"}, {u"85/1/1 ", u"1385/01/01"}, {u" 85/1/001", u"1385/01/01"},
        {u"01385/1/1", u"1385/01/01"},  {u"12345/1/1", u"12345/01/01"}, {u"۸۵/۱/۱", u"1385/01/01"},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(dates.CompleateDate(text), QString::fromUtf16(c.expected)) << text.toStdString();
    }
    EXPECT_TRUE(recorder.boxes().isEmpty());

    EXPECT_EQ(dates.CompleateDate(QStringLiteral("1385/13/01")), QStringLiteral("1385/13/01"));
    expectOneMessage(recorder, dateMsg("1385/13/01", kMonth));
}

TEST_F(DatesTest, ShortYearsFollowTheRunsToday) {
    zartav::calendar::setTodayForTesting(QDate(2045, 1, 1));  // 1423
    zartav::DateServices later;
    EXPECT_EQ(later.CompleateDate(QStringLiteral("43/1/1")), QStringLiteral("1343/01/01"));
    EXPECT_EQ(later.CompleateDate(QStringLiteral("42/1/1")), QStringLiteral("1442/01/01"));
    EXPECT_EQ(dates.CompleateDate(QStringLiteral("42/1/1")), QStringLiteral("1342/01/01"));
}

TEST_F(DatesTest, TimesAreCheckedAndCompleted) {
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    } cases[] = {
        {u"9", u"09:00"},     {u"9:5", u"09:05"},    {u"0:0", u"00:00"}, {u"23:59", u"23:59"},
        {u"10:005", u"10:05"}, {u" 7:30 ", u"07:30"}, {u"۹:۰۵", u"09:05"}, {u"007:3", u"07:03"},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_TRUE(dates.IsValidTime(text)) << text.toStdString();
        EXPECT_EQ(dates.CompleateTime(text), QString::fromUtf16(c.expected)) << text.toStdString();
    }
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

TEST_F(DatesTest, IsValidTimeShowsOneExactMessage) {
    struct Case {
        const char16_t* text;
        QString message;
    } cases[] = {
        {u"24", timeMsg("24:00", kHour)},
        {u"10:60", timeMsg("10:60", kMinute)},
        {u"99999999999:00", timeMsg("99999999999:00", kHour)},
        {u"10:99999999999", timeMsg("10:99999999999", kMinute)},
        {u"10:30:00", timeMsg("10:30:00", kColons)},
        {u"10.30", timeMsg("10.30:00", kTimeCharacters)},
        {u"10:3a", timeMsg("10:3a", kTimeCharacters)},
        {u":30", timeMsg(":30", kTimeEmpty)},
        {u"10:", timeMsg("10:", kTimeEmpty)},
        {u"", timeMsg(":00", kTimeEmpty)},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        recorder.clear();
        EXPECT_FALSE(dates.IsValidTime(text)) << text.toStdString();
        expectOneMessage(recorder, c.message);
        recorder.clear();
        EXPECT_EQ(dates.CompleateTime(text), std::nullopt) << text.toStdString();
        expectOneMessage(recorder, c.message);
    }
}

TEST(NowTime, IsHoursAndMinutes) {
    QString message;
    EXPECT_EQ(zartav::dates::formatNowTime(QTime(9, 5, 7), &message), QStringLiteral("09:05"));
    EXPECT_EQ(zartav::dates::formatNowTime(QTime(23, 59, 59), &message), QStringLiteral("23:59"));
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(zartav::dates::formatNowTime(QTime(), &message), QStringLiteral("00:00"));
    EXPECT_EQ(message, QStringLiteral("ساعت     صحيح نمي باشد . ساعت به 00:00  تغيير يافت"));

    zartav::test::MessageRecorder recorder;
    zartav::DateServices dates;
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]$"))
                    .match(dates.NowTime())
                    .hasMatch());
    EXPECT_TRUE(recorder.boxes().isEmpty());
}

// An edit box as the checks see it: a "text" property and a setFocus slot.
class FakeBox : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit FakeBox(const QString& text) : text_(text) {}
    QString text() const { return text_; }
    void setText(const QString& text) { text_ = text; }
    Q_INVOKABLE void setFocus() { ++focused; }
    int focused = 0;

private:
    QString text_;
};

TEST_F(DatesTest, CheckTheDateRewritesOrFocusesTheBox) {
    FakeBox good(QStringLiteral("85/1/1"));
    EXPECT_TRUE(dates.CheckTheDate(&good));
    EXPECT_EQ(good.text(), QStringLiteral("1385/01/01"));
    EXPECT_EQ(good.focused, 0);
    EXPECT_TRUE(recorder.boxes().isEmpty());

    FakeBox empty(QString{});
    EXPECT_FALSE(dates.CheckTheDate(&empty));
    EXPECT_EQ(empty.text(), QString());
    EXPECT_EQ(empty.focused, 1);
    expectOneMessage(recorder, dateMsg("", kSeparator));

    EXPECT_FALSE(dates.CheckTheDate(nullptr));
}

TEST_F(DatesTest, CheckTheTimeRewritesOrFocusesTheBox) {
    FakeBox good(QStringLiteral("9:5"));
    EXPECT_TRUE(dates.CheckTheTime(&good));
    EXPECT_EQ(good.text(), QStringLiteral("09:05"));

    FakeBox bad(QStringLiteral(" 25:00"));
    EXPECT_FALSE(dates.CheckTheTime(&bad));
    EXPECT_EQ(bad.text(), QStringLiteral(" 25:00"));
    EXPECT_EQ(bad.focused, 1);
    expectOneMessage(recorder, timeMsg("25:00", kHour));
}

TEST_F(DatesTest, CheckTheDateReadsComboBoxText) {
    QObject combo;  // combo boxes carry "currentText"
    combo.setProperty("currentText", QStringLiteral("1385/1/1"));
    EXPECT_TRUE(dates.CheckTheDate(&combo));
    EXPECT_EQ(combo.property("currentText").toString(), QStringLiteral("1385/01/01"));
}

}  // namespace

#include "validation_test.moc"
