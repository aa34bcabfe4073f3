#include "data/transfer/record_import.h"

#include "data/history/record_history.h"
#include "data/schema/record_schema.h"
#include "data/records/record_text.h"
#include "data/link/connection.h"
#include "data/records/record_table.h"
#include "dates/calendar.h"
#include "dates/date_text.h"
#include "dates/date_validation.h"
#include "util/bidi_text.h"
#include "util/csv_reader.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <array>
#include <utility>

namespace zartav {
namespace {

// The date columns, checked as the entry form checks a typed date and kept in its full form.
constexpr std::array<const char*, 6> kDateColumns = {
    "تاريخ تولد", "تاريخ  تلقيح 1", "تاريخ  تلقيح 2", "تاريخ  تلقيح 3", "تاريخ منجر به باروري", "تاريخ چاپ",
};

// Rows written by one statement: few round trips to a server, far below either engine's limit
// on bound values.
constexpr int kBatchRows = 100;

bool isDateColumn(int column) {
    for (const char* name : kDateColumns)
        if (QString::fromUtf8(schema::kRecordColumns[column]) == QString::fromUtf8(name)) return true;
    return false;
}

RecordImportReport refused(int line, const QString& column, const QString& reason, const QString& engineWords = {}) {
    RecordImportReport report;
    report.line = line;
    report.column = column;
    report.reason = reason;
    report.engineWords = engineWords;
    return report;
}

// One column of the file: where it goes in the record (-1: "ID", read and left to the store).
struct FileColumn {
    int record = -1;
    QString name;
};

class Inserter {
public:
    Inserter(Connection& store, const QList<FileColumn>& columns) : store_(store) {
        for (const FileColumn& c : columns)
            if (c.record >= 0) targets_ << c.record;
    }

    // Queues one record's values (one per target column); writes when a batch is full.
    bool add(QVariantList values) {
        pending_ << std::move(values);
        return pending_.size() < kBatchRows || flush();
    }

    bool flush() {
        if (pending_.isEmpty()) return true;
        QSqlQuery& query = pending_.size() == kBatchRows ? full_ : last_;
        if (&query == &last_ || !fullPrepared_) {
            if (!query.prepare(statement(int(pending_.size())))) return fail(query);
            if (&query == &full_) fullPrepared_ = true;
        }
        int place = 0;
        for (const QVariantList& row : pending_)
            for (const QVariant& v : row) query.bindValue(place++, v);
        if (!query.exec()) return fail(query);
        query.finish();
        added_ += pending_.size();
        pending_.clear();
        return true;
    }

    qint64 added() const { return added_; }
    QString error() const { return error_; }

private:
    QString statement(int rows) const {
        const SqlDialect& d = store_.dialect();
        QStringList names, marks;
        for (int c : targets_) {
            names << d.quote(schema::kRecordColumns[c]);
            marks << QStringLiteral("?");
        }
        const QString row = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
        QStringList rowsText;
        for (int i = 0; i < rows; ++i) rowsText << row;
        return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
            .arg(d.quote(schema::kRecordTable), names.join(QStringLiteral(", ")), rowsText.join(QLatin1Char(',')));
    }
    bool fail(const QSqlQuery& query) {
        error_ = query.lastError().text();
        return false;
    }

