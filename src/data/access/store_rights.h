#pragma once

// What the person at a desk may do with the store. On a file the desk's user is its one
// administrator. On the server the rights are the login role's memberships of the office's three
// group roles and its row in the office's table of users, read once when the desk connects;
// the server enforces them whatever the window shows (grants, row-level security, the guards of
// the register and the history), so these are for greying commands and saying why.

#include <QString>
#include <QStringList>

namespace zartav::access {

// The office's group roles on the server; each includes the rights of the one before it.
inline constexpr const char* kClerkRole = "zartav_clerk";
inline constexpr const char* kRegistrarRole = "zartav_registrar";
inline constexpr const char* kAdminRole = "zartav_admin";

enum class Role {
    Reader,         // a login in none of the group roles, on a store whose roles are set up
    Clerk,          // enters and edits records not yet certified, prints drafts, asks for corrections
    Registrar,      // issues, corrects certified records, decides requests, deletes and restores
    Administrator,  // the office's texts, keys, users, daily copies, copies and restores onto the server
};

enum class Action {
    SaveNew,
    EditUncertified,
    EditCertified,    // directly; a clerk's change becomes a correction request
    Delete,           // a certified record; an uncertified one is a clerk's to delete
    Restore,
    Issue,            // a number, the register and the signature
    DecideRequests,   // approve or refuse correction requests
    OfficeTexts,
    Keys,
    Users,
    DailyCopies,
    CopyOntoServer,   // copy-store and restores onto the server
};

struct StoreRights {
    // False on a server whose roles were never set up (one shared role, as before): every desk
    // may do what its grants allow, as an administrator.
    bool rolesInForce = false;
    Role role = Role::Administrator;
    QString user;        // the login the server authenticated; empty on a file
    QString office;      // the office's code; empty when the user has none
    QString officeName;
    QStringList provinces;  // the "كد استان" values the office writes
    bool fourEyes = false;  // the issuer may not be the last to have changed the record
};

// The least role that may take `action`.
Role leastRoleFor(Action action);

inline bool may(const StoreRights& rights, Action action) {
    return !rights.rolesInForce || int(rights.role) >= int(leastRoleFor(action));
}

// The role's Farsi name: "متصدي", "ثبت كننده", "مدير"; "فقط خواندن" for a reader.
QString roleName(Role role);
// What a greyed command's tooltip and a refusal say: "فقط ثبت كننده مجاز است".
QString onlyRoleText(Role role);

// Who works at the desk, for the status line, on a store whose roles are in force: the user,
// the role and the office by code and name. Empty otherwise.
QString statusText(const StoreRights& rights);

// Words the server's guards wrote for the desk (they speak Farsi), not the engine's own.
bool isGuardsWords(const QString& words);

// What the desk is told when the server refused a write of `action` to this login. Its guards
// speak Farsi and are quoted; row-level security (its own English words, or none for a row it
// hid from the write) refused a row of a province the office does not write, named with the
// office; a missing grant needs the role `action` needs.
QString refusalText(const QString& serverWords, Action action, const QString& province, const StoreRights& rights);

}  // namespace zartav::access
