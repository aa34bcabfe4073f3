#include "data/toolkit/sql_error.h"
#include "data/toolkit/sql_statements.h"
#include "data/toolkit/sql_toolkit.h"
#include "message_recorder.h"
#include "sql_test_database.h"
#include "util/cp1256.h"

#include <QDir>
#include <QFile>
#include <QSqlTableModel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zartav::test {
namespace {

const QString kProgrammingError = QStringLiteral("اشكال در برنامه نويسي");
const QString kCountFailed = QStringLiteral("اشكال در اجرا دستور . با برنامه نويس تماس بگيريد.- شمارش - ");

QByteArray traceLine(const QString& statement) { return encodeCp1256(statement) + "\r\n"; }

TEST(SqlStatements, CountingRewriteKeepsTheCallersSpacing) {
    struct Case { const char* in; const char* out; };
    for (const Case c : {
             Case{"SELECT * FROM T WHERE A=1", "Select Count( * ) As Res  FROM T WHERE A=1"},
             Case{"select * from T where A=1", "Select Count( * ) As Res  from T where A=1"},
             // FROM is found inside a longer word: the caller's statement breaks, as it must
             Case{"SELECT DateFrom FROM T", "Select Count( Date) As Res  From FROM T"},
             Case{"SELECT 1", "Select Count() As Res   1"},
         }) {
        EXPECT_EQ(sql::countingStatement(QString::fromUtf8(c.in)).toStdString(), c.out);
    }
    EXPECT_EQ(sql::removeLeadingSpaces(QStringLiteral("   select x ")), QStringLiteral("select x "));
    EXPECT_EQ(sql::removeLeadingSpaces(QStringLiteral("\t select")), QStringLiteral("\t select"));
    EXPECT_EQ(sql::existenceStatement(QLatin1Char('V')),
              QStringLiteral("Select Count( * ) As Res  FROM sysobjects WHERE (name = ?) And XType='V'"));
}

TEST(SqlStatements, SumHasNoWhereForABlankCondition) {
    EXPECT_EQ(sql::sumStatement(QStringLiteral("Qty * Price"), QStringLiteral("Sales"), QStringLiteral("Herd=2")),
              QStringLiteral("Select Sum(Qty * Price)As Answer From Sales Where Herd=2"));
    for (const QString& blank : {QString(), QStringLiteral("   "), QString(70, QLatin1Char(' '))})
        EXPECT_EQ(sql::sumStatement(QStringLiteral("Qty"), QStringLiteral("Sales"), blank),
                  QStringLiteral("Select Sum(Qty)As Answer From Sales"));
}

TEST(SqlToolkitLists, StartWithFiftyEntriesAndSetStringListMakesFiftyOne) {
    SqlToolkit toolkit;
    EXPECT_EQ(toolkit.ReturnParameters, QStringList(50, QString()));
    QStringList list{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    toolkit.SetStringList(list);
    EXPECT_EQ(list, QStringList(51, QString()));
}

TEST(SqlToolkitUnconfigured, FailsLikeAFailingStatement) {
    MessageRecorder recorder;
    QTemporaryDir traces;
    SqlToolkit toolkit;
    toolkit.setSqlTraceFolder(traces.path());
    int quits = 0;
    toolkit.setQuitRequestHandler([&] { ++quits; });
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("UPDATE herd SET B = 1")), -100);
    EXPECT_FALSE(toolkit.DoSqlAndReturnParameters(QStringLiteral("SELECT 1")));
    EXPECT_EQ(toolkit.ReturnParameterCount, 0);
    EXPECT_FALSE(toolkit.IsTableExist(QStringLiteral("herd")));
    EXPECT_EQ(recorder.texts(), QStringList{kCountFailed});
    EXPECT_EQ(quits, 1);
    EXPECT_THROW(toolkit.SumOfField(QStringLiteral("herd"), QStringLiteral("A"), QString()), DatabaseError);
}

class SqlToolkitTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(traces.isValid());
        ASSERT_TRUE(db->exec(QStringLiteral(
            "CREATE TABLE herd (A INTEGER, B INTEGER, Name VARCHAR(50), DateFrom VARCHAR(10))")));
        for (const char* row : {"(1, 10, 'Rose', '1385/01/01')", "(1, 20, NULL, '1385/02/01')",
                                "(2, 30, 'Lily', '1385/03/01')"})
            ASSERT_TRUE(db->exec(QStringLiteral("INSERT INTO herd VALUES ") + QLatin1String(row)));
        toolkit.ServerConnection = db->connection();
        toolkit.setSqlTraceFolder(traces.path());
        toolkit.setQuitRequestHandler([this] { ++quitRequests; });
    }

    QByteArray trace(const char* name) const {
        QFile file(QDir(traces.path()).filePath(QLatin1String(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }
    bool hasTrace(const char* name) const { return QFile::exists(QDir(traces.path()).filePath(QLatin1String(name))); }
    // A folder where the trace file should be: the file cannot be written, even by root.
    void blockTrace(const char* name) const { ASSERT_TRUE(QDir(traces.path()).mkdir(QLatin1String(name))); }

    MessageRecorder recorder;
    QTemporaryDir traces;
    SqlToolkit toolkit;
    int quitRequests = 0;
};

TEST_P(SqlToolkitTest, ExistenceOfTablesAndViews) {
    ASSERT_TRUE(db->exec(QStringLiteral("CREATE VIEW herd_view AS SELECT A FROM herd")));
    ASSERT_TRUE(db->exec(QStringLiteral("CREATE TABLE \"O'Neil\" (x INTEGER)")));
    ASSERT_TRUE(db->exec(QStringLiteral("CREATE TABLE accounts (x INTEGER)")));
    struct Case { const char* name; bool table; bool view; };
    for (const Case c : {Case{"herd", true, false}, Case{"herd_view", false, true}, Case{"O'Neil", true, false},
                         Case{"O'Neil2", false, false}, Case{"missing", false, false},
                         // a name that mentions "count" is a name, not a counting statement
                         Case{"accounts", true, false},
                         // bound, so it cannot widen the search
                         Case{"x') Or ('1'='1", false, false}}) {
        EXPECT_EQ(toolkit.IsTableExist(QString::fromUtf8(c.name)), c.table) << c.name;
        EXPECT_EQ(toolkit.IsViewExist(QString::fromUtf8(c.name)), c.view) << c.name;
    }
    EXPECT_TRUE(recorder.texts().isEmpty());
    EXPECT_EQ(quitRequests, 0);
}

TEST_P(SqlToolkitTest, SelectIsCountedAfterLeadingBlanks) {
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("   select * from herd where A=1")), 2);
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("SELECT Name FROM herd")), 2);  // NULLs are not counted
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("SELECT * FROM herd WHERE A = 9")), 0);
    EXPECT_TRUE(recorder.texts().isEmpty());
    EXPECT_EQ(quitRequests, 0);
    EXPECT_FALSE(hasTrace("Try Doing ExecSql.Txt"));
}

TEST_P(SqlToolkitTest, FailingCountTellsTheUserAndAsksToQuit) {
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("SELECT DateFrom FROM herd")), 0);
    EXPECT_EQ(recorder.texts(), QStringList{kCountFailed});
    EXPECT_EQ(recorder.boxes().front().caption, QStringLiteral("پيام"));
    EXPECT_EQ(quitRequests, 1);
    EXPECT_EQ(trace("SqlExecuteErrorLog.Txt"), traceLine(QStringLiteral("Select Count( Date) As Res  From FROM herd")));
}

TEST_P(SqlToolkitTest, CountGuardStillReturnsTheCount) {
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("SELECT COUNT(*) AS Res FROM herd")), 3);
    EXPECT_EQ(recorder.texts(), QStringList{kProgrammingError});
    EXPECT_EQ(quitRequests, 1);
    // ... and when the statement then fails, both messages are shown.
    recorder.clear();
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("select count(*) from herd")), 0);
    EXPECT_EQ(recorder.texts(), (QStringList{kProgrammingError, kCountFailed}));
    EXPECT_EQ(quitRequests, 3);
}

TEST_P(SqlToolkitTest, OtherStatementsAnswerZeroOrMinusHundredSilently) {
    const QString update = QStringLiteral("  UPDATE herd SET Name = 'گاو ی' WHERE A = 1");
    EXPECT_EQ(toolkit.ExecSql(update), 0);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM herd WHERE Name = 'گاو ی'")).toInt(), 2);
    EXPECT_EQ(trace("Try Doing ExecSql.Txt"), traceLine(update.mid(2)));
    EXPECT_FALSE(hasTrace("SqlExecuteErrorLog.Txt"));

    const QString failing = QStringLiteral("UPDATE missing SET B = 1");
    EXPECT_EQ(toolkit.ExecSql(failing), -100);
    EXPECT_EQ(trace("Try Doing ExecSql.Txt"), traceLine(failing));  // replaced, not appended
    EXPECT_EQ(trace("SqlExecuteErrorLog.Txt"), traceLine(failing));

    // Nothing but blanks is a statement that fails, not a crash.
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("   ")), -100);
    EXPECT_TRUE(recorder.texts().isEmpty());
    EXPECT_EQ(quitRequests, 0);
}

