// register --verify: the check of every issue in the store's register of certificates, each
// against its seal and the seal of the issue before it.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/certificates/certificate_register.h"
#include "data/tdm.h"

#include <QFileInfo>
#include <cstdio>

namespace zartav::cli {
namespace {

const char* kUsage = "--verify --db STORE";

int run(const QStringList& args) {
    Arguments line("register", kUsage, {{"db", "STORE"}, {"verify"}});
    if (!line.parse(args)) return line.usage("unknown argument or missing value");
    const QString store = line.value("db");
    if (store.isEmpty() || !line.isSet("verify")) return line.usage();
    if (!isServerAddress(store) && !QFileInfo(store).isFile()) return failure("register", QStringLiteral("no database file %1").arg(store));
    TDM dm;
    if (!dm.Maincon.open(store, StoreAccess::ReadOnly)) return failure("register", dm.Maincon.errorText());
    QSqlDatabase db = dm.Maincon.database();
    if (!certificates::hasRegister(db)) return failure("register", QStringLiteral("this store keeps no register of certificates yet"));
    const certificates::RegisterCheck check = certificates::verifyRegister(db);
    if (!check.ok)
        return failure("register", check.badNumber > 0 ? QStringLiteral("certificate %1: %2").arg(check.badNumber).arg(check.problem)
                                                       : QStringLiteral("the register cannot be read: ") + check.problem);
    std::printf("%lld certificate issues checked, the register is whole\n", static_cast<long long>(check.issues));
    return kOk;
}

const bool registered = registerCommand(
    {"register", kUsage, run,
     "Checks the register of issued certificates: every issue against its seal and the one before it, and its state "
     "against the later issues of its record (exit status 1 names the first certificate that does not hold)."});

}  // namespace
}  // namespace zartav::cli
