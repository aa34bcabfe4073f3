#include "office_logins.h"

namespace zartav::test {
namespace {

// Several test programs make the same roles and memberships at once.
QString once(const QString& statement) {
    return QStringLiteral("DO $$ BEGIN %1; EXCEPTION WHEN duplicate_object OR unique_violation OR internal_error THEN NULL; END $$")
        .arg(statement);
}

}  // namespace

testing::AssertionResult makeOfficeLogins(const TestStore& store, const QString& clerk, const QString& registrar) {
    const QString made = serverAdminExec({
        once(QStringLiteral("CREATE ROLE zartav_clerk NOLOGIN")),
        once(QStringLiteral("CREATE ROLE zartav_registrar NOLOGIN")),
        once(QStringLiteral("GRANT zartav_clerk TO zartav_registrar")),
        once(QStringLiteral("CREATE ROLE %1 LOGIN").arg(clerk)),
        once(QStringLiteral("CREATE ROLE %1 LOGIN").arg(registrar)),
        once(QStringLiteral("GRANT zartav_clerk TO %1").arg(clerk)),
        once(QStringLiteral("GRANT zartav_registrar TO %1").arg(registrar)),
    });
    if (!made.isEmpty()) return testing::AssertionFailure() << made.toStdString();
    for (const QString& grant : {
             QStringLiteral("GRANT USAGE ON SCHEMA %1 TO zartav_clerk").arg(store.schemaName()),
             QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON \"VaskorTemp\", \"DosSperm\" TO zartav_clerk"),
             QStringLiteral("GRANT SELECT ON \"VaskorHistory\", \"CertificateIssues\", \"StoreVersion\" TO zartav_clerk"),
             QStringLiteral("GRANT SELECT, INSERT, UPDATE (\"Seen\") ON \"CorrectionRequests\" TO zartav_clerk"),
         })
        if (testing::AssertionResult done = store.exec(grant); !done) return done;
    return testing::AssertionSuccess();
}

}  // namespace zartav::test