TEST_P(SqlToolkitTest, UnwritableTraceFileFailsTheStatement) {
    blockTrace("Try Doing ExecSql.Txt");
    EXPECT_EQ(toolkit.ExecSql(QStringLiteral("UPDATE herd SET B = 99")), -100);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM herd WHERE B = 99")).toInt(), 0);
    EXPECT_EQ(trace("SqlExecuteErrorLog.Txt"), traceLine(QStringLiteral("UPDATE herd SET B = 99")));

    blockTrace("Try Do Sql.Txt");
    EXPECT_FALSE(toolkit.DoSqlAndReturnParameters(QStringLiteral("SELECT A FROM herd")));
    EXPECT_EQ(toolkit.ReturnParameters, QStringList{QString()});
    EXPECT_EQ(toolkit.ReturnParameterCount, 0);
    EXPECT_EQ(trace("SqlExecuteErrorLog.Txt"), traceLine(QStringLiteral("SELECT A FROM herd")));
    EXPECT_TRUE(recorder.texts().isEmpty());
}

TEST_P(SqlToolkitTest, FetchKeepsTheFirstRowAsText) {
    const QString statement = QStringLiteral("SELECT A, Name, DateFrom FROM herd WHERE B = 20");
    EXPECT_TRUE(toolkit.DoSqlAndReturnParameters(statement));
    EXPECT_EQ(toolkit.ReturnParameters, (QStringList{QStringLiteral("1"), QString(), QStringLiteral("1385/02/01")}));
    EXPECT_EQ(toolkit.ReturnParameterCount, 3);
    EXPECT_EQ(trace("Try Do Sql.Txt"), traceLine(statement));

    EXPECT_TRUE(toolkit.DoSqlAndReturnParameters(QStringLiteral("SELECT A, B, Name FROM herd WHERE A = -1")));
    EXPECT_EQ(toolkit.ReturnParameters, QStringList(3, QString()));
    EXPECT_EQ(toolkit.ReturnParameterCount, 3);

    const QString failing = QStringLiteral("SELECT nothing FROM missing");
    EXPECT_FALSE(toolkit.DoSqlAndReturnParameters(failing));
    EXPECT_EQ(toolkit.ReturnParameters, QStringList{QString()});
    EXPECT_EQ(toolkit.ReturnParameterCount, 0);
    EXPECT_EQ(trace("SqlExecuteErrorLog.Txt"), traceLine(failing));

    // A statement without a result set has nothing to fetch: reported as a failure.
    EXPECT_FALSE(toolkit.DoSqlAndReturnParameters(QStringLiteral("UPDATE herd SET B = 5 WHERE A = 2")));
    EXPECT_EQ(toolkit.ReturnParameters, QStringList{QString()});
    EXPECT_EQ(toolkit.ReturnParameterCount, 0);
    EXPECT_TRUE(recorder.texts().isEmpty());
}

TEST_P(SqlToolkitTest, SumsOverATable) {
    EXPECT_DOUBLE_EQ(toolkit.SumOfField(QStringLiteral("herd"), QStringLiteral("B"), QStringLiteral("   ")), 60.0);
    EXPECT_DOUBLE_EQ(toolkit.SumOfField(QStringLiteral("herd"), QStringLiteral("B"), QStringLiteral("A = 1")), 30.0);
    EXPECT_DOUBLE_EQ(toolkit.SumAndMulti(QStringLiteral("herd"), QStringLiteral("A"), QStringLiteral("B"), QString()),
                     90.0);
    EXPECT_DOUBLE_EQ(toolkit.SumAndMulti(QStringLiteral("herd"), QStringLiteral("A"), QStringLiteral("B"),
                                         QStringLiteral("A = 2")),
                     60.0);
    // No matching rows: the sum is NULL, read as 0.
    EXPECT_DOUBLE_EQ(toolkit.SumOfField(QStringLiteral("herd"), QStringLiteral("B"), QStringLiteral("A = 7")), 0.0);
    // A table object counts by its table name.
    QSqlTableModel table(nullptr, db->connection());
    table.setTable(QStringLiteral("herd"));
    EXPECT_DOUBLE_EQ(toolkit.SumOfField(table, QStringLiteral("B"), QStringLiteral("A = 2")), 30.0);
    EXPECT_DOUBLE_EQ(toolkit.SumAndMulti(table, QStringLiteral("A"), QStringLiteral("B"), QStringLiteral(" ")), 90.0);
    ASSERT_TRUE(db->exec(QStringLiteral("DELETE FROM herd")));
    EXPECT_DOUBLE_EQ(toolkit.SumOfField(QStringLiteral("herd"), QStringLiteral("B"), QStringLiteral("  ")), 0.0);
    EXPECT_THROW(toolkit.SumOfField(QStringLiteral("missing"), QStringLiteral("B"), QString()), DatabaseError);
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlToolkitTest, testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
}  // namespace zartav::test
