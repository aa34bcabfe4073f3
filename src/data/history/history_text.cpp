#include "data/history/history_text.h"

#include "data/schema/history_schema.h"
#include "data/schema/record_schema.h"
#include "dates/calendar.h"

#include <QTimeZone>

namespace zartav::history {
namespace {

bool isPhoto(const QString& column) {
    for (const char* photo : schema::kPhotoColumns)
        if (column == QString::fromUtf8(photo)) return true;
    return false;
}

}  // namespace

bool needsReason(const QString& storedPrintDate) { return !storedPrintDate.trimmed().isEmpty(); }

QString reasonRequiredText() {
    return QStringLiteral("گواهي اين ركورد چاپ شده است؛ براي اصلاح آن «علت اصلاح» را بنويسيد.");
}

QString actionName(const QString& action) {
    if (action == QLatin1String(kInsert)) return QStringLiteral("ثبت");
    if (action == QLatin1String(kUpdate)) return QStringLiteral("اصلاح");
    if (action == QLatin1String(kDelete)) return QStringLiteral("حذف");
    if (action == QLatin1String(kRestore)) return QStringLiteral("بازگرداني");
    return action;
}

QString whoText(const Entry& e) {
    if (e.role.isEmpty()) return e.desk.isEmpty() ? QStringLiteral("نامعلوم") : e.desk;
    if (e.desk.isEmpty()) return e.role;
    return QStringLiteral("%1، رايانه (اعلام شده): %2").arg(e.role, e.desk);
}

QString tehranTime(const QDateTime& utc) {
    if (!utc.isValid()) return {};
    const QDateTime local = utc.toTimeZone(QTimeZone("Asia/Tehran"));
    const calendar::SolarDate d = calendar::fromGregorian(local.date());
    return QStringLiteral("%1/%2/%3 %4")
        .arg(d.year, 4, 10, QLatin1Char('0'))
        .arg(d.month, 2, 10, QLatin1Char('0'))
        .arg(d.day, 2, 10, QLatin1Char('0'))
        .arg(local.toString(QStringLiteral("HH:mm:ss")));
}

QString shownValue(const QString& column, const QVariant& value) {
    if (value.isNull()) return {};
    if (isPhoto(column)) return QStringLiteral("تصوير %1 بايتي").arg(value.toLongLong());
    return value.toString();
}

}  // namespace zartav::history
