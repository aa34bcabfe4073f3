// Moving a store: zartav-cli copy-store between a file and the server, and the legacy import into
// either engine.
#include "cli/store_worker_rows.h"
#include "cli_run.h"
#include "data/certificates/certificate_register.h"
#include "data/legacy/legacy_import.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "entry/catalogue_import.h"
#include "pinned.h"
#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace zartav;

namespace {

using test::CliRun;

CliRun copyStore(const QStringList& args) { return test::runCli(QStringList{QStringLiteral("copy-store")} + args); }

// Records with every listed column, photos on some, blanks and absent values on others, gaps in
// the "ID"s (and the last number handed out deleted), and a catalogue.
void fillStore(const QString& address, int records) {
    Connection c;
    ASSERT_TRUE(c.open(address)) << c.technicalError().toStdString();
    QSqlDatabase db = c.database();
    ASSERT_TRUE(db.transaction());
    QStringList names, marks;
    for (int i = 0; i < int(schema::kRecordColumns.size()); ++i) {
        if (i == schema::kIdColumnIndex) continue;
        names << c.dialect().quote(schema::kRecordColumns[i]);
        marks << QStringLiteral("?");
    }
    QSqlQuery q(db);
    ASSERT_TRUE(q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                              .arg(c.dialect().quote(schema::kRecordTable), names.join(", "), marks.join(", "))));
    for (int n = 0; n < records; ++n) {
        int b = 0;
        for (int col = 0; col < schema::kListedColumnCount; ++col) {
            QVariant v = storeworker::rowText(QStringLiteral("c"), n, col);
            if (col == 5 && n % 7 == 0) v = QString(QLatin1String(""));
            if (col == 6 && n % 5 == 0) v = QVariant(QMetaType(QMetaType::QString));
            q.bindValue(b++, v);
        }
        for (int slot = 0; slot < 3; ++slot)
            q.bindValue(b++, n % 3 == slot ? QVariant(storeworker::rowPhoto(QStringLiteral("c"), n, slot, 3000))
                                           : QVariant(QMetaType(QMetaType::QByteArray)));
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }
    ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("DELETE FROM %1 WHERE %2 BETWEEN 11 AND 20 OR %2 = %3")
                                       .arg(c.dialect().quote(schema::kRecordTable), c.dialect().quote(schema::kId))
                                       .arg(records)));
    ASSERT_TRUE(db.commit());
    const catalogue::ImportResult r =
        catalogue::importCatalogueCsv(db, "Name_Sp,RegNo_SPF,Breeder\nZulu,USA1,فارس\nAlpha,CAN2,\nMike,,x\n");
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
}

// Every row of both tables, column by column, in the store's own order.
QStringList dump(const QString& address) {
    Connection c;
    EXPECT_TRUE(c.open(address));
    QStringList rows;
    for (const bool records : {true, false}) {
        QSqlQuery q(c.database());
        EXPECT_TRUE(q.exec(records ? QStringLiteral("SELECT * FROM %1 ORDER BY %2")
                                         .arg(c.dialect().quote(schema::kRecordTable), c.dialect().quote(schema::kId))
                                   : QStringLiteral("SELECT * FROM %1 ORDER BY %2")
                                         .arg(c.dialect().quote(schema::kCatalogueTable), c.catalogueOrder())));
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i) {
                if (q.record().fieldName(i) == QLatin1String(schema::kServerCatalogueOrderColumn)) continue;
                const QVariant v = q.value(i);
                values << (v.isNull() ? QStringLiteral("<null>")
                           : v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                 : v.toString());
            }
            rows << values.join(QLatin1Char('|'));
        }
    }
    return rows;
}

qint64 nextId(const QString& address) {
    TDM dm;
    EXPECT_TRUE(dm.Maincon.open(address));
    EXPECT_TRUE(dm.TVascor.open());
    EXPECT_TRUE(dm.TVascor.insert());
    EXPECT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
    return dm.TVascor.id();
}

class StoreCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZARTAV_REQUIRE_STORE(server, test::Engine::PostgreSQL, false);
    }
    std::unique_ptr<test::TestStore> server;
    QTemporaryDir dir;
};

}  // namespace

TEST_F(StoreCopyTest, FileToServerAndBackGivesTheSameRecordsColumnByColumn) {
    const QString original = dir.filePath("Data.db");
    const QString back = dir.filePath("back/Data.db");
    fillStore(original, 120);
    const QStringList before = dump(original);
    ASSERT_EQ(before.size(), 120 - 11 + 3);

    const CliRun up = copyStore({original, server->address()});
    ASSERT_EQ(up.status, 0) << up.err.toStdString();
    EXPECT_TRUE(up.out.startsWith(QStringLiteral("copied 109 records (109 photos) and 3 catalogue rows"))) << up.out.toStdString();
    const CliRun down = copyStore({server->address(), back});
    ASSERT_EQ(down.status, 0) << down.err.toStdString();
    EXPECT_EQ(up.out.section(QStringLiteral("checksum "), 1), down.out.section(QStringLiteral("checksum "), 1));
    EXPECT_EQ(dump(server->address()), before);
    EXPECT_EQ(dump(back), before);
    // The office's records and photos in a file: its owner's alone, as a backup.
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(back).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // Neither copy hands out a number the original had given, deleted records included.
    EXPECT_EQ(nextId(server->address()), 121);
    EXPECT_EQ(nextId(back), 121);
}

