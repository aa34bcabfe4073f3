// history and restore-record: what the store's own history says of a record, the records
// deleted, the check of the whole chain of entries, and a deleted record brought back.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/history/history_text.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"

#include <QFileInfo>
#include <cstdio>

namespace zartav::cli {
namespace {

const char* kHistoryUsage = "--db STORE (--id N [--csv] | --deleted | --verify)";
const char* kRestoreUsage = "--db STORE --id N";

enum class Mode { None, Record, Deleted, Verify };

struct Request {
    QString store;
    qint64 id = 0;
    Mode mode = Mode::None;
    bool csv = false;
};

// Every form takes --db; --id takes a positive number; one mode at a time.
std::optional<Request> parse(const QStringList& args, bool restoring) {
    Arguments line = restoring ? Arguments("restore-record", kRestoreUsage, {{"db", "STORE"}, {"id", "N"}})
                               : Arguments("history", kHistoryUsage, {{"db", "STORE"}, {"id", "N"}, {"csv"}, {"deleted"}, {"verify"}});
    if (!line.parse(args)) return std::nullopt;
    if (line.count("id") + line.count("deleted") + line.count("verify") != 1) return std::nullopt;
    Request a;
    a.store = line.value("db");
    a.csv = !restoring && line.isSet("csv");
    bool ok = true;
    if (line.isSet("id")) a.id = line.value("id").toLongLong(&ok), a.mode = Mode::Record;
    else a.mode = line.isSet("deleted") ? Mode::Deleted : Mode::Verify;
    if (!ok || (a.mode == Mode::Record && a.id <= 0) || a.store.isEmpty() || (a.csv && a.mode != Mode::Record))
        return std::nullopt;
    return a;
}

int failed(const char* command, const QString& why) { return failure(command, QString(why).remove(QChar(0x2068)).remove(QChar(0x2069))); }

// RFC 4180: a field with a comma, quote or line break is quoted, its quotes doubled.
QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

void print(const QString& line) { std::fprintf(stdout, "%s\n", line.toUtf8().constData()); }

void printEntries(const QList<history::Entry>& entries, bool csv) {
    if (csv)
        print(QStringLiteral("entry,time,who,action,column,before,after,reason"));
    for (const history::Entry& e : entries) {
        if (csv) {
            // One row per changed column, so a spreadsheet can sort and filter them.
            const QList<history::Change> changes = e.changes.isEmpty() ? QList<history::Change>{{}} : e.changes;
            for (const history::Change& c : changes) {
                QStringList fields;
                for (const QString& f : {QString::number(e.entry), history::tehranTime(e.at), history::whoText(e), history::actionName(e.action),
                                         c.column, history::shownValue(c.column, c.before),
                                         history::shownValue(c.column, c.after), e.reason})
                    fields << csvField(f);
                print(fields.join(QLatin1Char(',')));
            }
            continue;
        }
        // One line each: a line break inside a value shows as ↵.
        auto inLine = [](QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("↵")).replace(QLatin1Char('\n'), QStringLiteral("↵")); };
        QStringList changed;
        for (const history::Change& c : e.changes)
            changed << QStringLiteral("%1: «%2» → «%3»")
                           .arg(c.column, inLine(history::shownValue(c.column, c.before)), inLine(history::shownValue(c.column, c.after)));
        QString line = QStringLiteral("%1\t%2\t%3\t%4\t%5").arg(e.entry).arg(history::tehranTime(e.at), history::whoText(e),
                                                               history::actionName(e.action), changed.join(QStringLiteral("; ")));
        if (!e.reason.isEmpty()) line += QStringLiteral("\tعلت: ") + inLine(e.reason);
        print(line);
    }
}

bool openStore(TDM& dm, const Request& a, StoreAccess access, const char* command, int* status) {
    if (!isServerAddress(a.store) && !QFileInfo(a.store).isFile()) {
        *status = failed(command, QStringLiteral("no database file %1").arg(a.store));
        return false;
    }
    if (!dm.Maincon.open(a.store, access)) {
        *status = failed(command, dm.Maincon.errorText());
        return false;
    }
    return true;
}

int runHistory(const QStringList& args) {
    const std::optional<Request> a = parse(args, false);
    if (!a) return usageError("history", kHistoryUsage, nullptr);
    TDM dm;
    int status = kOk;
    if (!openStore(dm, *a, StoreAccess::ReadOnly, "history", &status)) return status;
    QSqlDatabase db = dm.Maincon.database();
    if (!history::hasHistory(db)) return failed("history", QStringLiteral("this store keeps no history yet"));
    QString error;
    if (a->mode == Mode::Verify) {
        const history::ChainCheck check = history::verifyChain(db);
        if (!check.ok)
            return failed("history", check.badEntry > 0 ? check.problem : QStringLiteral("the history cannot be read: ") + check.problem);
        QString line = QStringLiteral("%1 history entries checked, the chain is whole").arg(check.entries);
        if (check.unsealed > 0)
            line += QStringLiteral("; the last %1 were written by another program and are sealed when the program next opens the store")
                        .arg(check.unsealed);
        print(line);
        return kOk;
    }
    const std::optional<QList<history::Entry>> entries =
        a->mode == Mode::Record ? history::recordHistory(db, a->id, &error) : history::deletedRecords(db, &error);
    if (!entries) return failed("history", QStringLiteral("the history cannot be read: ") + error);
    if (a->mode == Mode::Record) {
        if (entries->isEmpty()) return failed("history", QStringLiteral("no history of record %1").arg(a->id));
        printEntries(*entries, a->csv);
        return kOk;
    }
    for (const history::Entry& e : *entries) {
        QStringList shown;
        for (const history::Change& c : e.changes)
            if (c.column == QString::fromUtf8(schema::kRecordColumns[0]) ||
                c.column == QString::fromUtf8(schema::kRecordColumns[schema::kHerdColumnIndex]) ||
                c.column == QString::fromUtf8(schema::kRecordColumns[10]))
                shown << c.column + QStringLiteral(": ") + c.before.toString();
        print(QStringLiteral("%1\t%2\t%3\t%4").arg(e.recordId).arg(history::tehranTime(e.at), history::whoText(e), shown.join(QStringLiteral("; "))));
    }
    return kOk;
}

int runRestore(const QStringList& args) {
    const std::optional<Request> a = parse(args, true);
    if (!a) return usageError("restore-record", kRestoreUsage, nullptr);
    TDM dm;
    int status = kOk;
    if (!openStore(dm, *a, StoreAccess::ReadWrite, "restore-record", &status)) return status;
    if (dm.Maincon.isReadOnly()) return failed("restore-record", QStringLiteral("the store can only be read"));
    QSqlDatabase db = dm.Maincon.database();
    QString error;
    if (!history::restoreRecord(db, a->id, &error)) return failed("restore-record", error);
    print(QStringLiteral("record %1 restored").arg(a->id));
    return kOk;
}

const bool registeredHistory = registerCommand(
    {"history", kHistoryUsage, runHistory,
     "Prints one record's history (newest first; --csv: one row per changed column), the deleted records, or checks "
     "the chain of history entries (--verify names the first entry that does not match, exit status 1)."});
const bool registeredRestore = registerCommand(
    {"restore-record", kRestoreUsage, runRestore,
     "Brings a deleted record back from the history, with its own ID and photos."});

}  // namespace
}  // namespace zartav::cli
