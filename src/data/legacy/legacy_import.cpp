#include "data/legacy/legacy_import.h"

#include "data/legacy/legacy_mdb.h"
#include "data/legacy/legacy_names.h"
#include "data/legacy/legacy_photo.h"
#include "data/history/record_history.h"
#include "data/schema/record_schema.h"
#include "data/records/record_text.h"
#include "data/schema/store_numbering.h"
#include "data/schema/store_schema.h"
#include "util/bidi_text.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>


namespace zartav::legacy {

namespace {

QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

template <size_t N>
QStringList names(const std::array<const char*, N>& columns) {
    QStringList out;
    for (const char* c : columns) out << QString::fromUtf8(c);
    return out;
}

QString insertStatement(const QString& table, const QStringList& columns) {
    QStringList quotedNames, marks;
    for (const QString& c : columns) {
        quotedNames << quoted(c);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoted(table), quotedNames.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

// Where each source column goes: the index of our column, or -1.
struct ColumnMap {
    QHash<QString, int> byFoldedName;  // folded source name → our column index
};

ColumnMap mapColumns(const QString& table, const QStringList& source, const QStringList& ours,
                     QList<Skip>* skipped) {
    ColumnMap map;
    QHash<QString, int> ourIndex;
    for (int i = 0; i < ours.size(); ++i) ourIndex.insert(foldLatin(ours.at(i)), i);
    QSet<int> taken;
    for (const QString& name : source) {
        const QString folded = foldLatin(name);
        const auto it = ourIndex.constFind(folded);
        if (it == ourIndex.cend()) {
            skipped->append({Skip::Kind::UnknownColumn, table, name});
        } else if (taken.contains(*it) || map.byFoldedName.contains(folded)) {
            skipped->append({Skip::Kind::DuplicateColumn, table, name});
        } else {
            taken.insert(*it);
            map.byFoldedName.insert(folded, *it);
        }
    }
    for (int i = 0; i < ours.size(); ++i) {
        if (!taken.contains(i)) skipped->append({Skip::Kind::MissingColumn, table, ours.at(i)});
    }
    return map;
}

// Why the import stops at a value: which row and column, in Farsi.
QString valueRefusal(const QString& row, const QString& column, const QString& why) {
    return QStringLiteral("%1، ستون «%2»: %3").arg(row, column, why);
}

bool isEmptyValue(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return true;
    if (v.typeId() == QMetaType::QByteArray) return v.toByteArray().isEmpty();
    return v.toString().isEmpty();
}

class Importer {
public:
    Importer(QSqlDatabase& db, const ImportProgress& progress, qint64 total)
        : db_(db), progress_(progress), total_(total) {}

    bool records(RowSource* source, ImportReport* report) {
        const QString table = QString::fromUtf8(schema::kRecordTable);
        const QStringList ours = names(schema::kRecordColumns);
        const int idColumn = int(ours.indexOf(QString::fromUtf8(schema::kId)));
        QSet<int> photoColumns;
        for (const char* p : schema::kPhotoColumns) photoColumns.insert(int(ours.indexOf(QString::fromUtf8(p))));

        QSqlQuery count(db_);
        if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoted(table))) ||
            !count.next())
            return fail(report, QStringLiteral("table %1 of the target cannot be read: %2")
                                    .arg(table, count.lastError().text()));
        const bool keepIds = count.value(0).toLongLong() == 0;
        report->idsRenumbered = !keepIds;
        count.finish();

        const ColumnMap map = mapColumns(table, source->columns(), ours, &report->skipped);
        // A record keeping its "ID" names it; one given a new number leaves the column to the store.
        QStringList withoutId = ours;
        withoutId.removeAt(idColumn);
        QSqlQuery keeping(db_), numbering(db_);
        if (!keeping.prepare(insertStatement(table, ours) + QStringLiteral(" RETURNING ") + quoted(ours.at(idColumn))) ||
            !numbering.prepare(insertStatement(table, withoutId) + QStringLiteral(" RETURNING ") + quoted(ours.at(idColumn))))
            return fail(report, QStringLiteral("table %1 of the target cannot be written: %2")
                                    .arg(table, keeping.lastError().text() + numbering.lastError().text()));

        QSet<qint64> usedIds;
        const bool copied = copyRows(source, report, [&](const Row& row, qint64 number) {
            QList<QVariant> values(ours.size());
            for (const Field& field : row) {
                const auto it = map.byFoldedName.constFind(foldLatin(field.name));
                if (it != map.byFoldedName.cend()) values[*it] = field.value;
            }
            bool idOk = false;
            const qint64 sourceId = values[idColumn].toString().trimmed().toLongLong(&idOk);
            const qint64 knownId = idOk && sourceId > 0 ? sourceId : 0;

            for (int i = 0; i < values.size(); ++i) {
                QVariant& v = values[i];
                if (i == idColumn) continue;
                if (isEmptyValue(v)) {
                    v = QVariant(QMetaType::fromType<QString>());
                } else if (photoColumns.contains(i)) {
                    const QByteArray bitmap = extractBitmap(
                        v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray());
                    if (bitmap.isEmpty()) {
                        report->skipped.append({Skip::Kind::NotABitmap, table, ours.at(i), knownId});
                        v = QVariant(QMetaType::fromType<QByteArray>());
                    } else {
                        v = bitmap;
                        ++report->photos;
                    }
                } else if (v.typeId() == QMetaType::QByteArray) {
                    report->skipped.append({Skip::Kind::NotText, table, ours.at(i), knownId});
                    v = QVariant(QMetaType::fromType<QString>());
                } else if (const QString why = record_text::refusal(i, v.toString()); !why.isEmpty()) {
                    return fail(report, valueRefusal(QStringLiteral("ركورد %1 فايل").arg(number), ours.at(i), why));
                } else {
                    v = record_text::stored(i, v.toString());
                }
            }

            const bool keep = keepIds && knownId && !usedIds.contains(knownId);
            if (keep) {
                values[idColumn] = knownId;
            } else {
                if (keepIds) ++report->recordsGivenNewIds;
                values.removeAt(idColumn);
            }
            QSqlQuery& insert = keep ? keeping : numbering;
            for (int i = 0; i < values.size(); ++i) insert.bindValue(i, values.at(i));
            if (!insert.exec() || !insert.next())
                return fail(report, QStringLiteral("record %1 of the file cannot be saved: %2")
                                        .arg(number)
                                        .arg(insert.lastError().text()));
            usedIds.insert(insert.value(0).toLongLong());
            insert.finish();
            ++report->records;
            return true;
        });
        if (!copied) return false;
        QString error;
        if (!raiseRecordIds(db_, 0, &error))
            return fail(report, QStringLiteral("table %1 of the target cannot number new records: %2").arg(table, error));
        return true;
    }

