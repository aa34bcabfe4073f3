#pragma once

// Setting up who may do what on the server: the office's three group roles and their grants, the
// offices and the provinces each writes, each user's login, role and office. What the server
// then holds everyone to is in office_schema.h.
//
// Administrators do the owner's own acts (copying a whole store in, restoring one, making
// logins) by taking the owner's role for them: the owner's role is granted to
// kOwnerLinkRole, which inherits nothing, and that to zartav_admin, so an administrator holds
// none of the owner's rights until it asks for them (SET ROLE), and the history still names the
// person (session_user). A superuser owner is never handed out so.

#include "data/access/store_rights.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace zartav::offices {

inline constexpr const char* kOwnerLinkRole = "zartav_as_owner";

struct Setup {
    bool ok = false;
    QStringList said;  // each statement run, or what was found already so, one line each
    QString error;
};

// The group roles (made where missing), their memberships, and every grant of the store's tables
// to them, PUBLIC's taken away; safe to run again. Only the tables' owner may.
Setup grantRoles(QSqlDatabase& db);

// An office, or a changed one: its code, name and the "كد استان" values it writes; four eyes on
// for a new office unless said otherwise. The owner or an administrator.
Setup addOffice(QSqlDatabase& db, const QString& code, const QString& name, const QStringList& provinces,
                std::optional<bool> fourEyes = std::nullopt);

// A user: a login role of its own (made LOGIN without a password where missing; an existing one
// is only granted and mapped), a member of the role's group alone, working at `office`, which
// must exist. Running it again with another role or office changes the user's. The owner or an
// administrator.
Setup addUser(QSqlDatabase& db, const QString& name, access::Role role, const QString& office);

// For as long as it lives, the session may replace the whole store: on a server whose roles are
// in force the owner may, and an administrator acting as the owner; anyone else is refused with
// the guards' words. Elsewhere it changes nothing.
class OwnersAct {
public:
    explicit OwnersAct(QSqlDatabase db);
    ~OwnersAct();
    OwnersAct(const OwnersAct&) = delete;
    OwnersAct& operator=(const OwnersAct&) = delete;

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

private:
    QSqlDatabase db_;
    bool acting_ = false;
    QString error_;
};

}  // namespace zartav::offices
