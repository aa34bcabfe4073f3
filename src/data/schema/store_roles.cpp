#include "data/schema/store_roles.h"

#include "data/schema/correction_schema.h"
#include "data/schema/history_schema.h"
#include "data/schema/office_schema.h"
#include "data/schema/record_schema.h"
#include "data/schema/register_schema.h"
#include "data/schema/store_schema.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace zartav::offices {
namespace {

using access::Role;

QString ident(const QString& name) { return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"'); }
QString ident(const char* name) { return ident(QString::fromUtf8(name)); }

const char* groupRole(Role role) {
    switch (role) {
    case Role::Clerk: return access::kClerkRole;
    case Role::Registrar: return access::kRegistrarRole;
    default: return access::kAdminRole;
    }
}

// Who this session is on the store, in one statement.
struct Session {
    bool owner = false;       // holds the rights of the tables' owner
    QString ownerName;
    bool ownerSuper = false;  // the owner is a superuser
    bool admin = false;       // a member of zartav_admin
    bool hasOffices = false;  // the store has the table of offices (an earlier one has not)
    QString user;             // session_user
    QString schema;
};

std::optional<Session> sessionOf(QSqlDatabase& db, QString* error) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COALESCE(pg_has_role(c.relowner, 'USAGE'), false), pg_get_userbyid(c.relowner), r.rolsuper, "
                               "COALESCE(pg_has_role(session_user, to_regrole('%1')::oid, 'MEMBER'), false), "
                               "to_regclass('\"%2\"') IS NOT NULL, session_user, current_schema() "
                               "FROM pg_class c JOIN pg_roles r ON r.oid = c.relowner WHERE c.oid = to_regclass('\"%3\"')")
                    .arg(QLatin1String(access::kAdminRole), QLatin1String(kOfficeTable), QString::fromUtf8(schema::kRecordTable)))) {
        *error = q.lastError().text();
        return std::nullopt;
    }
    if (!q.next()) {
        *error = QStringLiteral("this server database holds no store of the program (no table VaskorTemp)");
        return std::nullopt;
    }
    return Session{q.value(0).toBool(), q.value(1).toString(), q.value(2).toBool(), q.value(3).toBool(),
                   q.value(4).toBool(), q.value(5).toString(), q.value(6).toString()};
}

// Runs `sql`, noting it in `setup.said`; false with the server's words.
bool run(QSqlDatabase& db, Setup& setup, const QString& sql, const QVariantList& values = {}, bool told = true) {
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec()) {
        setup.error = sql + QStringLiteral(": ") + q.lastError().text();
        return false;
    }
    if (told) setup.said << sql;
    return true;
}

std::optional<bool> answer(QSqlDatabase& db, const QString& sql, const QVariantList& values, Setup& setup) {
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec() || !q.next()) {
        setup.error = q.lastError().text();
        return std::nullopt;
    }
    return q.value(0).toBool();
}

std::optional<bool> roleExists(QSqlDatabase& db, const QString& role, Setup& setup) {
    return answer(db, QStringLiteral("SELECT to_regrole(?) IS NOT NULL"), {ident(role)}, setup);
}

std::optional<bool> directMember(QSqlDatabase& db, const QString& member, const QString& group, Setup& setup) {
    return answer(db, QStringLiteral("SELECT EXISTS (SELECT FROM pg_auth_members WHERE roleid = to_regrole(?) AND member = to_regrole(?))"),
                  {ident(group), ident(member)}, setup);
}

// A role made once, a membership granted once: what was already so is left and said.
bool ensureRole(QSqlDatabase& db, Setup& setup, const QString& role, const QString& attributes) {
    const std::optional<bool> exists = roleExists(db, role, setup);
    if (!exists) return false;
    if (*exists) return true;
    if (run(db, setup, QStringLiteral("CREATE ROLE %1 %2").arg(ident(role), attributes))) return true;
    setup.error += QStringLiteral("\n(making roles needs CREATEROLE: the server's administrator gives it with "
                                  "ALTER ROLE %1 CREATEROLE, or makes the role)").arg(ident(db.userName()));
    return false;
}