    bool catalogue(RowSource* source, ImportReport* report) {
        const QString table = QString::fromUtf8(schema::kCatalogueTable);
        const QStringList ours = names(schema::kCatalogueColumns);
        const ColumnMap map = mapColumns(table, source->columns(), ours, &report->skipped);
        QSqlQuery insert(db_);
        if (!insert.prepare(insertStatement(table, ours)))
            return fail(report, QStringLiteral("table %1 of the target cannot be written: %2")
                                    .arg(table, insert.lastError().text()));
        return copyRows(source, report, [&](const Row& row, qint64 number) {
            QList<QVariant> values(ours.size(), QVariant(QMetaType::fromType<QString>()));
            for (const Field& field : row) {
                const auto it = map.byFoldedName.constFind(foldLatin(field.name));
                if (it == map.byFoldedName.cend() || isEmptyValue(field.value)) continue;
                if (field.value.typeId() == QMetaType::QByteArray)
                    report->skipped.append({Skip::Kind::NotText, table, ours.at(*it)});
                else if (holdsDirectionControl(field.value.toString()))
                    return fail(report, valueRefusal(QStringLiteral("رديف %1 كاتالوگ فايل").arg(number), ours.at(*it), directionControlReason()));
                else
                    values[*it] = field.value.toString();
            }
            for (int i = 0; i < values.size(); ++i) insert.bindValue(i, values.at(i));
            if (!insert.exec())
                return fail(report, QStringLiteral("catalogue row %1 of the file cannot be saved: %2")
                                        .arg(number)
                                        .arg(insert.lastError().text()));
            ++report->catalogueRows;
            return true;
        });
    }

private:
    bool fail(ImportReport* report, const QString& error) {
        report->error = error;
        return false;
    }

    // Hands each of the source's rows to `copy` with its number from 1, counting it done; stops
    // at the source's end, its first fault, a copy that answers false or the user's cancel.
    bool copyRows(RowSource* source, ImportReport* report, const std::function<bool(const Row&, qint64)>& copy) {
        Row row;
        QString error;
        for (qint64 number = 1;; ++number) {
            const RowSource::Fetch fetch = source->next(&row, &error);
            if (fetch == RowSource::Fetch::End) return true;
            if (fetch == RowSource::Fetch::Error) return fail(report, error);
            if (!copy(row, number) || !step(report)) return false;
        }
    }

    bool step(ImportReport* report) {
        ++done_;
        if (progress_ && !progress_(done_, std::max(done_, total_))) {
            report->cancelled = true;
            return fail(report, QStringLiteral("the import was cancelled"));
        }
        return true;
    }

