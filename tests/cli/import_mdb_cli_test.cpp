// zartav-cli import-mdb, run as a program: exit statuses and what it prints.
#include "cli_run.h"
#include "fixtures.h"
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using zartav::test::CliRun;

CliRun cli(const QStringList& args) { return zartav::test::runCli(QStringList{QStringLiteral("import-mdb")} + args); }

QString legacyFile(const char* name) {
    return zartav::test::fixturePath(QStringLiteral("legacy/") + QString::fromUtf8(name));
}

}  // namespace

TEST(ImportMdbCommand, ListsTablesAndColumns) {
    const CliRun r = cli({QStringLiteral("--list"), legacyFile("nwind.mdb")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("nwind.mdb: Jet 3, 9 tables\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nUmsätze (830 rows)\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n  Photo\tOLE")));

    const CliRun jet4 = cli({QStringLiteral("--list"), legacyFile("DateTestDatabase.mdb")});
    ASSERT_EQ(jet4.status, 0);
    EXPECT_TRUE(jet4.out.contains(QStringLiteral("DateTest (6 rows)\n  IDCol\tLong Integer (4)\n")))
        << jet4.out.toStdString();
    EXPECT_TRUE(jet4.out.contains(QStringLiteral("\n  ShortTextCol\tText (255)\n")));
}

TEST(ImportMdbCommand, RefusesFilesItCannotImportAndLeavesNoDatabaseBehind) {
    QTemporaryDir dir;
    const QString notMdb = dir.filePath(QStringLiteral("notes.mdb"));
    QFile f(notMdb);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("plain text, not a database");
    f.close();
    QFile whole(legacyFile("nwind.mdb"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QString cut = dir.filePath(QStringLiteral("cut.mdb"));
    QFile cutFile(cut);
    ASSERT_TRUE(cutFile.open(QIODevice::WriteOnly));
    cutFile.write(whole.read(1000000));
    cutFile.close();

    const struct {
        QStringList args;
        int status;
        const char* message;
    } cases[] = {
        {{QStringLiteral("--list"), notMdb}, 1, "is not a Microsoft Access database"},
        {{QStringLiteral("--list"), cut}, 1, "damaged or truncated"},
        {{QStringLiteral("--db"), dir.filePath(QStringLiteral("a.db")), legacyFile("nwind.mdb")}, 1,
         "holds neither a VaskorTemp nor a DosSperm table"},
        {{QStringLiteral("--db"), dir.filePath(QStringLiteral("b.db")), notMdb}, 1,
         "is not a Microsoft Access database"},
        {{QStringLiteral("--db"), dir.filePath(QStringLiteral("c.db")), cut}, 1, "damaged or truncated"},
        {{QStringLiteral("--db"), dir.filePath(QStringLiteral("d.db"))}, 2, "usage"},
        {{}, 2, "usage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << r.err.toStdString();
    }
    for (const char* db : {"a.db", "b.db", "c.db", "d.db"})
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QString::fromLatin1(db)))) << db;
}
