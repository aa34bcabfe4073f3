#include "data/access/store_rights.h"

#include "util/bidi_text.h"

#include <algorithm>

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

namespace {

QString officeText(const StoreRights& rights) {
    if (rights.office.isEmpty()) return QStringLiteral("بدون دفتر");
    return rights.officeName.isEmpty() ? isolated(rights.office)
                                       : QStringLiteral("%1 (%2)").arg(isolated(rights.office), isolated(rights.officeName));
}

}  // namespace

bool isGuardsWords(const QString& words) {
    return std::any_of(words.cbegin(), words.cend(), [](QChar c) { return c.script() == QChar::Script_Arabic; });
}

QString statusText(const StoreRights& rights) {
    if (!rights.rolesInForce) return {};
    return QStringLiteral("كاربر %1، %2، دفتر %3").arg(isolated(rights.user), roleName(rights.role), officeText(rights));
}

QString refusalText(const QString& serverWords, Action action, const QString& province, const StoreRights& rights) {
    if (isGuardsWords(serverWords)) return serverWords;
    if (serverWords.isEmpty() || serverWords.contains(QLatin1String("row-level security")))
        return QStringLiteral("«كد استان» اين ركورد %1 است و دفتر %2 فقط ركوردهاي استان هاي خود (%3) را مي نويسد؛ "
                              "چيزي ذخيره نشد.")
            .arg(isolated(province.isEmpty() ? QStringLiteral("-") : province), officeText(rights),
                 isolated(rights.provinces.join(QStringLiteral("، "))));
    return onlyRoleText(leastRoleFor(action));
}

}  // namespace zartav::access
