#include "dates/date_services.h"

#include "dates/date_arithmetic.h"
#include "dates/date_text.h"
#include "dates/date_validation.h"
#include "util/dialogs.h"
#include "util/format_patterns.h"

#include <QMetaObject>
#include <QObject>
#include <QTime>
#include <QVariant>

namespace zartav {
namespace {

void showAll(const QStringList& messages) {
    for (const QString& m : messages) showMessage(m);
}

// Line edits carry "text"; combo boxes "currentText".
const char* textPropertyOf(const QObject* box) {
    return box->property("text").isValid() ? "text" : "currentText";
}

void focus(QObject* box) { QMetaObject::invokeMethod(box, "setFocus", Qt::DirectConnection); }

}  // namespace

QString DateServices::ToFarsiDate(const QString& gregorian) const {
    return dates::gregorianTextToSolar(gregorian);
}

bool DateServices::IsKabise(int year) {
    return calendar::isLeapYear(dates::completeYearNumber(year, shortYearBase()));
}

void DateServices::InitToday() {
    today_ = calendar::fromGregorian(calendar::todayGregorian());
    todayText_ = dates::formatSolar(*today_);
}

QString DateServices::FarsiToday() {
    if (!today_) InitToday();
    return todayText_;
}

int DateServices::shortYearBase() {
    if (!today_) InitToday();
    return today_->year;
}

QString DateServices::ConvertDateFormat(const QString& date, const QString& from,
                                        const QString& to) const {
    return dates::convertDateFormat(date, from, to);
}

QString DateServices::ToEnglishDate(const QString& solar) {
    QStringList messages;
    const QString result = dates::solarToGregorianText(solar, shortYearBase(), &messages);
    showAll(messages);
    return result;
}

QString DateServices::ToEnglishDateForSQLServer(const QString& solar) {
    QStringList messages;
    const QString result = dates::solarToGregorianSqlText(solar, shortYearBase(), &messages);
    showAll(messages);
    return result;
}

bool DateServices::IsValidDate(const QString& text) {
    const dates::DateCheck check = dates::checkExistingDate(text, shortYearBase());
    if (!check.ok) showMessage(check.message);
    return check.ok;
}

QString DateServices::CompleateDate(const QString& text) {
    const dates::DateCheck check = dates::checkExistingDate(text, shortYearBase());
    if (!check.ok) {
        showMessage(check.message);
        return text;
    }
    return dates::completeDate(check, shortYearBase());
}

bool DateServices::IsValidTime(const QString& text) {
    const dates::TimeCheck check = dates::checkTime(text);
    if (!check.ok) showMessage(check.message);
    return check.ok;
}

std::optional<QString> DateServices::CompleateTime(const QString& text) {
    const dates::TimeCheck check = dates::checkTime(text);
    if (!check.ok) {
        showMessage(check.message);
        return std::nullopt;
    }
    return dates::completeTime(check);
}

QString DateServices::NowTime() {
    applyProgramFormatPatterns();
    QString message;
    const QString result = dates::formatNowTime(QTime::currentTime(), &message);
    if (!message.isEmpty()) showMessage(message);
    return result;
}

bool DateServices::CheckTheDate(QObject* box) { return CheckTheDate(box, QString()); }

bool DateServices::CheckTheDate(QObject* box, const QString& field) {
    if (!box) return false;
    const char* property = textPropertyOf(box);
    const dates::DateCheck check = dates::checkExistingDate(box->property(property).toString(), shortYearBase());
    if (!check.ok) {
        showMessage(check.message, field);
        focus(box);
        return false;
    }
    box->setProperty(property, dates::completeDate(check, shortYearBase()));
    return true;
}

bool DateServices::CheckTheTime(QObject* box) {
    if (!box) return false;
    const char* property = textPropertyOf(box);
    const dates::TimeCheck check = dates::checkTime(box->property(property).toString());
    if (!check.ok) {
        showMessage(check.message);
        focus(box);
        return false;
    }
    box->setProperty(property, dates::completeTime(check));
    return true;
}

int DateServices::DateToInt(const QString& date) {
    QStringList messages;
    const int result = dates::dateToInt(date, shortYearBase(), &messages);
    showAll(messages);
    return result;
}

int DateServices::DaySubDate(const QString& a, const QString& b, bool isSigned) {
    QStringList messages;
    const int result = dates::daySubDate(a, b, isSigned, shortYearBase(), &messages);
    showAll(messages);
    return result;
}

int DateServices::DaySubDateWithOutCheckDate(const QString& a, const QString& b, bool isSigned) {
    return dates::daySubDate(a, b, isSigned, shortYearBase(), nullptr);
}

QString DateServices::SubDate(const QString& first, const QString& second) {
    QStringList messages;
    const QString result = dates::subDate(first, second, shortYearBase(), &messages);
    showAll(messages);
    return result;
}

QString DateServices::ConvertDayToMonthDay(const QString& days) const {
    return dates::convertDayToMonthDay(days);
}

QString DateServices::ConvetToDateCompare(const QString& text) const {
    return dates::convetToDateCompare(text);
}

QString DateServices::NDayFromDate(const QString& date, int n) {
    QStringList messages;
    const QString result = dates::nDayFromDate(date, n, shortYearBase(), &messages);
    showAll(messages);
    return result;
}

QString DateServices::NMinFromTime(const QString& time, const QString& duration) {
    QStringList messages;
    const QString result = dates::nMinFromTime(time, duration, &messages);
    showAll(messages);
    return result;
}

double DateServices::SubTime(const QString& t1, const QString& t2) {
    QStringList messages;
    const double result = dates::subTime(t1, t2, &messages);
    showAll(messages);
    return result;
}

}  // namespace zartav