bool ensureMember(QSqlDatabase& db, Setup& setup, const QString& member, const QString& group) {
    const std::optional<bool> is = directMember(db, member, group, setup);
    if (!is) return false;
    return *is || run(db, setup, QStringLiteral("GRANT %1 TO %2").arg(ident(group), ident(member)));
}

bool refused(Setup& setup, const QString& why) {
    setup.error = why;
    return false;
}

Setup refusal(const QString& why) {
    Setup setup;
    setup.error = why;
    return setup;
}

Setup finished(QSqlDatabase& db, Setup setup, bool ok) {
    QSqlQuery q(db);
    q.exec(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
    if (ok && q.lastError().isValid()) setup.error = q.lastError().text();
    setup.ok = ok && setup.error.isEmpty();
    return setup;
}

// Who may take each table, and what. Nothing to anyone on the history's head or the history's
// writes: only the owner's trigger writes them.
struct TableGrant {
    const char* table;
    const char* rights;
    const char* role;
};
const TableGrant kGrants[] = {
    {schema::kRecordTable, "SELECT, INSERT, UPDATE, DELETE", access::kClerkRole},
    // The catalogue of bulls a clerk picks the sire from, and keeps.
    {schema::kCatalogueTable, "SELECT, INSERT, UPDATE, DELETE", access::kClerkRole},
    {history::kTable, "SELECT", access::kClerkRole},
    {certificates::kIssueTable, "SELECT", access::kClerkRole},
    {certificates::kKeyTable, "SELECT", access::kClerkRole},
    {certificates::kOfficeTable, "SELECT", access::kClerkRole},
    {kOfficeTable, "SELECT", access::kClerkRole},
    {kOfficeUserTable, "SELECT", access::kClerkRole},
    {kDailyCopyTable, "SELECT", access::kClerkRole},
    // A clerk asks for corrections and marks its answers read; a registrar decides them through
    // the server's own function.
    {corrections::kTable, "SELECT, INSERT, UPDATE (\"Seen\")", access::kClerkRole},
    {certificates::kIssueTable, "INSERT, UPDATE", access::kRegistrarRole},
    {certificates::kKeyTable, "INSERT", access::kAdminRole},
    {certificates::kOfficeTable, "INSERT, UPDATE, DELETE", access::kAdminRole},
    {kDailyCopyTable, "INSERT, DELETE", access::kAdminRole},
    {kOfficeTable, "INSERT, UPDATE, DELETE", access::kAdminRole},
    {kOfficeUserTable, "INSERT, UPDATE, DELETE", access::kAdminRole},
};

// Whether `s` may set up offices and users.
bool mayAdminister(const Session& s, Setup& setup) {
    if (s.owner || s.admin) return true;
    return refused(setup, QStringLiteral("only the owner of the store's tables (%1) or an administrator (a member of %2) may; "
                                         "this is %3")
                              .arg(s.ownerName, QLatin1String(access::kAdminRole), s.user));
}

}  // namespace