    Connection& store_;
    QList<int> targets_;
    QList<QVariantList> pending_;
    QSqlQuery full_{store_.database()};
    QSqlQuery last_{store_.database()};
    bool fullPrepared_ = false;
    qint64 added_ = 0;
    QString error_;
};

QString storeRefusal(const Connection& store) {
    return QStringLiteral("ركوردها در %1 ذخيره نشد").arg(storeNoun(store));
}

// The file's columns from its header row, or why the header is refused.
std::optional<QList<FileColumn>> readHeader(const csv::Row& header, RecordImportReport* refusal) {
    QList<FileColumn> columns;
    QList<bool> named(int(schema::kRecordColumns.size()), false);
    for (const QString& field : header.fields) {
        const QString name = field.trimmed();
        const int index = RecordTable::columnIndex(name);
        if (index < 0) {
            *refusal = refused(header.line, name, QStringLiteral("ركوردها چنين ستوني ندارند"));
            return std::nullopt;
        }
        if (index >= schema::kFirstPhotoColumnIndex) {
            *refusal = refused(header.line, name, QStringLiteral("عكس از فايل CSV خوانده نمي شود"));
            return std::nullopt;
        }
        if (named[index]) {
            *refusal = refused(header.line, name, QStringLiteral("اين ستون دو بار آمده است"));
            return std::nullopt;
        }
        named[index] = true;
        columns.append({index == schema::kIdColumnIndex ? -1 : index, QString::fromUtf8(schema::kRecordColumns[index])});
    }
    return columns;
}

// A row's values for the inserter, or why the row is refused.
// The day of the import, for records the file gives no print date: New stamps its records the
// same way, and a record without one cannot pass the entry form's check when it is edited.
struct Today {
    int year = 0;
    QString text;
};

int printDateColumn() { return RecordTable::columnIndex(QStringLiteral("تاريخ چاپ")); }

std::optional<QVariantList> readRow(const csv::Row& row, const QList<FileColumn>& columns, const Today& today,
                                    RecordImportReport* refusal) {
    const int todayYear = today.year;
    if (row.fields.size() != columns.size()) {
        *refusal = refused(row.line, {},
                           (row.fields.size() > columns.size() ? QStringLiteral("اين سطر %1 فيلد دارد، بيش از %2 ستون سطر اول")
                                                                : QStringLiteral("اين سطر %1 فيلد دارد، كمتر از %2 ستون سطر اول"))
                               .arg(row.fields.size())
                               .arg(columns.size()));
        return std::nullopt;
    }
    QVariantList values;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const FileColumn& column = columns.at(i);
        if (column.record < 0) continue;
        // The list's own export guards cells a spreadsheet would run; what it wrote comes back.
        QString value = record_text::stored(column.record, csv::unguardedCell(row.fields.at(i)));
        if (const QString why = record_text::refusal(column.record, value); !why.isEmpty()) {
            *refusal = refused(row.line, column.name, why);
            return std::nullopt;
        }
        if (isDateColumn(column.record) && !dates::cleanTypedText(value).isEmpty()) {
            const dates::DateCheck check = dates::checkExistingDate(value, todayYear);
            if (!check.ok) {
                *refusal = refused(row.line, column.name,
                                   QString(check.message).replace(QChar(u'\r'), QStringLiteral("؛ ")).simplified());
                return std::nullopt;
            }
            value = dates::completeDate(check, todayYear);
        }
        if (column.record == printDateColumn() && dates::cleanTypedText(value).isEmpty()) value = today.text;
        if (value.size() > schema::kTextColumnSize) {
            *refusal = refused(row.line, column.name,
                               QStringLiteral("%1 حرف دارد؛ اين ستون حداكثر %2 حرف مي گيرد")
                                   .arg(value.size())
                                   .arg(schema::kTextColumnSize));
            return std::nullopt;
        }
        values << (value.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(value));
    }
    return values;
}

bool allEmpty(const QStringList& fields) {
    for (const QString& f : fields)
        if (!f.isEmpty()) return false;
    return true;
}

}  // namespace

QString RecordImportReport::refusal() const {
    QString where;
    if (line > 0) where = QStringLiteral("سطر %1").arg(line);
    if (!column.isEmpty()) where += (where.isEmpty() ? QString() : QStringLiteral("، ")) + QStringLiteral("ستون «%1»").arg(column);
    return where.isEmpty() ? reason : where + QStringLiteral(": ") + reason;
}

