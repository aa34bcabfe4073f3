#include "entry/catalogue_import.h"

#include "data/record_schema.h"
#include "data/sql_dialect.h"
#include "util/cp1256.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
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

// The header decides the delimiter: the one that splits it into the most catalogue names.
QChar guessDelimiter(const QString& text) {
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    QChar best = QLatin1Char(',');
    int bestCount = 0;
    for (QChar candidate : {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')}) {
        int count = 0;
        for (QString name : firstLine.split(candidate)) {
            name = name.trimmed();
            if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
                name = name.mid(1, name.size() - 2);
            if (catalogueColumn(name) >= 0) ++count;
        }
        if (count > bestCount) {
            best = candidate;
            bestCount = count;
        }
    }
    return best;
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

QString decodeCsvBytes(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) return decodeCp1256(bytes);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text;
}

CsvParse parseCsv(const QString& text, QChar delimiter) {
    CsvParse out;
    const QChar quote = QLatin1Char('"');
    int line = 1;
    int recordLine = 1;
    QStringList fields;
    QString field;
    bool inQuotes = false;
    bool afterQuote = false;  // just past a closing quote: only a delimiter or line end may follow
    bool fieldQuoted = false;

    auto endRecord = [&] {
        if (!fields.isEmpty() || !field.isEmpty() || fieldQuoted) {
            fields << field;
            if (!allEmpty(fields) || fields.size() > 1) out.records.append({recordLine, fields});
        }
        fields.clear();
        field.clear();
        afterQuote = fieldQuoted = false;
    };
    auto fail = [&](int at, const QString& why) {
        out.records.clear();
        out.errorLine = at;
        out.error = why;
        return out;
    };

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == quote) {
                if (i + 1 < n && text.at(i + 1) == quote) {
                    field += quote;
                    ++i;
                } else {
                    inQuotes = false;
                    afterQuote = true;
                }
            } else {
                if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && !(i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))))
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == delimiter) {
            fields << field;
            field.clear();
            afterQuote = fieldQuoted = false;
            continue;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
            endRecord();
            recordLine = ++line;
            continue;
        }
        if (afterQuote) return fail(line, QStringLiteral("text after the closing quote of a field"));
        if (c == quote) {
            if (!field.isEmpty()) return fail(line, QStringLiteral("a quote inside an unquoted field"));
            inQuotes = fieldQuoted = true;
            continue;
        }
        field += c;
    }
    if (inQuotes) return fail(recordLine, QStringLiteral("a quoted field is never closed"));
    endRecord();
    return out;
}

ImportResult importCatalogueCsv(QSqlDatabase db, const QByteArray& csv) {
    const QString text = decodeCsvBytes(csv);
    const CsvParse parsed = parseCsv(text, guessDelimiter(text));
    if (!parsed.error.isEmpty()) return failure(parsed.errorLine, parsed.error);
    if (parsed.records.isEmpty()) return failure(0, QStringLiteral("the file is empty; it needs a header row"));

    // Where each file column goes in the catalogue (-1: not a catalogue column, ignored).
    const CsvRecord& header = parsed.records.first();
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
    for (qsizetype r = 1; r < parsed.records.size(); ++r) {
        const CsvRecord& record = parsed.records.at(r);
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
    for (const QList<QVariant>& values : rows) {
        for (int c = 0; c < kColumnCount; ++c) query.bindValue(c, values.at(c).isValid() ? values.at(c) : QVariant(QMetaType::fromType<QString>()));
        if (!query.exec()) return rollback(query.lastError().text());
    }
    query.finish();
    if (!db.commit()) return rollback(db.lastError().text());
    ImportResult result;
    result.rows = int(rows.size());
    return result;
}

}  // namespace zartav::catalogue