    QSqlDatabase& db_;
    const ImportProgress& progress_;
    qint64 total_;
    qint64 done_ = 0;
};

}  // namespace

ImportReport importRows(QSqlDatabase& db, RowSource* records, RowSource* catalogue,
                        const ImportProgress& progress) {
    ImportReport report;
    if (!db.isOpen()) {
        report.error = QStringLiteral("the target database is not open");
        return report;
    }
    const qint64 total = (records ? records->rowCountHint() : 0) +
                         (catalogue ? catalogue->rowCountHint() : 0);
    if (!db.transaction()) {
        report.error = QStringLiteral("the target database cannot start a transaction: %1")
                           .arg(db.lastError().text());
        return report;
    }
    history::WriteScope scope(db);
    QString why;
    if (!scope.begin(&why)) report.error = QStringLiteral("the target database cannot keep history: %1").arg(why);
    Importer importer(db, progress, total);
    const bool done = report.error.isEmpty() && (!records || importer.records(records, &report)) &&
                      (!catalogue || importer.catalogue(catalogue, &report)) && scope.finish(&report.error);
    if (done && db.commit()) {
        report.ok = true;
        return report;
    }
    if (done) report.error = QStringLiteral("the target database cannot commit: %1")
                                 .arg(db.lastError().text());
    db.rollback();
    // What was counted went nowhere.
    ImportReport failed;
    failed.error = report.error;
    failed.cancelled = report.cancelled;
    return failed;
}

namespace {

QString neitherTable(const QString& mdbPath) {
    return QStringLiteral("%1: holds neither a %2 nor a %3 table: nothing to import")
        .arg(QFileInfo(mdbPath).fileName(), QString::fromUtf8(schema::kRecordTable),
             QString::fromUtf8(schema::kCatalogueTable));
}

}  // namespace

bool checkMdbFile(const QString& mdbPath, QString* error) {
    std::unique_ptr<MdbFile> file = MdbFile::open(mdbPath, error);
    if (!file) return false;
    if (file->findTable(QString::fromUtf8(schema::kRecordTable)).isEmpty() &&
        file->findTable(QString::fromUtf8(schema::kCatalogueTable)).isEmpty()) {
        if (error) *error = neitherTable(mdbPath);
        return false;
    }
    return true;
}

ImportReport importMdbFile(const QString& mdbPath, QSqlDatabase& db,
                           const ImportProgress& progress) {
    ImportReport report;
    QString error;
    std::unique_ptr<MdbFile> file = MdbFile::open(mdbPath, &error);
    if (!file) {
        report.error = error;
        return report;
    }
    const QString recordTable = file->findTable(QString::fromUtf8(schema::kRecordTable));
    const QString catalogueTable = file->findTable(QString::fromUtf8(schema::kCatalogueTable));
    if (recordTable.isEmpty() && catalogueTable.isEmpty()) {
        report.error = neitherTable(mdbPath);
        return report;
    }
    std::unique_ptr<RowSource> records, catalogue;
    if (!recordTable.isEmpty() && !(records = file->rows(recordTable, &error))) {
        report.error = error;
        return report;
    }
    if (!catalogueTable.isEmpty() && !(catalogue = file->rows(catalogueTable, &error))) {
        report.error = error;
        return report;
    }
    report = importRows(db, records.get(), catalogue.get(), progress);
    if (!report.ok) return report;

    QList<Skip> notes;
    if (recordTable.isEmpty())
        notes.append({Skip::Kind::MissingTable, QString::fromUtf8(schema::kRecordTable), {}});
    if (catalogueTable.isEmpty())
        notes.append({Skip::Kind::MissingTable, QString::fromUtf8(schema::kCatalogueTable), {}});
    for (const QString& table : file->tableNames()) {
        if (table != recordTable && table != catalogueTable)
            notes.append({Skip::Kind::OtherTable, table, {}});
    }
    report.skipped = notes + report.skipped;
    return report;
}

