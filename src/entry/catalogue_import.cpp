#include "entry/catalogue_import.h"

#include "data/schema/record_schema.h"
#include "data/engine/sql_dialect.h"
#include "util/bidi_text.h"
#include "util/csv_reader.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <array>

namespace zartav::catalogue {

namespace {

constexpr int kColumnCount = int(schema::kCatalogueColumns.size());

int catalogueColumn(const QString& name) {
    const QString trimmed = name.trimmed();
    for (int i = 0; i < kColumnCount; ++i) {
        if (trimmed.compare(QLatin1String(schema::kCatalogueColumns[i]), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

bool allEmpty(const QStringList& fields) {
    for (const QString& f : fields) {
        if (!f.isEmpty()) return false;
    }
    return true;
}

ImportResult failure(int line, const QString& text) {
    ImportResult r;
    r.errorLine = line;
    r.error = text;
    return r;
}

}  // namespace

ImportResult importCatalogueCsv(QSqlDatabase db, const QByteArray& csv, const ImportProgress& progress) {
    const QString text = csv::decode(csv);
    // The header decides the delimiter: the one that splits it into the most catalogue names.
    csv::Reader reader(text, csv::chooseDelimiter(text.section(QLatin1Char('\n'), 0, 0),
                                                  [](const QString& name) { return catalogueColumn(name) >= 0; }));
    QList<csv::Row> records;
    for (csv::Row row; reader.next(&row);) records << row;
    if (reader.fault() != csv::Fault::None) return failure(reader.faultLine(), csv::faultText(reader.fault()));
    if (records.isEmpty()) return failure(0, QStringLiteral("the file is empty; it needs a header row"));

    // Where each file column goes in the catalogue (-1: not a catalogue column, ignored).
    const csv::Row& header = records.first();
    QList<int> target;
    std::array<bool, kColumnCount> named{};
    for (const QString& name : header.fields) {
        const int column = catalogueColumn(name);
        if (column >= 0) {
            if (named[column])
                return failure(header.line, QStringLiteral("the column %1 is named twice")
                                                .arg(QLatin1String(schema::kCatalogueColumns[column])));
            named[column] = true;
        }
        target << column;
    }
    if (std::none_of(named.begin(), named.end(), [](bool b) { return b; }))
        return failure(header.line, QStringLiteral("the header row names no catalogue column (Name_Sp, RegNo_SPF, ...)"));

    QList<QList<QVariant>> rows;
    for (qsizetype r = 1; r < records.size(); ++r) {
        const csv::Row& record = records.at(r);
        if (allEmpty(record.fields)) continue;
        if (record.fields.size() != header.fields.size())
            return failure(record.line, QStringLiteral("%1 fields where the header has %2")
                                            .arg(record.fields.size())
                                            .arg(header.fields.size()));
        QList<QVariant> values(kColumnCount);
        for (qsizetype f = 0; f < record.fields.size(); ++f) {
            const int column = target.at(f);
            if (column < 0) continue;
            const QString& value = record.fields.at(f);
            if (value.size() > schema::kTextColumnSize)
                return failure(record.line, QStringLiteral("the %1 value is longer than %2 characters")
                                                .arg(QLatin1String(schema::kCatalogueColumns[column]))
                                                .arg(schema::kTextColumnSize));
            // A catalogue value goes onto certificates with the bull picked.
            if (holdsDirectionControl(value))
                return failure(record.line, QStringLiteral("ستون «%1»: %2")
                                                .arg(QLatin1String(schema::kCatalogueColumns[column]), directionControlReason()));
            if (!value.isEmpty()) values[column] = value;
        }
        rows << values;
    }

    if (!db.transaction()) return failure(0, db.lastError().text());
    auto rollback = [&](const QString& why) {
        db.rollback();
        return failure(0, why);
    };
    const SqlDialect& dialect = SqlDialect::of(db);
    const QString table = dialect.quote(schema::kCatalogueTable);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("DELETE FROM ") + table)) return rollback(query.lastError().text());
    QStringList names, places;
    for (const char* name : schema::kCatalogueColumns) {
        names << dialect.quote(name);
        places << QStringLiteral("?");
    }
    if (!query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(", "), places.join(", "))))
        return rollback(query.lastError().text());
    int done = 0;
    for (const QList<QVariant>& values : rows) {
        for (int c = 0; c < kColumnCount; ++c) query.bindValue(c, values.at(c).isValid() ? values.at(c) : QVariant(QMetaType::fromType<QString>()));
        if (!query.exec()) return rollback(query.lastError().text());
        if (progress && ++done % 100 == 0) progress(done, int(rows.size()));
    }
    query.finish();
    if (!db.commit()) return rollback(db.lastError().text());
    ImportResult result;
    result.rows = int(rows.size());
    return result;
}

}  // namespace zartav::catalogue
