#include "data/toolkit/sql_toolkit.h"

#include "data/toolkit/sql_error.h"
#include "data/toolkit/sql_statements.h"
#include "data/toolkit/sql_trace.h"
#include "util/dialogs.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace zartav {
namespace {

const QString kProgrammingError = QStringLiteral("اشكال در برنامه نويسي");
const QString kCountFailed = QStringLiteral("اشكال در اجرا دستور . با برنامه نويس تماس بگيريد.- شمارش - ");

bool ensureOpen(QSqlDatabase& db) { return db.isValid() && (db.isOpen() || db.open()); }

}  // namespace

SqlToolkit::SqlToolkit() : ReturnParameters(50, QString()) {}

QString SqlToolkit::sqlTraceFolder() const {
    return traceFolder_.isEmpty() ? sql::defaultTraceFolder() : traceFolder_;
}

bool SqlToolkit::trace(sql::TraceFile file, const QString& statement) const {
    return sql::writeTrace(sqlTraceFolder(), file, statement);
}

void SqlToolkit::requestQuit() {
    if (quitRequest_) {
        quitRequest_();
        return;
    }
    // Queued: the program ends when control is back in its event loop, not in the middle of
    // the caller's work.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

bool SqlToolkit::IsTableExist(const QString& name) {
    // The name is bound, never pasted into the text, and the count is run directly: a name that
    // happens to contain "count" must not trip the guard of ExecSql.
    return runCount(sql::existenceStatement(QLatin1Char('U')), {name}) > 0;
}

bool SqlToolkit::IsViewExist(const QString& name) {
    return runCount(sql::existenceStatement(QLatin1Char('V')), {name}) > 0;
}

int SqlToolkit::ExecSql(const QString& statementText) {
    QString statement = sql::removeLeadingSpaces(statementText);
    if (sql::beginsWithSelect(statement)) {
        if (sql::mentionsCount(statement)) {
            // A SELECT that already counts is a caller's mistake; it still runs as written.
            showMessage(kProgrammingError);
            requestQuit();
        } else {
            statement = sql::countingStatement(statement);
        }
        return runCount(statement, {});
    }

    // Whatever else it is, it runs as given; the trace comes first so that a trace that cannot be
    // written stops the statement.
    bool ok = trace(sql::TraceFile::ExecSql, statement);
    if (ok) {
        ok = ensureOpen(ServerConnection);
        if (ok) {
            QSqlQuery query(ServerConnection);
            ok = query.exec(statement);
        }
    }
    if (!ok) {
        trace(sql::TraceFile::ErrorLog, statement);
        return -100;
    }
    return 0;
}

int SqlToolkit::runCount(const QString& statement, const QVariantList& bindings) {
    bool ok = ensureOpen(ServerConnection);
    int count = 0;
    if (ok) {
        QSqlQuery query(ServerConnection);
        query.setForwardOnly(true);
        if (bindings.isEmpty()) {
            ok = query.exec(statement);
        } else {
            ok = query.prepare(statement);
            for (const QVariant& value : bindings) query.addBindValue(value);
            ok = ok && query.exec();
        }
        ok = ok && query.next();
        const int column = ok ? query.record().indexOf(QStringLiteral("Res")) : -1;
        ok = ok && column >= 0;
        if (ok) {
            const QVariant value = query.value(column);
            count = value.isNull() ? 0 : value.toInt(&ok);
        }
    }
    if (!ok) {
        trace(sql::TraceFile::ErrorLog, statement);
        showMessage(kCountFailed);
        requestQuit();
        return 0;
    }
    return count;
}

bool SqlToolkit::DoSqlAndReturnParameters(const QString& statement) {
    ReturnParameters.clear();
    bool ok = trace(sql::TraceFile::DoSql, statement) && ensureOpen(ServerConnection);
    if (ok) {
        QSqlQuery query(ServerConnection);
        query.setForwardOnly(true);
        // A statement that gives no result set cannot be fetched from.
        ok = query.exec(statement) && query.isSelect();
        if (ok) {
            const bool hasRow = query.next();
            const int columns = query.record().count();
            for (int i = 0; i < columns; ++i)
                ReturnParameters.append(hasRow ? query.value(i).toString() : QString());
        }
    }
    if (!ok) trace(sql::TraceFile::ErrorLog, statement);
    ReturnParameterCount = int(ReturnParameters.size());
    if (ReturnParameters.isEmpty()) ReturnParameters.append(QString());
    return ok;
}

double SqlToolkit::runSum(const QString& statement) {
    if (!ensureOpen(ServerConnection))
        throw DatabaseError(QStringLiteral("cannot open the server connection"), ServerConnection.lastError());
    QSqlQuery query(ServerConnection);
    query.setForwardOnly(true);
    if (!query.exec(statement)) throw DatabaseError(statement, query.lastError());
    if (!query.next()) throw DatabaseError(statement + QStringLiteral(": no result row"));
    const int column = query.record().indexOf(QStringLiteral("Answer"));
    if (column < 0) throw DatabaseError(statement + QStringLiteral(": no column Answer"));
    const QVariant value = query.value(column);
    if (value.isNull()) return 0.0;
    bool ok = false;
    const double sum = value.toDouble(&ok);
    if (!ok) throw DatabaseError(statement + QStringLiteral(": the sum is not a number"));
    return sum;
}

double SqlToolkit::SumAndMulti(const QString& dataSet, const QString& columnA, const QString& columnB,
                               const QString& condition) {
    return runSum(sql::sumStatement(columnA + QStringLiteral(" * ") + columnB, dataSet, condition));
}

double SqlToolkit::SumAndMulti(const QSqlTableModel& dataSet, const QString& columnA, const QString& columnB,
                               const QString& condition) {
    return SumAndMulti(dataSet.tableName(), columnA, columnB, condition);
}

double SqlToolkit::SumOfField(const QString& dataSet, const QString& column, const QString& condition) {
    return runSum(sql::sumStatement(column, dataSet, condition));
}

double SqlToolkit::SumOfField(const QSqlTableModel& dataSet, const QString& column, const QString& condition) {
    return SumOfField(dataSet.tableName(), column, condition);
}

void SqlToolkit::SetStringList(QStringList& list) const { list = QStringList(51, QString()); }

}  // namespace zartav
