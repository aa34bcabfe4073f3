// Store files made elsewhere: a file whose schema holds anything that is not the program's own is
// refused by every command that opens a store, with a message naming the object, and not one byte
// of it (or of the other store of the command) changes; the program's own files, from this version
// or an earlier one, open. Reading commands leave a file as it was, and nothing beside it.
#include "cli/store_worker_rows.h"
#include "cli_run.h"
#include "data/schema/record_schema.h"
#include "data/schema/store_integrity.h"
#include "data/tdm.h"
#include "entry/catalogue_import.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

#include <sys/stat.h>

using namespace zartav;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

QString withoutIsolates(QString text) { return text.remove(QChar(0x2068)).remove(QChar(0x2069)); }

// A closed store of three records (one with a photo) and two catalogue rows, as the program
// leaves it.
void makeStore(const QString& path) {
    Connection c;
    ASSERT_TRUE(c.open(path)) << c.technicalError().toStdString();
    QSqlQuery q(c.database());
    ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO VaskorTemp ([شماره ثبت], [كد گله], [بدن]) "
                                      "VALUES ('98001', '77', '1'), ('98002', '77', '2'), ('98003', '78', '3')")));
    ASSERT_TRUE(q.prepare(QStringLiteral("UPDATE VaskorTemp SET [عكس 1] = ? WHERE ID = 1")));
    q.addBindValue(storeworker::rowPhoto(QStringLiteral("p"), 1, 0, 2000));
    ASSERT_TRUE(q.exec());
    ASSERT_TRUE(catalogue::importCatalogueCsv(c.database(), "Name_Sp,RegNo_SPF\nZulu,USA1\nAlpha,CAN2\n").ok());
}

// Statements run on the file as another program would run them: a plain connection, none of
// the program's settings.
void alter(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("elsewhere"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        for (const QString& sql : statements) {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("elsewhere"));
}

// The record table's own statement rewritten in place, as a tool that edits schemas does it.
QStringList retyped(const QString& from, const QString& to) {
    return {QStringLiteral("PRAGMA writable_schema=ON"),
            QStringLiteral("UPDATE sqlite_master SET sql = replace(sql, '%1', '%2') WHERE name = 'VaskorTemp'").arg(from, to)};
}

class HostileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"hostile", "good", "out", "in"}) ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromLatin1(folder)));
        makeStore(good());
        QFile rows(in("rows.csv"));
        ASSERT_TRUE(rows.open(QIODevice::WriteOnly));
        rows.write(QStringLiteral("بدن,كد گله\r\n9,77\r\n").toUtf8());
        QFile bulls(in("bulls.csv"));
        ASSERT_TRUE(bulls.open(QIODevice::WriteOnly));
        bulls.write("Name_Sp,RegNo_SPF\nKilo,USA9\n");
    }
    QString path(const char* folder, const QString& name) const {
        return dir.filePath(QString::fromLatin1(folder) + QLatin1Char('/') + name);
    }
    QString hostile() const { return path("hostile", QStringLiteral("Data.db")); }
    QString good() const { return path("good", QStringLiteral("good.db")); }
    QString out(const QString& name) const { return path("out", name); }
    QString in(const QString& name) const { return path("in", name); }

    QTemporaryDir dir;
};

const QString kRefused = QStringLiteral("؛ چنين فايلي نه خوانده مي شود و نه در آن نوشته مي شود.");

}  // namespace

