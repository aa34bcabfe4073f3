#include "data/transfer/daily_copies.h"

#include "data/engine/sql_dialect.h"
#include "data/engine/store_address.h"
#include "data/history/record_history.h"
#include "data/link/connection.h"
#include "data/schema/store_schema.h"
#include "data/transfer/backup_files.h"
#include "util/app_paths.h"
#include "util/bidi_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>

#include <map>

namespace zartav {
using namespace backups;
namespace {

// A server's daily copy is entered in the store by the desk that makes it, first come: the
// others skip that day. A store whose register cannot be written (an earlier version, a role
// that may not) gets every desk's copy, as before there was one.
enum class DailyClaim { Ours, Taken, Unknown };

DailyClaim claimDailyCopy(Connection& server, const QString& day) {
    const SqlDialect& d = server.dialect();
    QSqlQuery query(server.database());
    query.prepare(QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES (?, ?, ?) ON CONFLICT (%2) DO NOTHING")
                      .arg(d.quote(kDailyCopyTable), d.quote("day"), d.quote("desk"), d.quote("made")));
    query.addBindValue(day);
    query.addBindValue(history::thisDesk());
    query.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    if (!query.exec()) return DailyClaim::Unknown;
    return query.numRowsAffected() == 1 ? DailyClaim::Ours : DailyClaim::Taken;
}

void releaseDailyCopy(Connection& server, const QString& day) {
    const SqlDialect& d = server.dialect();
    QSqlQuery query(server.database());
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ? AND %3 = ?").arg(d.quote(kDailyCopyTable), d.quote("day"), d.quote("desk")));
    query.addBindValue(day);
    query.addBindValue(history::thisDesk());
    query.exec();
}

const QRegularExpression& dailyName() {
    static const QRegularExpression pattern(QStringLiteral("^Data-(\\d{4})-(\\d{2})-(\\d{2})\\.db$"));
    return pattern;
}

}  // namespace

QString dailyBackupName(calendar::SolarDate day) { return QStringLiteral("Data-%1.db").arg(dayText(day)); }

DailyBackupPlan planDailyBackups(calendar::SolarDate today, const QStringList& existing) {
    DailyBackupPlan plan;
    const qint64 todayNumber = calendar::toDayNumber(today);
    const QString todayName = dailyBackupName(today);
    if (!existing.contains(todayName)) plan.write = todayName;
    // Age in days of each copy; the week buckets keep their newest (youngest) copy.
    std::map<qint64, QString> byAge;
    for (const QString& name : existing) {
        const QRegularExpressionMatch m = dailyName().match(name);
        if (!m.hasMatch()) continue;
        const calendar::SolarDate day{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()};
        if (!calendar::isValid(day)) continue;
        const qint64 age = todayNumber - calendar::toDayNumber(day);
        if (age >= 0) byAge.emplace(age, name);
    }
    QSet<qint64> weeksKept;
    for (const auto& [age, name] : byAge) {
        const qint64 week = age / 7;
        if (week == 0) continue;
        if (week <= 4 && !weeksKept.contains(week)) {
            weeksKept.insert(week);
            continue;
        }
        plan.remove << name;
    }
    return plan;
}

QString dailyBackupFolder() { return QDir(paths::userDataFolder()).filePath(QStringLiteral("backups")); }

BackupReport runDailyBackup(const StoreAddress& store) {
    const QString folder = dailyBackupFolder();
    if (!QDir().mkpath(folder))
        return failure(QStringLiteral("در اين پوشه نمي توان فايل نوشت:\n%1").arg(isolatedPath(folder)));
    const calendar::SolarDate today = calendar::fromGregorian(calendar::todayGregorian());
    const DailyBackupPlan plan = planDailyBackups(today, QDir(folder).entryList({QStringLiteral("Data-*.db")}, QDir::Files));
    BackupReport report;
    report.ok = true;
    if (!plan.write.isEmpty()) {
        Connection server;
        const bool opened = store.isServer() && server.open(store);
        // The office's copies are made by a desk whose user may, never by a clerk's.
        if (opened && !access::may(server.rights(), access::Action::DailyCopies)) return report;
        const DailyClaim claim = opened ? claimDailyCopy(server, dayText(today)) : DailyClaim::Unknown;
        if (claim == DailyClaim::Taken) return report;  // another desk, or this one before a restart, has today's
        report = backupStore(store, QDir(folder).filePath(plan.write), false);
        if (!report.ok) {
            if (claim == DailyClaim::Ours) releaseDailyCopy(server, dayText(today));  // so another desk may make it
            return report;  // the older copies stay until a new one is there
        }
    }
    for (const QString& name : plan.remove) QFile::remove(QDir(folder).filePath(name));
    return report;
}

}  // namespace zartav
