// requests: the open correction requests of a server store, or one of them approved or refused,
// as the window's "درخواست هاي اصلاح" does.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/corrections/correction_requests.h"
#include "data/history/history_text.h"
#include "data/tdm.h"

#include <cstdio>

namespace zartav::cli {
namespace {

const char* kUsage = "--db URL [--approve N | --refuse N --reason TEXT]";

struct Request {
    QString store;
    qint64 number = 0;  // 0: list the open ones
    bool approve = false;
    QString reason;
};

std::optional<Request> parse(const QStringList& args) {
    Arguments line("requests", kUsage, {{"db", "URL"}, {"approve", "N"}, {"refuse", "N"}, {"reason", "TEXT"}});
    if (!line.parse(args) || line.value("db").isEmpty()) return std::nullopt;
    if (line.isSet("approve") + line.isSet("refuse") > 1) return std::nullopt;
    // A refusal says why; nothing else takes a reason.
    if (line.isSet("refuse") != line.isSet("reason") || (line.isSet("reason") && line.value("reason").trimmed().isEmpty()))
        return std::nullopt;
    Request a;
    a.store = line.value("db");
    a.approve = line.isSet("approve");
    a.reason = line.value("reason").trimmed();
    if (a.approve || line.isSet("refuse")) {
        bool ok = false;
        a.number = line.value(a.approve ? "approve" : "refuse").toLongLong(&ok);
        if (!ok || a.number <= 0) return std::nullopt;
    }
    return a;
}

void print(const QString& line) { std::fprintf(stdout, "%s\n", line.toUtf8().constData()); }

void printOpen(const QList<corrections::Request>& open) {
    for (const corrections::Request& r : open) {
        QStringList changed;
        for (const history::Change& c : r.changes)
            changed << QStringLiteral("%1: «%2» → «%3»").arg(c.column, history::shownValue(c.column, c.before), history::shownValue(c.column, c.after));
        print(QStringLiteral("%1\t%2 (%3، %4)\t%5\t%6\tعلت: %7\t%8")
                  .arg(r.number)
                  .arg(r.recordId)
                  .arg(r.registration, r.calfName, r.requester, history::tehranTime(r.at), r.reason, changed.join(QStringLiteral("; "))));
    }
}

int run(const QStringList& args) {
    const std::optional<Request> a = parse(args);
    if (!a) return usageError("requests", kUsage, nullptr);
    if (!isServerAddress(a->store)) return failure("requests", QStringLiteral("correction requests are kept only on a server store"));
    TDM dm;
    if (!dm.Maincon.open(a->store, a->number ? StoreAccess::ReadWrite : StoreAccess::ReadOnly))
        return failure("requests", dm.Maincon.errorText());
    QSqlDatabase db = dm.Maincon.database();
    QString error;
    if (a->number == 0) {
        const std::optional<QList<corrections::Request>> open = corrections::openRequests(db, &error);
        if (!open) return failure("requests", QStringLiteral("the requests cannot be read: ") + error);
        printOpen(*open);
        return kOk;
    }
    if (!corrections::decide(db, a->number, a->approve, a->reason, &error)) return failure("requests", error);
    print(QStringLiteral("request %1 %2").arg(a->number).arg(a->approve ? QStringLiteral("approved") : QStringLiteral("refused")));
    return kOk;
}

const bool registered = registerCommand(
    {"requests", kUsage, run,
     "Lists the open correction requests of a server store (number, record, who, when, reason, each column before and "
     "after), or approves one (applied to its record) or refuses one with a reason; only a registrar may decide."});

}  // namespace
}  // namespace zartav::cli
