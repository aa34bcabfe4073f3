#include "data/engine/pg_result.h"

#include "data/engine/pg_statement_text.h"

#include <QSqlField>

#include <utility>

namespace zartav::pg {

Result::Result(const QSqlDriver* driver, Runner* runner) : QSqlResult(driver), runner_(runner) {}

Result::~Result() { drop(); }

void Result::drop() {
    if (Runner* d = drv()) d->forget(this);
    PQclear(res_);
    res_ = nullptr;
    queued_ = streamed_ = more_ = false;
    setAt(QSql::BeforeFirstRow);
    setActive(false);
    setSelect(false);
}

bool Result::reset(const QString& sql) {
    drop();
    Runner* d = drv();
    if (!d) return false;
    const int statements = statementCount(sql);
    Statement statement;
    statement.text = sql.toUtf8();
    statement.single = statements <= 1;
    statement.opener = statements == 1 && opensTransaction(sql);
    return d->run(this, std::move(statement));
}

bool Result::prepare(const QString& sql) {
    drop();
    prepared_ = numbered(sql);
    return drv() != nullptr;
}

bool Result::exec() {
    drop();
    Runner* d = drv();
    if (!d) return false;
    Statement statement;
    statement.text = prepared_;
    statement.extended = true;
    for (const QVariant& v : boundValues()) statement.params.push_back(paramOf(v));
    return d->run(this, std::move(statement));
}

void Result::answer(PGresult* res) {
    queued_ = false;
    PQclear(res_);
    res_ = res;
    streamed_ = more_ = PQresultStatus(res) == PGRES_SINGLE_TUPLE;
    setSelect(PQresultStatus(res) != PGRES_COMMAND_OK);
    setActive(true);
}

void Result::refuse(const QSqlError& error) {
    queued_ = false;
    setSelect(false);
    setActive(false);
    setLastError(error);
}

void Result::cutOff() {
    more_ = false;
    setLastError(QSqlError(QStringLiteral("rows dropped"),
                           QStringLiteral("the rest of the rows were dropped: another statement ran on the connection first"),
                           QSqlError::StatementError));
}

bool Result::settled() {
    if (queued_) {
        if (Runner* d = drv()) d->flush();
        if (queued_) refuse(QSqlError(QStringLiteral("not sent"), QStringLiteral("the connection is gone"), QSqlError::ConnectionError));
    }
    return isActive();
}

void Result::detachFromResultSet() { drop(); }

bool Result::fetch(int i) {
    if (!settled() || !isSelect() || i < 0) return false;
    if (at() == i) return true;
    if (streamed_) {
        while (at() < i)
            if (at() == QSql::AfterLastRow || !fetchNext()) return false;
        return at() == i;
    }
    if (i >= PQntuples(res_)) return false;
    setAt(i);
    return true;
}

bool Result::fetchFirst() {
    if (!settled() || !isSelect()) return false;
    if (!streamed_) return fetch(0);
    if (at() == 0) return true;
    if (at() != QSql::BeforeFirstRow || PQntuples(res_) != 1) return false;
    setAt(0);
    return true;
}

bool Result::fetchNext() {
    if (!settled() || !isSelect()) return false;
    if (at() == QSql::BeforeFirstRow) return fetchFirst();
    if (!streamed_) return fetch(at() + 1);
    if (!more_) return false;
    Runner* d = drv();
    PGresult* row = d ? d->nextRow(this) : nullptr;
    if (!row) {
        more_ = false;
        return false;
    }
    if (PQresultStatus(row) == PGRES_SINGLE_TUPLE) {
        PQclear(res_);
        res_ = row;
        setAt(at() + 1);
        return true;
    }
    more_ = false;
    if (PQresultStatus(row) == PGRES_TUPLES_OK) {
        // The end of the rows: the columns and the count stay readable.
        PQclear(res_);
        res_ = row;
    } else {
        setLastError(d->errorOf(row));
        PQclear(row);
    }
    return false;
}

bool Result::fetchLast() {
    if (!settled() || !isSelect()) return false;
    if (!streamed_) return fetch(PQntuples(res_) - 1);
    while (fetchNext()) {
    }
    return false;
}

QVariant Result::data(int field) {
    if (!res_ || field < 0 || field >= PQnfields(res_) || row() < 0 || row() >= PQntuples(res_)) return {};
    const Oid oid = PQftype(res_, field);
    const QMetaType type = typeOf(oid);
    if (PQgetisnull(res_, row(), field)) return QVariant(type, nullptr);
    return valueOf(oid, PQgetvalue(res_, row(), field), PQgetlength(res_, row(), field), numericalPrecisionPolicy());
}

bool Result::isNull(int field) {
    return !res_ || field < 0 || field >= PQnfields(res_) || row() < 0 || row() >= PQntuples(res_) ||
           PQgetisnull(res_, row(), field);
}

int Result::size() {
    if (!settled() || !isSelect() || streamed_) return -1;
    return PQntuples(res_);
}

int Result::numRowsAffected() {
    if (!settled() || more_) return -1;
    return QByteArray(PQcmdTuples(res_)).toInt();
}

QSqlRecord Result::record() const {
    QSqlRecord columns;
    if (!const_cast<Result*>(this)->settled() || !isSelect()) return columns;
    for (int i = 0; i < PQnfields(res_); ++i)
        columns.append(QSqlField(QString::fromUtf8(PQfname(res_, i)), typeOf(PQftype(res_, i))));
    return columns;
}

}  // namespace zartav::pg
