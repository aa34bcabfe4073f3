#include "data/records/record_save.h"

#include "data/history/record_history.h"
#include "data/schema/record_schema.h"
#include "data/engine/statement_batch.h"

#include <QSqlError>
#include <QSqlQuery>

namespace zartav {
namespace {

using schema::kRecordColumns;

constexpr int kColumns = int(kRecordColumns.size());

QVariant typed(int column, const QVariant& v) {
    if (!v.isNull()) return v;
    return QVariant(QMetaType(schema::isPhotoColumn(column) ? QMetaType::QByteArray : QMetaType::QString));
}

std::optional<bool> isStored(const QSqlDatabase& db, qint64 id, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(d.quote(schema::kRecordTable), d.quote(schema::kId)));
    query.addBindValue(id);
    if (!query.exec() || !query.next()) {
        if (error) *error = query.lastError().text();
        return std::nullopt;
    }
    return query.value(0).toLongLong() > 0;
}

// A lock another session holds was waited for as long as a save may wait (the session's
// lock_timeout): to the desk that is the store out of reach for now, and what was typed stays.
bool heldUp(const QSqlError& error) { return error.nativeErrorCode() == QLatin1String("55P03"); }

// The server refused this login the statement (a grant, a guard, row-level security).
bool notAllowed(const QSqlError& error) { return error.nativeErrorCode() == QLatin1String("42501"); }

// The server's own message, without the severity before it or the lines after it.
QString serverMessage(const QSqlError& error) {
    const QString first = error.databaseText().section(QLatin1Char('\n'), 0, 0);
    const qsizetype colon = first.indexOf(QLatin1String(":  "));
    return (colon < 0 ? first : first.mid(colon + 3)).trimmed();
}

SaveFailure failureOf(const QSqlError& error) {
    return heldUp(error) ? SaveFailure::Unreachable : notAllowed(error) ? SaveFailure::NotAllowed : SaveFailure::Refused;
}

QString wordsOf(const QSqlError& error) { return notAllowed(error) ? serverMessage(error) : error.text(); }

// A statement of the transaction's own; its error, empty when it ran.
QString exec(const QSqlDatabase& db, const char* statement) {
    QSqlQuery query(db);
    return query.exec(QString::fromLatin1(statement)) ? QString() : query.lastError().text();
}

// The commit, with the list's read after it sent alongside: one round trip where reads travel
// together. False when the commit failed; the view is read only after a commit that held.
bool commitAndRead(const QSqlDatabase& db, const reads::ViewRequest& request, std::optional<reads::View>* view,
                   QString* error) {
    StatementBatch batch(db);
    QSqlQuery commit(db);
    commit.exec(QStringLiteral("COMMIT"));
    const bool pipelined = StatementBatch::pipelines(db);
    if (!pipelined && commit.lastError().isValid()) {
        *error = commit.lastError().text();
        return false;
    }
    *view = reads::readView(db, request);
    if (commit.lastError().isValid()) {
        *error = commit.lastError().text();
        view->reset();
        return false;
    }
    return true;
}

// One transaction. `commitSent` tells whether the outcome could be unknown; `newId` is the
// record's "ID", known before the commit.
bool runSave(StoreLink& link, const EditBuffer& buffer, SaveMode mode, const reads::ViewRequest& request,
             SaveOutcome& outcome, bool* commitSent) {
    QSqlDatabase db = link.database();
    const SqlDialect& d = link.dialect();
    const QString table = d.quote(schema::kRecordTable);
    const QString idColumn = d.quote(schema::kId);
    const bool inserting = buffer.state == RecordState::Insert;
    QList<int> columns;
    for (int i = 0; i < kColumns; ++i) {
        if (i != schema::kIdColumnIndex && (buffer.modified[i] || (inserting && !buffer.values[i].isNull()))) columns << i;
    }
    auto fail = [&](const QString& reason, SaveFailure failure = SaveFailure::Refused) {
        exec(db, "ROLLBACK");
        outcome.error = reason;
        outcome.failure = failure;
        return false;
    };

    QSqlQuery query(db);
    history::WriteScope scope(db, buffer.reason);
    QString why;
    {
        // The transaction's start and who writes go out with the record itself.
        StatementBatch batch(db);
        if (const QString refused = exec(db, "BEGIN"); !refused.isEmpty()) return fail(refused);
        if (!scope.begin(&why)) return fail(why);
        if (inserting) {
            QStringList names, marks;
            for (int i : columns) {
                names << d.quote(kRecordColumns[i]);
                marks << QStringLiteral("?");
            }
            query.prepare((columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                             : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                   .arg(table, names.join(", "), marks.join(", "))) +
                          QStringLiteral(" RETURNING ") + idColumn);
            for (int i : columns) query.addBindValue(typed(i, buffer.values[i]));
        } else {
            // Only when the record is still as this edit found it, unless the user chose to keep
            // their version. The server keeps a row version; the file is compared column by
            // column, photos included, which costs less than the save's own write of the row.
            QString condition = idColumn + QStringLiteral(" = ?");
            QVariantList conditionValues{buffer.id};
            // With nothing typed there is nothing to lose: the record need only still be there.
            if (mode == SaveMode::CheckVersion && !columns.isEmpty()) {
                if (d.isServer()) {
                    condition += QStringLiteral(" AND xmin::text = ?");
                    conditionValues << buffer.version;
                } else {
                    for (int i = 0; i < kColumns; ++i) {
                        if (i == schema::kIdColumnIndex) continue;
                        condition += QStringLiteral(" AND %1 IS ?").arg(d.quote(kRecordColumns[i]));
                        conditionValues << typed(i, buffer.original.value(i));
                    }
                }
            }
            if (columns.isEmpty()) {
                query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(table, condition));
            } else {
                QStringList sets;
                for (int i : columns) sets << d.quote(kRecordColumns[i]) + QStringLiteral(" = ?");
                query.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(table, sets.join(", "), condition));
                for (int i : columns) query.addBindValue(typed(i, buffer.values[i]));
            }
            for (const QVariant& v : conditionValues) query.addBindValue(v);
        }
        query.exec();
    }
    if (!query.isActive() || query.lastError().isValid())
        return fail(wordsOf(query.lastError()), failureOf(query.lastError()));
    if (inserting) {
        if (!query.next()) return fail(QStringLiteral("the store gave the new record no number"));
        outcome.id = query.value(0).toLongLong();
    } else {
        const qint64 matched = columns.isEmpty() ? (query.next() ? query.value(0).toLongLong() : 0) : query.numRowsAffected();
        if (matched != 1) {
            query.finish();
            return isStored(db, buffer.id, nullptr).value_or(false)
                       ? fail(QStringLiteral("the record was changed elsewhere meanwhile"), SaveFailure::ChangedElsewhere)
                       : fail(QStringLiteral("the record was deleted meanwhile"), SaveFailure::Deleted);
        }
        outcome.id = buffer.id;
    }
    query.finish();
    if (!scope.finish(&why)) return fail(why);
    *commitSent = true;
    reads::ViewRequest after = request;
    after.keepId = outcome.id;
    if (!commitAndRead(db, after, &outcome.view, &why)) return fail(why);
    return true;
}

}  // namespace