TEST_F(StoreCopyTest, RefusesWhatWouldLoseRecordsAndLeavesTheTargetAsItWas) {
    const QString source = dir.filePath("source.db");
    const QString target = dir.filePath("target.db");
    fillStore(source, 10);
    fillStore(target, 3);
    const QStringList targetBefore = dump(target);
    {
        Connection c;
        ASSERT_TRUE(c.open(source));
        ASSERT_TRUE(QSqlQuery(c.database()).exec(QStringLiteral("INSERT INTO VaskorTemp ([كد گله]) VALUES ('%1')")
                                                     .arg(QString(51, QChar(u'ب')))));
    }
    struct Case {
        const char* name;
        QStringList args;
        const char* says;
    };
    const QList<Case> cases = {
        {"a target that holds records", {source, target}, "--replace"},
        {"the same store twice", {source, source}, "the same store"},
        {"no such source", {dir.filePath("none.db"), dir.filePath("new.db")}, "no database file"},
        {"a value the server cannot hold", {source, server->address()}, "cannot be written to the target"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = copyStore(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
        EXPECT_EQ(dump(target), targetBefore);
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("new.db")));
    EXPECT_EQ(server->scalar("SELECT COUNT(*) FROM \"VaskorTemp\"").toInt(), 0);

    const CliRun replaced = copyStore({source, target, QStringLiteral("--replace")});
    ASSERT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_EQ(dump(target), dump(source));
}

// The keys a server trusts are the office's: a file's public keys and register enter it only when
// the owner of its tables asks, and the copy names every key it adds; a desk's role, which may
// not, is told why by the server.
TEST_F(StoreCopyTest, AFilesKeysAndRegisterEnterAServerOnlyWhenItsOwnerAsks) {
    const QString file = dir.filePath("Data.db");
    fillStore(file, 5);
    {
        Connection c;
        ASSERT_TRUE(c.open(file));
        for (const char* sql : {"INSERT INTO CertificateKeys (fingerprint, publicKey, made) VALUES ('f1e2d3c4', 'AAAA', '2026-12-01')",
                                "INSERT INTO CertificateIssues (record, hash, content, issued, issuedBy, desk, keyFingerprint) "
                                "VALUES (1, 'ab', 'c', '2026-12-01T10:00:00Z', 'clerk', 'desk', 'f1e2d3c4')"}) {
            QSqlQuery q(c.database());
            ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << q.lastError().text().toStdString();
        }
        // Sealed as the program seals the issues it writes.
        QSqlDatabase db = c.database();
        ASSERT_TRUE(certificates::sealRegister(db));
    }
    const QString desk = QStringLiteral("zartav_copy_desk");
    ASSERT_TRUE(test::serverAdminExec({QStringLiteral("DO $$ BEGIN CREATE ROLE %1 LOGIN; EXCEPTION WHEN duplicate_object OR "
                                                      "unique_violation THEN NULL; END $$")
                                           .arg(desk)})
                    .isEmpty());
    {
        Connection owner;
        ASSERT_TRUE(owner.open(server->address()));
    }
    ASSERT_TRUE(server->exec(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(server->schemaName(), desk)));
    ASSERT_TRUE(server->exec(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON \"VaskorTemp\", \"DosSperm\" TO %1").arg(desk)));
    // A restore onto the server first keeps what it replaces among the daily copies.
    const test::PinnedVariable dataHome("XDG_DATA_HOME", dir.filePath("user").toUtf8());
    const QString copy = QStringLiteral("copy-store"), restore = QStringLiteral("restore"), db = QStringLiteral("--db");
    const struct {
        const char* name;
        QStringList args;
        int status;
        const char* says;  // on standard output when it copied, else on standard error
        int keys;          // the server's keys and issues after it
    } cases[] = {
        {"by a desk's role", {copy, file, server->addressFor(desk)}, 1, "permission denied", 0},
        {"by a desk's role, asking for the register", {copy, file, server->addressFor(desk), "--with-register"}, 1,
         "only the owner", 0},
        {"without asking", {copy, file, server->address()}, 0, "stayed behind", 0},
        {"a restore without asking", {restore, db, server->address(), file}, 0, "stayed behind", 0},
        {"asked by the owner", {copy, file, server->address(), "--replace", "--with-register"}, 0,
         "added the public key f1e2d3c4", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = test::runCli(c.args);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE((c.status == 0 ? r.out : r.err).contains(QString::fromUtf8(c.says))) << r.out.toStdString() << r.err.toStdString();
        EXPECT_EQ(server->scalar("SELECT COUNT(*) FROM \"CertificateKeys\"").toInt(), c.keys);
        EXPECT_EQ(server->scalar("SELECT COUNT(*) FROM \"CertificateIssues\"").toInt(), c.keys);
    }
}

// The legacy import keeps the file's "ID"s and numbers the rest on either engine; the next
// new record is numbered past them all.
TEST_F(StoreCopyTest, TheLegacyImportNumbersRecordsOnEitherEngine) {
    for (const QString& address : {dir.filePath("Data.db"), server->address()}) {
        SCOPED_TRACE(address.toStdString());
        Connection c;
        ASSERT_TRUE(c.open(address));
        const auto row = [](const QVariant& id, const char* registration) {
            return legacy::Row{{QStringLiteral("ID"), id}, {QStringLiteral("شماره ثبت"), QString::fromUtf8(registration)}};
        };
        legacy::MemoryRowSource records({QStringLiteral("ID"), QStringLiteral("شماره ثبت")},
                                        {row(40, "a"), row(40, "again"), row(QVariant(), "none"), row(7, "b")});
        QSqlDatabase db = c.database();
        const legacy::ImportReport r = legacy::importRows(db, &records, nullptr);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_EQ(r.recordsGivenNewIds, 2);
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1")
                               .arg(c.dialect().quote(schema::kId), c.dialect().quote(schema::kRecordTable))));
        QList<qint64> ids;
        while (q.next()) ids << q.value(0).toLongLong();
        ASSERT_EQ(ids.size(), 4);
        EXPECT_TRUE(ids.contains(40) && ids.contains(7));
        c.close();
        EXPECT_GT(nextId(address), ids.last());
    }
}
