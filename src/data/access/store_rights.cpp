#include "data/access/store_rights.h"

namespace zartav::access {

Role leastRoleFor(Action action) {
    switch (action) {
    case Action::SaveNew:
    case Action::EditUncertified:
        return Role::Clerk;
    case Action::EditCertified:
    case Action::Delete:
    case Action::Restore:
    case Action::Issue:
    case Action::DecideRequests:
        return Role::Registrar;
    case Action::OfficeTexts:
    case Action::Keys:
    case Action::Users:
    case Action::DailyCopies:
    case Action::CopyOntoServer:
        return Role::Administrator;
    }
    return Role::Administrator;
}

QString roleName(Role role) {
    switch (role) {
    case Role::Reader: return QStringLiteral("فقط خواندن");
    case Role::Clerk: return QStringLiteral("متصدي");
    case Role::Registrar: return QStringLiteral("ثبت كننده");
    case Role::Administrator: return QStringLiteral("مدير");
    }
    return {};
}

QString onlyRoleText(Role role) { return QStringLiteral("فقط %1 مجاز است").arg(roleName(role)); }

}  // namespace zartav::access