void EditBuffer::beginInsert() {
    clear();
    state = RecordState::Insert;
    values = QVector<QVariant>(kColumns);
    modified = QVector<bool>(kColumns, false);
}

void EditBuffer::beginEdit(qint64 recordId, const reads::StoredRecord& stored) {
    clear();
    state = RecordState::Edit;
    id = recordId;
    original = stored.values;
    version = stored.version;
    values = original;
    modified = QVector<bool>(kColumns, false);
}

SaveOutcome saveRecord(StoreLink& link, EditBuffer buffer, SaveMode mode, const reads::ViewRequest& view) {
    SaveOutcome outcome;
    auto unreachable = [&](const QString& why) {
        outcome.failure = SaveFailure::Unreachable;
        outcome.error = why;
        outcome.buffer = buffer;
        return outcome;
    };
    // A link lost earlier (the last save found the server out of reach) is made again first.
    if (!linkReady(link)) return unreachable(link.technicalError());
    // OK pressed again after a commit whose answer was lost: a new record the store holds
    // already is not added a second time; what was typed since is saved onto it.
    const EditBuffer typed = buffer;
    bool continued = false;
    if (buffer.state == RecordState::Insert && buffer.unconfirmedId > 0) {
        QString why;
        const std::optional<bool> stored = isStored(link.database(), buffer.unconfirmedId, &why);
        if (!stored) {
            if (link.isLost()) return unreachable(why);
            outcome.failure = SaveFailure::Refused;
            outcome.error = why;
            outcome.buffer = buffer;
            return outcome;
        }
        if (*stored) {
            continued = true;
            buffer.state = RecordState::Edit;
            buffer.id = buffer.unconfirmedId;
            buffer.original = buffer.unconfirmedValues;
            for (int i = 0; i < buffer.modified.size(); ++i) buffer.modified[i] = buffer.values[i] != buffer.original[i];
            // Written by this desk a moment ago, it has no version of another's to check.
            mode = SaveMode::Overwrite;
        } else {
            buffer.unconfirmedId = 0;
            buffer.unconfirmedValues.clear();
        }
    }

    bool commitSent = false;
    outcome.saved = runSave(link, buffer, mode, view, outcome, &commitSent);
    // A link lost before the commit was sent wrote nothing: the save is tried once more on a new
    // one. After the commit was sent the outcome is unknown, so it is reported, never repeated.
    if (!outcome.saved && outcome.failure == SaveFailure::Refused && !commitSent && link.isLost() && link.reconnect()) {
        outcome = SaveOutcome();
        outcome.saved = runSave(link, buffer, mode, view, outcome, &commitSent);
    }
    if (outcome.saved) {
        outcome.buffer = buffer;
        return outcome;
    }
    // Still the new record the user is typing; the next OK looks for it again.
    outcome.buffer = continued ? typed : buffer;
    if (!continued && buffer.state == RecordState::Insert && commitSent && outcome.id > 0 && link.isLost()) {
        outcome.buffer.unconfirmedId = outcome.id;
        outcome.buffer.unconfirmedValues = buffer.values;
    }
    if (outcome.failure == SaveFailure::Refused && link.isLost()) outcome.failure = SaveFailure::Unreachable;
    return outcome;
}