RecordImportReport importRecordsCsv(Connection& store, QIODevice& file, const RecordImportProgress& progress) {
    if (store.isReadOnly())
        return refused(0, {}, QStringLiteral("%1 فقط خواندني است؛ ركوردي به آن افزوده نمي شود").arg(storeNoun(store)));
    const csv::EncodingCheck encoding = csv::checkEncoding(file);
    if (!encoding.error.isEmpty()) return refused(0, {}, QStringLiteral("فايل خوانده نشد"), encoding.error);
    if (!encoding.encoding)
        return refused(encoding.badLine, {}, QStringLiteral("متن فايل نه UTF-8 است و نه Windows-1256"));

    csv::DeviceText text(file, *encoding.encoding);
    // The header line decides the delimiter; the piece it came in is read again by the reader.
    QString first = text.next();
    const QChar delimiter = csv::chooseDelimiter(first.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r')),
                                                 [](const QString& name) { return RecordTable::columnIndex(name) >= 0; });
    csv::Reader reader([&] { return first.isEmpty() ? text.next() : std::exchange(first, QString()); }, delimiter);

    csv::Row row;
    auto fault = [&](int lineAfter) {
        return reader.fault() != csv::Fault::None ? refused(reader.faultLine(), {}, csv::faultText(reader.fault()))
                                                  : refused(lineAfter, {}, QStringLiteral("فايل خالي است؛ سطر اول بايد نام ستونها را داشته باشد"));
    };
    if (!reader.next(&row)) return fault(1);
    RecordImportReport refusal;
    const std::optional<QList<FileColumn>> columns = readHeader(row, &refusal);
    if (!columns) return refusal;
    const bool printDateInFile = std::any_of(columns->cbegin(), columns->cend(),
                                             [](const FileColumn& c) { return c.record == printDateColumn(); });
    if (std::none_of(columns->cbegin(), columns->cend(), [](const FileColumn& c) { return c.record >= 0; }))
        return refused(row.line, {}, QStringLiteral("سطر اول جز «ID» ستوني از ركوردها را نام نمي برد"));
    QList<FileColumn> targets = *columns;
    if (!printDateInFile) targets.append({printDateColumn(), QStringLiteral("تاريخ چاپ")});
    Inserter inserter(store, targets);

    const calendar::SolarDate solarToday = calendar::fromGregorian(calendar::todayGregorian());
    const Today today{solarToday.year, dates::formatSolar(solarToday)};
    QSqlDatabase db = store.database();
    if (!db.transaction()) return refused(0, {}, storeRefusal(store), db.lastError().text());
    auto undo = [&](RecordImportReport report) {
        db.rollback();
        return report;
    };
    history::WriteScope scope(db);
    history::BulkInsertScope bulk(db);
    QString why;
    if (!scope.begin(&why) || !bulk.begin(&why)) return undo(refused(0, {}, storeRefusal(store), why));
    int sinceShown = 0;
    while (reader.next(&row)) {
        if (allEmpty(row.fields)) continue;
        std::optional<QVariantList> values = readRow(row, *columns, today, &refusal);
        if (!values) return undo(refusal);
        if (!printDateInFile) values->append(today.text);
        if (!inserter.add(std::move(*values))) return undo(refused(0, {}, storeRefusal(store), inserter.error()));
        if (progress && ++sinceShown == kBatchRows) {
            sinceShown = 0;
            if (!progress(file.pos(), file.size())) {
                RecordImportReport cancelled = refused(0, {}, QStringLiteral("ورود ركوردها لغو شد"));
                cancelled.cancelled = true;
                return undo(cancelled);
            }
        }
    }
    if (reader.fault() != csv::Fault::None) return undo(fault(0));
    if (!inserter.flush()) return undo(refused(0, {}, storeRefusal(store), inserter.error()));
    if (!bulk.finish(&why) || !scope.finish(&why)) return undo(refused(0, {}, storeRefusal(store), why));
    if (!db.commit()) return undo(refused(0, {}, storeRefusal(store), db.lastError().text()));
    RecordImportReport report;
    report.ok = true;
    report.records = inserter.added();
    return report;
}

RecordImportReport importRecordsCsvFile(Connection& store, const QString& path, const RecordImportProgress& progress) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return refused(0, {}, QStringLiteral("فايل باز نشد"), file.errorString());
    return importRecordsCsv(store, file, progress);
}

QString recordImportSummary(const RecordImportReport& report, const QString& path) {
    if (report.ok)
        return QStringLiteral("%1 ركورد از اين فايل اضافه شد:\n%2").arg(report.records).arg(isolatedPath(path));
    return withEngineWords(QStringLiteral("هيچ ركوردي از اين فايل اضافه نشد:\n%1\n%2").arg(isolatedPath(path), report.refusal()),
                           report.engineWords);
}

}  // namespace zartav
