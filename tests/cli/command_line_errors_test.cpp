// A wrong command line: exit status 2 and the reason and usage line on standard error, before any
// store is opened (the stores named here do not exist).
#include "cli_run.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLineErrors, SayWhyAndShowTheUsageLine) {
    const struct {
        QStringList args;
        const char* said;  // a line of standard error
    } cases[] = {
        {{"certificate", "--db", "x", "--pdf"}, "zartav-cli certificate: --pdf needs a file"},
        {{"certificate", "--db", "x", "--pdf", "o.pdf", "--id"}, "zartav-cli certificate: --id needs a number"},
        {{"certificate", "word", "--db"}, "zartav-cli certificate: unknown argument"},
        {{"certificate", "--db", "x", "--pdf", "o.pdf", "--all", "--all"},
         "zartav-cli certificate: choose exactly one of --id, --ids, --herd, --all"},
        {{"certificate", "--db", "x", "--pdf", "o.pdf", "--all", "-x"}, "zartav-cli certificate: unknown argument"},
        {{"keygen", "--db", "x", "--key", "k", "word"}, "zartav-cli keygen: unknown argument or missing value"},
        {{"register", "--db", "x"}, "usage: zartav-cli register --verify --db STORE"},
        {{"verify", "--db", "x", "f", "g"}, "zartav-cli verify: unknown argument or missing value"},
        {{"verify", "--db", "x", "--text", "p", "f"}, "zartav-cli verify: give one FILE or --text PAYLOAD"},
        {{"issuer", "--db", "x", "--keys", "f"}, "zartav-cli issuer: --keys takes no file"},
        {{"check", "a.csv", "b.csv", "--db"}, "zartav-cli check: unexpected argument"},
        {{"check", "--db", "x", "--herd"}, "zartav-cli check: an option lacks its value"},
        {{"export", "--db", "x", "--columns", "some", "o.csv"}, "zartav-cli export: --columns takes only 'all'"},
        {{"pedigree", "--db", "x", "--id", "a", "--id", "1"}, "zartav-cli pedigree: --id takes a whole number, --generations 1 to 10"},
        {{"inbreeding", "--db", "x", "--id", "1", "--generations", "3"}, "zartav-cli inbreeding: unknown argument"},
        {{"history", "--db", "x", "--id", "1", "--id", "2"}, "usage: zartav-cli history --db STORE (--id N [--csv] | --deleted | --verify)"},
        {{"history", "--db", "x", "--deleted", "--csv"}, "usage: zartav-cli history --db STORE (--id N [--csv] | --deleted | --verify)"},
        {{"restore-record", "--db", "x", "--id", "1", "--csv"}, "usage: zartav-cli restore-record --db STORE --id N"},
        {{"backup", "--db", "x", "--with-register", "out.db"}, "usage: zartav-cli backup --db STORE [--replace] OUT.db"},
        {{"restore", "--db", "x", "in.db", "in2.db"}, "usage: zartav-cli restore --db STORE [--force] [--with-register] IN.db"},
        {{"copy-store", "a", "b", "c"}, "usage: zartav-cli copy-store FROM TO [--replace] [--with-register]  (each a database file or a postgresql:// address)"},
        {{"import-catalogue", "--db", "a", "--db", "b", "src"}, "usage: zartav-cli import-catalogue --db STORE SOURCE.csv"},
        {{"import-records", "--db", "x", "y", "z"}, "usage: zartav-cli import-records --db STORE FILE.csv"},
        {{"import-mdb", "--list", "a", "--db", "b", "src"}, "       zartav-cli import-mdb --list SOURCE.mdb"},
        {{"template", "-x"}, "usage: zartav-cli template [OUT]"},
    };
    for (const auto& c : cases) {
        const zartav::test::CliRun run = zartav::test::runCli(c.args);
        EXPECT_EQ(run.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.split(QLatin1Char('\n')).contains(QString::fromUtf8(c.said)))
            << c.args.join(' ').toStdString() << "\n" << run.err.toStdString();
    }
}

}  // namespace