QStringList ImportReport::lines() const {
    QStringList out;
    if (!ok) {
        out << QStringLiteral("nothing imported: %1").arg(error);
        return out;
    }
    out << QStringLiteral("imported %1 records, %2 photos, %3 catalogue rows")
               .arg(records)
               .arg(photos)
               .arg(catalogueRows);
    if (idsRenumbered && records > 0)
        out << QStringLiteral("the target already held records: every imported record got a new ID");
    if (recordsGivenNewIds > 0)
        out << QStringLiteral("%1 records got a new ID (theirs was missing, not a positive whole "
                              "number, or used by an earlier record)")
                   .arg(recordsGivenNewIds);
    for (const Skip& s : skipped) {
        const QString who = s.recordId ? QStringLiteral("record ID %1").arg(s.recordId)
                                       : QStringLiteral("a record without ID");
        switch (s.kind) {
        case Skip::Kind::OtherTable:
            out << QStringLiteral("skipped table %1: not part of the records or the catalogue").arg(s.table);
            break;
        case Skip::Kind::MissingTable:
            out << QStringLiteral("no table %1 in the file: nothing imported into it").arg(s.table);
            break;
        case Skip::Kind::UnknownColumn:
            out << QStringLiteral("skipped column %1.%2: no such column in our table").arg(s.table, s.column);
            break;
        case Skip::Kind::DuplicateColumn:
            out << QStringLiteral("skipped column %1.%2: another column of the file has the same name")
                       .arg(s.table, s.column);
            break;
        case Skip::Kind::MissingColumn:
            out << QStringLiteral("column %1.%2 is not in the file: left empty").arg(s.table, s.column);
            break;
        case Skip::Kind::NotABitmap:
            out << QStringLiteral("%1: photo %2 holds no complete bitmap: left empty").arg(who, s.column);
            break;
        case Skip::Kind::NotText:
            out << QStringLiteral("%1 of %2: column %3 holds binary data, not text: left empty")
                       .arg(s.table == QString::fromUtf8(schema::kCatalogueTable)
                                ? QStringLiteral("a catalogue row")
                                : who,
                            s.table, s.column);
            break;
        }
    }
    return out;
}

QString farsiRefusal(const QString& mdbPath, const ImportReport& report) {
    const QString file = mdbPath.isEmpty() ? QString() : QLatin1Char(' ') + isolatedPath(mdbPath);
    const QString what = report.cancelled ? QStringLiteral("انتقال اطلاعات فايل قديمي%1 لغو شد.").arg(file)
                                          : QStringLiteral("اطلاعات فايل قديمي%1 منتقل نشد.").arg(file);
    const QString next = QStringLiteral("برنامه با فايل اطلاعات خالي كار را شروع مي كند؛ فايل قديمي دست نخورده مي ماند.");
    // A cancel is the user's own doing: there are no engine words to add.
    return withEngineWords(what + QLatin1Char('\n') + next, report.cancelled ? QString() : report.error);
}

QString farsiSummary(const ImportReport& report, int detailLines) {
    if (!report.ok) return farsiRefusal(QString(), report);
    QStringList lines;
    lines << QStringLiteral("اطلاعات فايل قديمي منتقل شد: %1 ركورد، %2 عكس و %3 رديف كاتالوگ اسپرم.")
                 .arg(report.records)
                 .arg(report.photos)
                 .arg(report.catalogueRows);
    if (report.idsRenumbered && report.records > 0)
        lines << QStringLiteral("جدول مقصد خالي نبود؛ همه ركوردهاي منتقل شده شماره (ID) تازه گرفتند.");
    if (report.recordsGivenNewIds > 0)
        lines << QStringLiteral("%1 ركورد شماره (ID) نداشت يا شماره آن تكراري بود و شماره تازه گرفت.")
                     .arg(report.recordsGivenNewIds);
    int badPhotos = 0, notText = 0;
    QStringList details;
    for (const Skip& s : report.skipped) {
        switch (s.kind) {
        case Skip::Kind::NotABitmap: ++badPhotos; break;
        case Skip::Kind::NotText: ++notText; break;
        case Skip::Kind::OtherTable: details << QStringLiteral("جدول %1 منتقل نشد.").arg(s.table); break;
        case Skip::Kind::MissingTable: details << QStringLiteral("جدول %1 در فايل نبود.").arg(s.table); break;
        case Skip::Kind::UnknownColumn:
        case Skip::Kind::DuplicateColumn:
            details << QStringLiteral("ستون «%1» از جدول %2 منتقل نشد.").arg(s.column, s.table);
            break;
        case Skip::Kind::MissingColumn:
            details << QStringLiteral("ستون «%1» از جدول %2 در فايل نبود و خالي ماند.").arg(s.column, s.table);
            break;
        }
    }
    if (badPhotos > 0)
        lines << QStringLiteral("%1 عكس، تصوير بيت مپ سالم نداشت و خالي ماند.").arg(badPhotos);
    if (notText > 0)
        lines << QStringLiteral("%1 مقدار، متن نبود و خالي ماند.").arg(notText);
    if (details.size() > detailLines) {
        const qsizetype more = details.size() - detailLines;
        details = details.mid(0, detailLines);
        details << QStringLiteral("و %1 مورد ديگر.").arg(more);
    }
    return (lines + details).join(QLatin1Char('\n'));
}

}  // namespace zartav::legacy