Setup grantRoles(QSqlDatabase& db) {
    Setup setup;
    const std::optional<Session> s = sessionOf(db, &setup.error);
    if (!s) return setup;
    if (!s->owner)
        return refusal(QStringLiteral("only the owner of the store's tables (%1) sets up the roles; this is %2").arg(s->ownerName, s->user));
    if (!run(db, setup, QStringLiteral("BEGIN"), {}, false)) return setup;
    bool ok = ensureRole(db, setup, QLatin1String(access::kClerkRole), QStringLiteral("NOLOGIN")) &&
              ensureRole(db, setup, QLatin1String(access::kRegistrarRole), QStringLiteral("NOLOGIN")) &&
              ensureRole(db, setup, QLatin1String(access::kAdminRole), QStringLiteral("NOLOGIN")) &&
              ensureMember(db, setup, QLatin1String(access::kRegistrarRole), QLatin1String(access::kClerkRole)) &&
              ensureMember(db, setup, QLatin1String(access::kAdminRole), QLatin1String(access::kRegistrarRole));
    if (ok && s->ownerSuper) {
        setup.said << QStringLiteral("-- the tables' owner %1 is a superuser: no administrator acts as it; copies and restores "
                                     "onto this server run as the owner")
                          .arg(s->ownerName);
    } else if (ok) {
        ok = ensureRole(db, setup, QLatin1String(kOwnerLinkRole), QStringLiteral("NOLOGIN NOINHERIT")) &&
             ensureMember(db, setup, QLatin1String(kOwnerLinkRole), s->ownerName) &&
             ensureMember(db, setup, QLatin1String(access::kAdminRole), QLatin1String(kOwnerLinkRole));
    }
    QStringList all;
    for (const char* t : {schema::kRecordTable, schema::kCatalogueTable, history::kTable, history::kHeadTable, certificates::kIssueTable,
                          certificates::kKeyTable, certificates::kOfficeTable, kDailyCopyTable, corrections::kTable})
        all << ident(t);
    // Every login reads the offices; only the grants below write them.
    ok = ok && run(db, setup, QStringLiteral("REVOKE ALL ON %1 FROM PUBLIC").arg(all.join(QStringLiteral(", ")))) &&
         run(db, setup, QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE, REFERENCES, TRIGGER ON %1, %2 FROM PUBLIC")
                            .arg(ident(kOfficeTable), ident(kOfficeUserTable))) &&
         // Every login finds the tables by name, so one whose role was taken away is refused for
         // want of a right rather than told they are not there.
         run(db, setup, QStringLiteral("GRANT USAGE ON SCHEMA %1 TO PUBLIC").arg(ident(s->schema)));
    for (const TableGrant& g : kGrants)
        ok = ok && run(db, setup, QStringLiteral("GRANT %1 ON %2 TO %3").arg(QLatin1String(g.rights), ident(g.table), ident(g.role)));
    // A copy of the store keeps where its numbers stand; reading that takes no number.
    ok = ok && run(db, setup, QStringLiteral("GRANT SELECT ON ALL SEQUENCES IN SCHEMA %1 TO %2").arg(ident(s->schema), ident(access::kClerkRole)));
    return finished(db, setup, ok);
}

Setup addOffice(QSqlDatabase& db, const QString& code, const QString& name, const QStringList& provinces, std::optional<bool> fourEyes) {
    Setup setup;
    static const QRegularExpression word(QStringLiteral("^[0-9A-Za-z_-]{1,20}$"));
    if (!word.match(code).hasMatch()) return refusal(QStringLiteral("an office's code is 1 to 20 Latin letters or digits"));
    if (name.trimmed().isEmpty()) return refusal(QStringLiteral("the office needs a name"));
    if (provinces.isEmpty()) return refusal(QStringLiteral("the office needs the provinces it writes"));
    for (const QString& p : provinces)
        if (!word.match(p).hasMatch()) return refusal(QStringLiteral("%1 is no province code").arg(p));
    const std::optional<Session> s = sessionOf(db, &setup.error);
    if (!s || !mayAdminister(*s, setup)) return setup;
    // Checked above: plain words, safe in an array's text.
    const QString array = QLatin1Char('{') + provinces.join(QLatin1Char(',')) + QLatin1Char('}');
    const QString sql = QStringLiteral("INSERT INTO %1 (\"Code\", \"Name\", \"Provinces\", \"FourEyes\") VALUES (?, ?, ?::text[], ?) "
                                       "ON CONFLICT (\"Code\") DO UPDATE SET \"Name\" = excluded.\"Name\", \"Provinces\" = excluded.\"Provinces\"%2 "
                                       "RETURNING \"FourEyes\"")
                            .arg(ident(kOfficeTable), fourEyes ? QStringLiteral(", \"FourEyes\" = excluded.\"FourEyes\"") : QString());
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant& v : QVariantList{code, name.trimmed(), array, fourEyes.value_or(true)}) q.addBindValue(v);
    if (!q.exec() || !q.next()) return refusal(q.lastError().text());
    setup.said << QStringLiteral("office %1 (%2) writes the provinces %3; four eyes %4")
                      .arg(code, name.trimmed(), provinces.join(QStringLiteral(", ")),
                           q.value(0).toBool() ? QStringLiteral("on") : QStringLiteral("off"));
    setup.ok = true;
    return setup;
}

