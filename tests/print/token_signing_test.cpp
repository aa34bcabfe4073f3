// Certificates signed by a key that lives on a PKCS#11 token (SoftHSM2 standing in for a USB
// token), checked offline with the exported public key.
#include "certificate_fixture.h"
#include "cli_run.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace zartav;
using test::runCli;

const QString kModule = QStringLiteral("/usr/lib/softhsm/libsofthsm2.so");

class TokenSigning : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(kModule)) {
            if (qEnvironmentVariableIntValue("ZARTAV_REQUIRE_PG") == 1) FAIL() << "softhsm2 is not installed";
            GTEST_SKIP() << "softhsm2 is not installed";
        }
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(path("tokens"));
        QFile conf(path("softhsm2.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("directories.tokendir = %1\nobjectstore.backend = file\n").arg(path("tokens")).toUtf8());
        conf.close();
        qputenv("SOFTHSM2_CONF", conf.fileName().toUtf8());
        QProcess init;
        init.start(QStringLiteral("softhsm2-util"), {"--init-token", "--free", "--label", "office", "--pin", "1234", "--so-pin", "5678"});
        ASSERT_TRUE(init.waitForFinished(60000) && init.exitCode() == 0) << init.readAllStandardError().toStdString();
        db = path("Data.db");
        ids = print::sample::writeDatabase(db, {print::sample::realisticRecord()});
        ASSERT_EQ(ids.size(), 1);
        qputenv("ZARTAV_TOKEN_PIN", "1234");
        const test::CliRun keygen = runCli({"keygen", "--db", db, "--pkcs11", kModule, "--token", "office", "--public-key", path("office.pub")});
        ASSERT_EQ(keygen.status, 0) << keygen.err.toStdString();
    }
    void TearDown() override {
        qunsetenv("ZARTAV_TOKEN_PIN");
        qunsetenv("SOFTHSM2_CONF");
    }

    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    int issues() {
        TDM dm;
        if (!dm.Maincon.open(db)) return -1;
        QSqlQuery q(dm.Maincon.database());
        return q.exec(QStringLiteral("SELECT count(*) FROM \"CertificateIssues\"")) && q.next() ? q.value(0).toInt() : -1;
    }

    QTemporaryDir dir;
    QString db;
    QList<qint64> ids;
};

TEST_F(TokenSigning, APageSignedOnTheTokenVerifiesWithItsPublicKey) {
    const test::CliRun again = runCli({"keygen", "--db", db, "--pkcs11", kModule, "--token", "office"});
    EXPECT_NE(again.status, 0);
    EXPECT_TRUE(again.err.contains(QStringLiteral("كليدي به نام"))) << again.err.toStdString();

    const test::CliRun printed = runCli({"certificate", "--db", db, "--id", QString::number(ids[0]), "--pdf", path("one.pdf"),
                                         "--pkcs11", kModule, "--token", "office"});
    ASSERT_EQ(printed.status, 0) << printed.err.toStdString();
    const test::CliRun verified = runCli({"verify", "--public-key", path("office.pub"), path("one.pdf")});
    EXPECT_EQ(verified.status, 0) << verified.out.toStdString() << verified.err.toStdString();
    // The office's trust list, signed on the token, checks the page offline.
    const test::CliRun listed = runCli({"trust-list", "--db", db, "--pkcs11", kModule, "--token", "office", "--out", path("office.trust")});
    ASSERT_EQ(listed.status, 0) << listed.err.toStdString();
    const test::CliRun trusted = runCli({"verify", "--trust", path("office.trust"), path("one.pdf")});
    EXPECT_EQ(trusted.status, 0) << trusted.out.toStdString() << trusted.err.toStdString();
}

TEST_F(TokenSigning, EachFailureSaysSoInFarsiAndPrintsAndIssuesNothing) {
    QFile notAModule(path("notes.so"));
    ASSERT_TRUE(notAModule.open(QIODevice::WriteOnly));
    notAModule.write("not a library");
    notAModule.close();
    const struct {
        const char* what;
        const char* pin;
        QString module, token, key;
        const char* says;
    } cases[] = {
        {"wrong PIN", "9999", kModule, "office", "zartav-certificates", "رمز توكن امضا درست نيست"},
        {"token absent", "1234", kModule, "desk-2", "zartav-certificates", "پيدا نشد؛ آن را به رايانه وصل كنيد"},
        {"not a module", "1234", notAModule.fileName(), "office", "zartav-certificates", "ماژول توكن امضا نيست"},
        {"module missing", "1234", path("none.so"), "office", "zartav-certificates", "ماژول توكن امضا"},
        {"key absent", "1234", kModule, "office", "other-key", "روي توكن"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qputenv("ZARTAV_TOKEN_PIN", c.pin);
        const test::CliRun r = runCli({"certificate", "--db", db, "--id", QString::number(ids[0]), "--pdf", path("bad.pdf"),
                                       "--pkcs11", c.module, "--token", c.token, "--label", c.key});
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("bad.pdf")));
        EXPECT_EQ(issues(), 0);
    }
}

}  // namespace