DeleteOutcome deleteRecord(StoreLink& link, qint64 id, const reads::ViewRequest& view) {
    DeleteOutcome outcome;
    outcome.deleted = withLink(link, [&] {
        QSqlDatabase db = link.database();
        auto fail = [&](const QString& reason, SaveFailure failure = SaveFailure::Refused) {
            exec(db, "ROLLBACK");
            outcome.error = reason;
            outcome.failure = failure;
            return false;
        };
        QSqlQuery query(db);
        history::WriteScope scope(db);
        QString why;
        {
            StatementBatch batch(db);
            if (const QString refused = exec(db, "BEGIN"); !refused.isEmpty()) return fail(refused);
            if (!scope.begin(&why)) return fail(why);
            query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(link.dialect().quote(schema::kRecordTable),
                                                                            link.dialect().quote(schema::kId)));
            query.addBindValue(id);
            query.exec();
        }
        if (!query.isActive() || query.lastError().isValid())
            return fail(wordsOf(query.lastError()), failureOf(query.lastError()));
        const bool none = query.numRowsAffected() == 0;
        query.finish();
        if (none && isStored(db, id, nullptr).value_or(false)) return fail(QString(), SaveFailure::NotAllowed);
        if (!scope.finish(&why)) return fail(why);
        // The next record takes the deleted one's place.
        reads::ViewRequest after = view;
        after.keepId = 0;
        if (!commitAndRead(db, after, &outcome.view, &why)) return fail(why);
        return true;
    });
    return outcome;
}

}  // namespace zartav