TEST_F(HostileFileTest, EveryCommandRefusesAFileWithObjectsNotOfTheProgramAndChangesNoByte) {
    struct Case {
        const char* name;
        QStringList statements;
        QString says;
    };
    const QList<Case> cases = {
        {"a trigger of someone else's",
         {QStringLiteral("CREATE TRIGGER t AFTER INSERT ON VaskorTemp BEGIN DELETE FROM VaskorTemp WHERE ID <> NEW.ID; END")},
         QStringLiteral("اين فايل تريگر «t» را دارد كه از اين برنامه نيست")},
        {"a view", {QStringLiteral("CREATE VIEW herds AS SELECT [كد گله] FROM VaskorTemp")},
         QStringLiteral("اين فايل نماي «herds» را دارد كه از اين برنامه نيست")},
        {"a table of someone else's", {QStringLiteral("CREATE TABLE people (name TEXT)")},
         QStringLiteral("اين فايل جدول «people» را دارد كه از اين برنامه نيست")},
        {"an index on a function", {QStringLiteral("CREATE INDEX ix_body ON VaskorTemp (abs([بدن]))")},
         QStringLiteral("اين فايل ايندكس «ix_body» را دارد كه از اين برنامه نيست")},
        {"one of the program's indexes made otherwise",
         {QStringLiteral("DROP INDEX ix_VaskorTemp_5"),
          QStringLiteral("CREATE INDEX ix_VaskorTemp_5 ON VaskorTemp ([كد گله] COLLATE NOCASE)")},
         QStringLiteral("ايندكس «ix_VaskorTemp_5» در اين فايل با تعريفي جز تعريف اين برنامه ساخته شده است")},
        {"a text column of INTEGER", retyped(QStringLiteral("[كد گله] VARCHAR(50)"), QStringLiteral("[كد گله] INTEGER")),
         QStringLiteral("ستون «كد گله» از جدول «VaskorTemp» در اين فايل نوع يا قيدي جز نوع و قيد اين برنامه دارد")},
        {"[ID] TEXT", retyped(QStringLiteral("[ID] INTEGER PRIMARY KEY AUTOINCREMENT"), QStringLiteral("[ID] TEXT")),
         QStringLiteral("ستون «ID» از جدول «VaskorTemp» در اين فايل نوع يا قيدي جز نوع و قيد اين برنامه دارد")},
        {"an extra constraint",
         retyped(QStringLiteral("[عكس 3] BLOB)"), QStringLiteral("[عكس 3] BLOB, CHECK (length([بدن]) < 9))")),
         QStringLiteral("جدول «VaskorTemp» در اين فايل با تعريفي جز تعريف اين برنامه ساخته شده است")},
        {"an endless view for the catalogue",
         {QStringLiteral("DROP TABLE DosSperm"),
          QStringLiteral("CREATE VIEW DosSperm AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
                         "SELECT n AS Name_Sp FROM r")},
         QStringLiteral("اين فايل نماي «DosSperm» را دارد كه از اين برنامه نيست")},
    };
    struct Command {
        const char* name;
        QStringList args;
    };
    const QString f = hostile();
    const QList<Command> commands = {
        {"export", {"export", "--db", f, out("list.csv")}},
        {"certificate", {"certificate", "--db", f, "--all", "--pdf", out("all.pdf")}},
        {"backup", {"backup", "--db", f, out("copy.db")}},
        {"restore from it", {"restore", "--db", good(), f}},
        {"copy-store from it", {"copy-store", f, out("copy.db")}},
        {"copy-store onto it", {"copy-store", good(), f, "--replace"}},
        {"import-records", {"import-records", "--db", f, in("rows.csv")}},
        {"import-catalogue", {"import-catalogue", "--db", f, in("bulls.csv")}},
    };
    const QByteArray goodBytes = bytesOf(good());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : filesIn(path("hostile", {}))) QFile::remove(path("hostile", name));
        ASSERT_TRUE(QFile::copy(good(), f));
        alter(f, c.statements);
        const QByteArray before = bytesOf(f);
        ASSERT_EQ(filesIn(path("hostile", {})), QStringList({"Data.db"}));

        Connection program;
        EXPECT_FALSE(program.open(f));
        EXPECT_EQ(withoutIsolates(program.errorText()),
                  QStringLiteral("فايل اطلاعات زير باز نشد:\n") + f + QLatin1Char('\n') + c.says + kRefused);
        EXPECT_TRUE(program.errorText().contains(QStringLiteral("«\u2068"))) << "names are isolated";
        EXPECT_EQ(bytesOf(f), before);

        for (const Command& command : commands) {
            SCOPED_TRACE(command.name);
            const test::CliRun run = test::runCli(command.args);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(withoutIsolates(run.err).contains(c.says + kRefused)) << run.err.toStdString();
            EXPECT_EQ(bytesOf(f), before);
            EXPECT_EQ(filesIn(path("hostile", {})), QStringList({"Data.db"}));
            EXPECT_EQ(filesIn(path("out", {})), QStringList());
            EXPECT_EQ(bytesOf(good()), goodBytes);
            EXPECT_EQ(filesIn(path("good", {})), QStringList({"good.db"}));
        }
    }
}