Setup addUser(QSqlDatabase& db, const QString& name, Role role, const QString& office) {
    Setup setup;
    static const QRegularExpression login(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!login.match(name).hasMatch())
        return refusal(QStringLiteral("a user's name is lower-case Latin letters, digits and _, at most 63"));
    const std::optional<Session> s = sessionOf(db, &setup.error);
    if (!s || !mayAdminister(*s, setup)) return setup;
    const QStringList reserved{QLatin1String(access::kClerkRole), QLatin1String(access::kRegistrarRole), QLatin1String(access::kAdminRole),
                               QLatin1String(kOwnerLinkRole), s->ownerName};
    if (reserved.contains(name)) return refusal(QStringLiteral("%1 is no desk's login").arg(name));
    if (!run(db, setup, QStringLiteral("BEGIN"), {}, false)) return setup;
    // Making a login is the owner's act; an administrator takes its role for it.
    if (!s->owner && !s->ownerSuper && !run(db, setup, QStringLiteral("SET LOCAL ROLE %1").arg(ident(s->ownerName)), {}, false))
        return finished(db, setup, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT \"Name\" FROM %1 WHERE \"Code\" = ?").arg(ident(kOfficeTable)));
    q.addBindValue(office);
    if (!q.exec() || !q.next()) {
        setup.error = q.lastError().isValid() ? q.lastError().text()
                                              : QStringLiteral("there is no office %1 (zartav-cli office add makes it)").arg(office);
        return finished(db, setup, false);
    }
    const QString officeName = q.value(0).toString();
    const std::optional<bool> exists = roleExists(db, name, setup);
    bool ok = exists.has_value();
    if (ok && *exists)
        setup.said << QStringLiteral("-- the role %1 exists already: it is only granted its role and mapped to its office").arg(name);
    else if (ok)
        ok = run(db, setup, QStringLiteral("CREATE ROLE %1 LOGIN").arg(ident(name)));
    // A member of its own group alone: a changed role takes the old one away.
    for (Role other : {Role::Clerk, Role::Registrar, Role::Administrator}) {
        if (!ok || other == role) continue;
        const std::optional<bool> member = directMember(db, name, QLatin1String(groupRole(other)), setup);
        ok = member && (!*member || run(db, setup, QStringLiteral("REVOKE %1 FROM %2").arg(ident(groupRole(other)), ident(name))));
    }
    ok = ok && ensureMember(db, setup, name, QLatin1String(groupRole(role))) &&
         run(db, setup,
             QStringLiteral("INSERT INTO %1 (\"UserName\", \"Office\") VALUES (?, ?) ON CONFLICT (\"UserName\") DO UPDATE SET \"Office\" = excluded.\"Office\"")
                 .arg(ident(kOfficeUserTable)),
             {name, office}, false);
    if (ok) setup.said << QStringLiteral("%1 is a %2 (%3) of office %4 (%5)").arg(name, access::roleName(role), QLatin1String(groupRole(role)), office, officeName);
    return finished(db, setup, ok);
}

OwnersAct::OwnersAct(QSqlDatabase db) : db_(std::move(db)) {
    Setup setup;
    const std::optional<Session> s = sessionOf(db_, &setup.error);
    if (!s) {
        error_ = setup.error;
        return;
    }
    if (s->owner || !s->hasOffices) return;
    const std::optional<bool> inForce = answer(db_, QStringLiteral("SELECT EXISTS (SELECT FROM %1)").arg(ident(kOfficeTable)), {}, setup);
    if (!inForce) {
        error_ = setup.error;
        return;
    }
    if (!*inForce) return;
    if (!s->admin || s->ownerSuper) {
        error_ = copyRefusedText();
        return;
    }
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SET ROLE %1").arg(ident(s->ownerName)))) {
        error_ = q.lastError().text();
        return;
    }
    acting_ = true;
}

OwnersAct::~OwnersAct() {
    if (acting_) QSqlQuery(db_).exec(QStringLiteral("RESET ROLE"));
}

}  // namespace zartav::offices
