#pragma once

// Correction requests as the desks use them (the table and its guards: data/schema/
// correction_schema.h): a clerk asks, a registrar sees the open ones and decides, and the clerk's
// desk is told. One statement each; on the server only.

#include "data/history/record_history.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVector>
#include <QVariant>
#include <optional>

namespace zartav::corrections {

struct Request {
    qint64 number = 0;
    qint64 recordId = 0;
    QString registration;  // the record's "شماره ثبت" as it stands; empty when it is gone
    QString calfName;      // its "نام گوساله"
    QString requester;
    QDateTime at;  // UTC
    QString reason;
    QList<history::Change> changes;
    QString state;  // as stored: open, approved, refused
    QString decider;
    QDateTime decidedAt;
    QString answer;
};

// What a request carries of an edit: each text column whose value differs between `before` and
// `after` (every column of the record, in its order), empty text read as no value.
QList<history::Change> changedColumns(const QVector<QVariant>& before, const QVector<QVariant>& after);

// Asks for `changes` to record `recordId`, for `reason`: the request's number.
std::optional<qint64> ask(const QSqlDatabase& db, qint64 recordId, const QList<history::Change>& changes,
                          const QString& reason, QString* error = nullptr);

// The open requests, oldest first, each with its record's registration number and calf's name.
std::optional<QList<Request>> openRequests(const QSqlDatabase& db, QString* error = nullptr);

// Approves request `number` (applied to its record as this user's edit) or refuses it with
// `answer`. False with the server's own words (Farsi for the refusals it makes) in `error`.
bool decide(const QSqlDatabase& db, qint64 number, bool approve, const QString& answer, QString* error = nullptr);

// This user's requests decided since the desk last looked, oldest first, marked seen as they are
// read.
std::optional<QList<Request>> takeDecided(const QSqlDatabase& db, QString* error = nullptr);

// What the clerk's desk says of a decided request.
QString decisionText(const Request& request);
// What the entry form says once a change has been sent as a request.
QString sentText(qint64 number);

// The first line of what the server said, without its severity: a refusal's own words.
QString serverWords(const QString& databaseText);

}  // namespace zartav::corrections