TEST_F(HostileFileTest, TheProgramsOwnFilesOpenFromThisVersionAndEarlierOnes) {
    struct Case {
        const char* name;
        QStringList statements;
    };
    const QList<Case> cases = {
        {"as made", {}},
        {"analysed by the database engine", {QStringLiteral("ANALYZE")}},
        {"an index made again by hand, quoted and spaced otherwise",
         {QStringLiteral("DROP INDEX ix_VaskorTemp_5"),
          QStringLiteral("CREATE INDEX \"ix_VaskorTemp_5\"\n  ON \"VaskorTemp\" ( \"كد گله\" /* the herd code */ )")}},
        {"an earlier version's: no catalogue, no find indexes",
         {QStringLiteral("DROP TABLE DosSperm"), QStringLiteral("DROP INDEX ix_VaskorTemp_find_1"),
          QStringLiteral("DROP INDEX ix_VaskorTemp_find_2"), QStringLiteral("DROP INDEX ix_VaskorTemp_find_3"),
          QStringLiteral("DROP INDEX ix_VaskorTemp_find_4"), QStringLiteral("DROP INDEX ix_VaskorTemp_find_5")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(hostile());
        ASSERT_TRUE(QFile::copy(good(), hostile()));
        alter(hostile(), c.statements);
        const test::CliRun exported = test::runCli({"export", "--db", hostile(), out("list.csv")});
        EXPECT_EQ(exported.status, 0) << exported.err.toStdString();
        QFile::remove(out("list.csv"));
        TDM dm;
        ASSERT_TRUE(dm.Maincon.open(hostile())) << dm.Maincon.errorText().toStdString();
        ASSERT_TRUE(dm.TVascor.open());
        EXPECT_EQ(dm.TVascor.rowCount(), 3);
        // What an earlier version lacks is made on the first writable open.
        QSqlQuery q(dm.Maincon.database());
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'DosSperm' OR name LIKE 'ix_VaskorTemp_%'")));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 16);  // the catalogue and fifteen indexes
    }
}

// Export, certificates, a copy, a backup and a restore read a closed store whose journal is
// folded in and which lacks an index: none of them makes the index, switches the journal or
// leaves a file beside it, and a restore leaves nothing of its temporary copy.
TEST_F(HostileFileTest, ReadingAStoreChangesNothingInItNorBesideIt) {
    const QString f = hostile();
    ASSERT_TRUE(QFile::copy(good(), f));
    alter(f, {QStringLiteral("DROP INDEX ix_VaskorTemp_find_2")});
    const QByteArray before = bytesOf(f);
    ASSERT_EQ(before.mid(18, 2), QByteArray("\2\2")) << "the header asks for the write-ahead journal";
    const QString other = out("other.db");
    struct Command {
        const char* name;
        QStringList args;
        QStringList left;  // in out/
        int status = 0;
    };
    // A certificate is issued into the store's register, so `certificate` writes; `verify` reads.
    const QList<Command> commands = {
        {"export", {"export", "--db", f, out("list.csv")}, {"list.csv"}},
        {"verify", {"verify", "--db", f, "--text", "ZC1|1"}, {}, 6},
        {"copy-store from it", {"copy-store", f, out("copy.db")}, {"copy.db"}},
        {"backup", {"backup", "--db", f, out("copy.db")}, {"copy.db"}},
        {"restore from it", {"restore", "--db", other, f}, {"other.db"}},
    };
    for (const Command& c : commands) {
        SCOPED_TRACE(c.name);
        for (const QString& name : filesIn(path("out", {}))) QFile::remove(out(name));
        const test::CliRun run = test::runCli(c.args);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_EQ(bytesOf(f), before);
        EXPECT_EQ(filesIn(path("hostile", {})), QStringList({"Data.db"}));
        EXPECT_EQ(filesIn(path("out", {})), c.left);
    }
}

TEST_F(HostileFileTest, ACopyOnAFileIsItsOwnersAloneAndADiskThatFillsLeavesNothing) {
    const QString source = path("good", QStringLiteral("many.db"));
    {
        Connection c;
        ASSERT_TRUE(c.open(source));
        QSqlQuery q(c.database());
        ASSERT_TRUE(q.prepare(QStringLiteral("INSERT INTO VaskorTemp ([بدن], [عكس 1]) VALUES (?, ?)")));
        for (int n = 0; n < 40; ++n) {
            q.addBindValue(QString::number(n));
            q.addBindValue(storeworker::rowPhoto(QStringLiteral("m"), n, 0, 4000));
            ASSERT_TRUE(q.exec());
        }
    }
    const test::CliRun copied = test::runCli({"copy-store", source, out("copy.db")});
    ASSERT_EQ(copied.status, 0) << copied.err.toStdString();
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(out("copy.db")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    QProcess limited;
    limited.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 40; exec \"$0\" copy-store \"$1\" \"$2\""),
                                           QStringLiteral(ZARTAV_CLI), source, path("hostile", QStringLiteral("full.db"))});
    ASSERT_TRUE(limited.waitForFinished(60000));
    EXPECT_EQ(limited.exitCode(), 1) << limited.readAllStandardError().toStdString();
    EXPECT_EQ(filesIn(path("hostile", {})), QStringList());
}

