// roles, user add, office add: who may do what on the server, set up from the command line. Each
// prints what it ran (never a password: a login's password is set with psql's \password).
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/link/connection.h"
#include "data/schema/store_roles.h"

#include <cstdio>

namespace zartav::cli {
namespace {

using offices::Setup;

// The server store named by --store or --db, opened; its words on failure.
std::optional<QString> storeOf(const Arguments& line, const char* command, int* status) {
    const QString store = line.isSet("store") ? line.value("store") : line.value("db");
    if (store.isEmpty()) {
        *status = line.usage("--store is required");
        return std::nullopt;
    }
    if (!isServerAddress(store)) {
        *status = failure(command, QStringLiteral("%1 is a file: a file store has one user, its administrator, and no roles").arg(store));
        return std::nullopt;
    }
    return store;
}

int report(const char* command, const Setup& setup) {
    for (const QString& line : setup.said) std::printf("%s\n", line.toUtf8().constData());
    return setup.ok ? kOk : failure(command, setup.error);
}

// Opens `store` and runs `work` on it.
template <typename Work>
int onStore(const char* command, const QString& store, Work work) {
    Connection c;
    if (!c.open(store)) return failure(command, c.errorText());
    QSqlDatabase db = c.database();
    return report(command, work(db));
}

const char* kRolesUsage = "--store URL";

int runRoles(const QStringList& args) {
    Arguments line("roles", kRolesUsage, {{"store", "URL"}, {"db", "URL"}});
    if (!line.parse(args)) return line.usage("unknown argument or missing value");
    int status = kOk;
    const std::optional<QString> store = storeOf(line, "roles", &status);
    return store ? onStore("roles", *store, [](QSqlDatabase& db) { return offices::grantRoles(db); }) : status;
}

const char* kUserUsage = "add NAME --role clerk|registrar|admin --office CODE --store URL";

int runUser(const QStringList& args) {
    Arguments line("user", kUserUsage, {{"role", "ROLE"}, {"office", "CODE"}, {"store", "URL"}, {"db", "URL"}});
    if (!line.parse(args, 2) || line.words().size() != 2 || line.words().first() != QLatin1String("add"))
        return line.usage("user add NAME is the command");
    const QHash<QString, access::Role> roles{{QStringLiteral("clerk"), access::Role::Clerk},
                                             {QStringLiteral("registrar"), access::Role::Registrar},
                                             {QStringLiteral("admin"), access::Role::Administrator}};
    if (!roles.contains(line.value("role"))) return line.usage("--role is clerk, registrar or admin");
    if (line.value("office").isEmpty()) return line.usage("--office is required");
    int status = kOk;
    const std::optional<QString> store = storeOf(line, "user", &status);
    if (!store) return status;
    return onStore("user", *store, [&](QSqlDatabase& db) {
        return offices::addUser(db, line.words().at(1), roles.value(line.value("role")), line.value("office"));
    });
}

const char* kOfficeUsage = "add CODE --name TEXT --provinces P,P,... [--four-eyes on|off] --store URL";

int runOffice(const QStringList& args) {
    Arguments line("office", kOfficeUsage, {{"name", "TEXT"}, {"provinces", "P,P"}, {"four-eyes", "on|off"}, {"store", "URL"}, {"db", "URL"}});
    if (!line.parse(args, 2) || line.words().size() != 2 || line.words().first() != QLatin1String("add"))
        return line.usage("office add CODE is the command");
    std::optional<bool> fourEyes;
    if (line.isSet("four-eyes")) {
        const QString v = line.value("four-eyes");
        if (v != QLatin1String("on") && v != QLatin1String("off")) return line.usage("--four-eyes is on or off");
        fourEyes = v == QLatin1String("on");
    }
    if (line.value("name").isEmpty() || line.value("provinces").isEmpty()) return line.usage("--name and --provinces are required");
    int status = kOk;
    const std::optional<QString> store = storeOf(line, "office", &status);
    if (!store) return status;
    QStringList provinces;
    for (const QString& p : line.value("provinces").split(QLatin1Char(','), Qt::SkipEmptyParts)) provinces << p.trimmed();
    return onStore("office", *store, [&](QSqlDatabase& db) {
        return offices::addOffice(db, line.words().at(1), line.value("name"), provinces, fourEyes);
    });
}

const bool registered =
    registerCommand({"roles", kRolesUsage, runRoles,
                     "run once as the owner of the server's tables (safe to run again): makes the office's three group roles "
                     "zartav_clerk, zartav_registrar and zartav_admin and grants each its rights, printing every grant"}) &&
    registerCommand({"user", kUserUsage, runUser,
                     "makes a desk's login (no password: set it with \\password) a clerk, registrar or administrator of an "
                     "office, printing the CREATE ROLE it ran; again, it changes the user's role or office"}) &&
    registerCommand({"office", kOfficeUsage, runOffice,
                     "adds or changes an office: its name and the province codes (\"كد استان\") its users write; four eyes "
                     "(the issuer is not the last to change the record) on unless --four-eyes off"});

}  // namespace
}  // namespace zartav::cli