TEST(ReadBudget, AReadingThatWouldNotEndIsStoppedAndTheConnectionGoesOnAfterIt) {
    QTemporaryDir dir;
    Connection c;
    ASSERT_TRUE(c.open(dir.filePath(QStringLiteral("Data.db"))));
    const QString endless = QStringLiteral("WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT count(*) FROM r");
    {
        const integrity::ReadBudget budget(c.database(), 2'000'000);
        QSqlQuery q(c.database());
        EXPECT_FALSE(q.exec(endless) && q.next());
        EXPECT_TRUE(q.lastError().text().contains(QStringLiteral("interrupted"))) << q.lastError().text().toStdString();
        EXPECT_TRUE(budget.spent());
    }
    QSqlQuery q(c.database());
    ASSERT_TRUE(q.exec(QStringLiteral("WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 1000000) "
                                      "SELECT count(*) FROM r")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1000000);
}

namespace {

// `source` as a crash leaves it, in `folder`: two records saved after its last checkpoint are in
// its journal alone. `cut` bytes are taken off the journal's end, as a torn last write does.
void crashed(const QString& source, const QString& folder, qint64 cut = 0) {
    const QString scratch = source + QStringLiteral(".crashing");
    ASSERT_TRUE(QFile::copy(source, scratch));
    {
        Connection c;
        ASSERT_TRUE(c.open(scratch)) << c.technicalError().toStdString();
        for (const char* body : {"91", "92"})
            ASSERT_TRUE(QSqlQuery(c.database()).exec(QStringLiteral("INSERT INTO VaskorTemp ([بدن]) VALUES ('%1')").arg(body)));
        for (const char* suffix : {"", "-wal"}) {
            QFile::remove(folder + QStringLiteral("/Data.db") + suffix);
            ASSERT_TRUE(QFile::copy(scratch + suffix, folder + QStringLiteral("/Data.db") + suffix));
        }
    }
    QFile::remove(scratch);
    QFile wal(folder + QStringLiteral("/Data.db-wal"));
    ASSERT_TRUE(wal.resize(wal.size() - cut));
}

}  // namespace

// A journal beside the file is read through when it is the file's own (a crash left it), and
// never changed: no reading folds it in, removes it or leaves a "-shm"; one of another store is
// refused by every command, the program's window included, naming it.
TEST_F(HostileFileTest, AJournalBesideTheFileIsReadOnlyAsItsOwnAndNeverChanged) {
    const QString f = hostile();
    const QString wal = f + QStringLiteral("-wal");
    const QString other = path("good", QStringLiteral("other.db"));
    makeStore(other);
    struct Journal {
        const char* name;
        std::function<void()> make;
        qint64 records;  // read through it; 0: refused
    };
    const QList<Journal> journals = {
        {"its own", [&] { crashed(good(), path("hostile", {})); }, 5},
        {"its own, cut in its last save", [&] { crashed(good(), path("hostile", {}), 100); }, 4},
        {"another store's",
         [&] {
             crashed(other, path("hostile", {}));
             QFile::remove(f);
             ASSERT_TRUE(QFile::copy(good(), f));
         },
         0},
    };
    struct Command {
        const char* name;
        QStringList args;
        int status;  // when the journal is the file's own
    };
    const QList<Command> reads = {
        {"export", {"export", "--db", f, out("list.csv")}, 0},
        {"backup", {"backup", "--db", f, out("copy.db")}, 0},
        {"verify", {"verify", "--db", f, "--text", "ZC1|1"}, 6},
        {"history --verify", {"history", "--db", f, "--verify"}, 0},
    };
    const QString refused = QStringLiteral("فايل زير كنار فايل اطلاعات است، ولي نوشته هاي خود اين فايل نيست و از فايل ديگري آمده "
                                           "يا دستكاري شده است:\n") + wal;
    for (const Journal& j : journals) {
        SCOPED_TRACE(j.name);
        for (const QString& name : filesIn(path("hostile", {}))) QFile::remove(path("hostile", name));
        j.make();
        const QByteArray file = bytesOf(f), journal = bytesOf(wal);
        const auto unchanged = [&] {
            EXPECT_EQ(bytesOf(f), file);
            EXPECT_EQ(bytesOf(wal), journal);
            EXPECT_EQ(filesIn(path("hostile", {})), QStringList({"Data.db", "Data.db-wal"}));
        };
        for (const Command& c : reads) {
            SCOPED_TRACE(c.name);
            for (const QString& name : filesIn(path("out", {}))) QFile::remove(out(name));
            const test::CliRun run = test::runCli(c.args);
            if (j.records > 0) {
                EXPECT_EQ(run.status, c.status) << run.err.toStdString();
            } else {
                EXPECT_EQ(run.status, 1);
                EXPECT_TRUE(withoutIsolates(run.err).contains(refused)) << run.err.toStdString();
            }
            unchanged();
        }
        if (j.records > 0) {
            const test::CliRun exported = test::runCli({"export", "--db", f, out("list.csv")});
            EXPECT_TRUE(exported.out.startsWith(QStringLiteral("%1 records").arg(j.records))) << exported.out.toStdString();
            unchanged();
            TDM dm;
            ASSERT_TRUE(dm.Maincon.open(f)) << dm.Maincon.errorText().toStdString();
            ASSERT_TRUE(dm.TVascor.open());
            EXPECT_EQ(dm.TVascor.rowCount(), j.records);
            continue;
        }
        for (const QStringList& writes : {QStringList{"certificate", "--db", f, "--all", "--pdf", out("all.pdf")},
                                          QStringList{"restore", "--db", f, good()}}) {
            SCOPED_TRACE(writes.first().toStdString());
            const test::CliRun run = test::runCli(writes);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(withoutIsolates(run.err).contains(refused)) << run.err.toStdString();
            unchanged();
        }
        Connection program;
        EXPECT_FALSE(program.open(f));
        EXPECT_TRUE(withoutIsolates(program.errorText()).contains(refused)) << program.errorText().toStdString();
        program.close();
        unchanged();
    }
}

// A Data.db that is a link to nothing is not made where the link points, by the window or a
// command; reading a store that is not there fails (status 1).
TEST_F(HostileFileTest, ALinkToNothingIsRefusedAndNothingIsMadeWhereItPoints) {
    const QString link = hostile(), pointed = out("elsewhere.db");
    ASSERT_TRUE(QFile::link(pointed, link));
    Connection program;
    EXPECT_FALSE(program.open(link));
    EXPECT_EQ(withoutIsolates(program.errorText()),
              QStringLiteral("فايل اطلاعات زير پيوندي (symlink) به فايلي است كه نيست:\n") + link +
                  QStringLiteral("\nفايل اطلاعات تازه اي در جايي كه آن نشان مي دهد ساخته نمي شود."));
    for (const QStringList& args : {QStringList{"import-records", "--db", link, in("rows.csv")},
                                    QStringList{"import-catalogue", "--db", link, in("bulls.csv")},
                                    QStringList{"copy-store", good(), link},
                                    QStringList{"verify", "--db", link, "--text", "ZC1|1"},
                                    QStringList{"verify", "--db", out("none.db"), "--text", "ZC1|1"}}) {
        SCOPED_TRACE(args.first().toStdString());
        EXPECT_EQ(test::runCli(args).status, 1);
    }
    EXPECT_EQ(filesIn(path("out", {})), QStringList());
}

// A copy killed halfway leaves nothing under the target's name; the next copy clears what it left.
TEST_F(HostileFileTest, AKilledCopyLeavesNoHalfStoreAndTheNextOneClearsItsRemains) {
    const QString source = path("good", QStringLiteral("large.db"));
    {
        Connection c;
        ASSERT_TRUE(c.open(source));
        QSqlQuery q(c.database());
        ASSERT_TRUE(c.database().transaction());
        ASSERT_TRUE(q.prepare(QStringLiteral("INSERT INTO VaskorTemp ([بدن], [عكس 1]) VALUES (?, ?)")));
        for (int n = 0; n < 300; ++n) {
            q.addBindValue(QString::number(n));
            q.addBindValue(storeworker::rowPhoto(QStringLiteral("m"), n, 0, 100000));
            ASSERT_TRUE(q.exec());
        }
        ASSERT_TRUE(c.database().commit());
    }
    const QString target = out("copy.db");
    QProcess copy;
    copy.start(QStringLiteral(ZARTAV_CLI), {QStringLiteral("copy-store"), source, target});
    ASSERT_TRUE(copy.waitForStarted());
    // Killed once the copy has begun to write.
    for (int i = 0; i < 2000 && filesIn(path("out", {})).size() < 2; ++i) QThread::msleep(5);
    ASSERT_GE(filesIn(path("out", {})).size(), 2) << "the copy wrote nothing";
    copy.kill();
    copy.waitForFinished();
    EXPECT_FALSE(QFileInfo::exists(target));
    const test::CliRun again = test::runCli({"copy-store", source, target});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(filesIn(path("out", {})), QStringList({"copy.db"}));
}
