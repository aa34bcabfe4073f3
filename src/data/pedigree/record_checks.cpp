#include "data/pedigree/record_checks.h"

#include "data/pedigree/pedigree_links.h"
#include "data/records/record_find.h"
#include "data/schema/record_schema.h"
#include "data/link/connection.h"
#include "data/toolkit/row_columns.h"
#include "dates/date_text.h"
#include "dates/date_validation.h"

#include <QSqlError>
#include <QSet>
#include <QSqlQuery>
#include <limits>

namespace zartav::checks {
namespace {

const char* const kNumber = "شماره ثبت";
const char* const kMetalTag = "گوش ف";
const char* const kPlasticTag = "گوش پ";
const char* const kBirth = "تاريخ تولد";
const char* const kConception = "تاريخ منجر به باروري";
const char* const kSireForeign = "ثبت خارجي";
const char* const kSireDomestic = "ثبت داخلي";
const char* const kDamNumber = "ثبت مادر تني";
const char* const kSex = "جنس گوساله";

// The facts a check reads of a record, in the statement's order (its placeholders are numbered
// as they appear), each with what it fills.
constexpr rows::Columns<Facts, 14> kFactColumns = {{
    {"id", [](Facts& f, const QVariant& v) { f.id = v.toLongLong(); }},
    {"number", [](Facts& f, const QVariant& v) { f.number = v.toString(); }},
    {"birth", [](Facts& f, const QVariant& v) { f.birth = v.toString(); }},
    {"conception", [](Facts& f, const QVariant& v) { f.conception = v.toString(); }},
    {"sire_foreign", [](Facts& f, const QVariant& v) { f.sireForeign = v.toString(); }},
    {"sire_domestic", [](Facts& f, const QVariant& v) { f.sireDomestic = v.toString(); }},
    {"dam", [](Facts& f, const QVariant& v) { f.damId = v.toLongLong(); }},
    {"same_number", [](Facts& f, const QVariant& v) { f.sameNumber = v.toLongLong(); }},
    {"same_metal_tag", [](Facts& f, const QVariant& v) { f.sameMetalTag = v.toLongLong(); }},
    {"same_plastic_tag", [](Facts& f, const QVariant& v) { f.samePlasticTag = v.toLongLong(); }},
    {"sire_foreign_known", [](Facts& f, const QVariant& v) { f.sireForeignKnown = v.toInt() != 0; }},
    {"sire_domestic_known", [](Facts& f, const QVariant& v) { f.sireDomesticKnown = v.toInt() != 0; }},
    {"dam_sex", [](Facts& f, const QVariant& v) { f.damSex = v.toString(); }},
    {"dam_birth", [](Facts& f, const QVariant& v) { f.damBirth = v.toString(); }},
}};
constexpr int kInnerFacts = 12;  // the rest are the dam's, from the join

using FactReader = rows::Reader<Facts, kFactColumns.size()>;

// One statement for both uses: over every record (each value read from the row `c`), or over one
// record being typed (each value bound). Its inner part gathers the record's own values and the
// "ID"s of the records that share its numbers; the outer part adds the dam's sex and birth.
class Statement {
public:
    Statement(const StoreLink& connection, std::function<QString(const char*)> typed)
        : d_(connection.dialect()), typed_(std::move(typed)) {}

    // The statement for the record being typed, or for a chunk of `chunk` records (`where` adds
    // to the chunk's condition).
    QString build(const QString& where = {}, int chunk = 0) {
        // Evaluated in this order, so that the placeholders are numbered as they appear.
        QStringList parts;
        parts << id() << plain(kNumber) << plain(kBirth) << plain(kConception) << plain(kSireForeign) << plain(kSireDomestic);
        parts << other(kNumber, kDamNumber);
        parts << other(kNumber, kNumber) << other(kMetalTag, kMetalTag) << other(kPlasticTag, kPlasticTag);
        // Over the whole store the bulls' numbers are held in memory instead (forEachRecord).
        if (typed_) parts << inCatalogue(kSireForeign) << inCatalogue(kSireDomestic);
        else parts << QStringLiteral("0") << QStringLiteral("0");
        for (int i = 0; i < kInnerFacts; ++i) parts[i] += QStringLiteral(" AS ") + d_.quote(kFactColumns[i].name);
        const QString inner = parts.join(QStringLiteral(", "));
        const QString dam = QStringLiteral("m.%1 AS %2, m.%3 AS %4")
                                .arg(d_.quote(kSex), d_.quote(kFactColumns[kInnerFacts].name), d_.quote(kBirth),
                                     d_.quote(kFactColumns[kInnerFacts + 1].name));
        if (typed_)
            return QStringLiteral("SELECT t.*, %1 FROM (SELECT %2) t LEFT JOIN %3 m ON m.%4 = t.dam")
                .arg(dam, inner, d_.quote(schema::kRecordTable), d_.quote(schema::kId));
        // One chunk of the store, the records after :after in "ID" order: the engine holds a chunk,
        // never the whole store, and a distant server answers thousands of rows a round trip. The
        // file keeps the chunk's order through the join; the server is told.
        const QString id = QStringLiteral("c.") + d_.quote(schema::kId);
        return QStringLiteral("SELECT t.*, %1 FROM (SELECT %2 FROM %3 c WHERE %4 > :after%5 ORDER BY %4 LIMIT %6) t "
                              "LEFT JOIN %7 m ON m.%8 = t.dam")
                   .arg(dam, inner, records(), id, where, QString::number(chunk), d_.quote(schema::kRecordTable),
                        d_.quote(schema::kId)) +
               (d_.isServer() ? QStringLiteral(" ORDER BY t.id") : QString());
    }

    void bindAll(QSqlQuery& query) const {
        for (const auto& [name, value] : binds_) query.bindValue(name, value);
    }

    QVariant typedId_;

private:
    QString bind(const QVariant& value) {
        const QString name = QStringLiteral(":v%1").arg(binds_.size());
        binds_.append({name, value});
        return name;
    }
    QString id() { return typed_ ? bind(typedId_) : QStringLiteral("c.") + d_.quote(schema::kId); }
    // The records the walk reads, their own numbers without invisible characters (which an older
    // store may hold): one engine folds them in before it compares, the flattened query still
    // reads the table and its indexes.
    QString records() const {
        QStringList columns;
        for (const char* c : {schema::kId, kBirth, kConception, kSireForeign, kSireDomestic, "كد گله"})
            columns << d_.quote(c);
        for (const char* c : {kNumber, kDamNumber, kMetalTag, kPlasticTag})
            columns << QStringLiteral("%1 AS %2").arg(pedigree::withoutInvisibles(d_, d_.quote(c)), d_.quote(c));
        return QStringLiteral("(SELECT %1 FROM %2)").arg(columns.join(QStringLiteral(", ")), d_.quote(schema::kRecordTable));
    }
    QString plain(const char* column) {
        return typed_ ? bind(typed_(column)) : QStringLiteral("c.") + d_.quote(column);
    }
    // The folded number, or NULL for an empty one, which matches nothing.
    QString folded(const char* column) {
        if (typed_) {
            const QString f = pedigree::fold(typed_(column));
            return bind(f.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(f));
        }
        return QStringLiteral("NULLIF(%1, '')")
            .arg(pedigree::foldedColumn(d_, column).replace(d_.quote(column), QStringLiteral("c.") + d_.quote(column)));
    }
    // The lowest "ID" of another record whose `column` carries this record's `own` number.
    QString other(const char* column, const char* own) {
        const QString number = folded(own);
        return QStringLiteral("(SELECT min(o.%1) FROM %2 o WHERE %3 = %4 AND o.%1 <> %5)")
            .arg(d_.quote(schema::kId), d_.quote(schema::kRecordTable),
                 pedigree::foldedColumn(d_, column).replace(d_.quote(column), QStringLiteral("o.") + d_.quote(column)),
                 number, id());
    }
    // Whether some bull carries the number, in either of its columns. Kept shallow: SQLite's
    // parser takes only so many nested terms, and each folded column is twenty-odd deep.
    QString inCatalogue(const char* column) {
        QStringList either;
        for (const char* bullColumn : {"RegNo_SPF", "RegNo_Sp"})
            either << QStringLiteral("EXISTS (SELECT 1 FROM %1 b WHERE %2 = %3)")
                          .arg(d_.quote(schema::kCatalogueTable), pedigree::foldedColumn(d_, bullColumn), folded(column));
        return QLatin1Char('(') + either.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }

    const SqlDialect& d_;
    std::function<QString(const char*)> typed_;
    QList<std::pair<QString, QVariant>> binds_;
};

bool failed(QString* error, const QSqlQuery& query) {
    if (error) *error = query.lastError().text();
    return false;
}

// A stored date as the calendar reads it; nothing for a text that names no day. The program
// stores dates as YYYY/MM/DD, which is read here directly: the general reading, for whatever
// else a file holds, costs more than the rest of a record's checks.
std::optional<calendar::SolarDate> dateOf(const QString& text, int todayYear) {
    if (text.size() == 10 && text[4] == u'/' && text[7] == u'/') {
        int value[3] = {0, 0, 0};
        bool digits = true;
        for (int i = 0; i < 10 && digits; ++i) {
            if (i == 4 || i == 7) continue;
            const char16_t c = text[i].unicode();
            digits = c >= u'0' && c <= u'9';
            int& part = value[i < 4 ? 0 : i < 7 ? 1 : 2];
            part = part * 10 + (c - u'0');
        }
        if (digits) {
            const auto [year, month, day] = value;
            if (month < 1 || month > 12 || day < 1 || day > calendar::monthLength(year, month)) return std::nullopt;
            return calendar::SolarDate{year, month, day};
        }
    }
    const dates::DateCheck check = dates::checkExistingDate(text, todayYear);
    if (!check.ok) return std::nullopt;
    const QStringList parts = dates::completeDate(check, todayYear).split(QLatin1Char('/'));
    if (parts.size() != 3) return std::nullopt;
    return calendar::SolarDate{parts[0].toInt(), parts[1].toInt(), parts[2].toInt()};
}

calendar::SolarDate monthsLater(calendar::SolarDate date, int months) {
    const int m = date.month - 1 + months;
    calendar::SolarDate later{date.year + m / 12, m % 12 + 1, date.day};
    later.day = std::min(later.day, calendar::monthLength(later.year, later.month));
    return later;
}

bool isFemale(const QString& sex) {
    return sex == QStringLiteral("ماده") || sex == QStringLiteral("فري مارتين ماده");
}

QString idText(qint64 id) { return QString::number(id); }

// Every number a bull of the catalogue carries, folded: a few tens of thousands, whatever the
// count of records.
std::optional<QSet<QString>> bullNumbers(const StoreLink& connection, QString* error) {
    const SqlDialect& d = connection.dialect();
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1, %2 FROM %3").arg(d.quote("RegNo_SPF"), d.quote("RegNo_Sp"), d.quote(schema::kCatalogueTable)))) {
        failed(error, query);
        return std::nullopt;
    }
    QSet<QString> all;
    while (query.next())
        for (int i = 0; i < 2; ++i)
            if (const QString f = pedigree::fold(query.value(i).toString()); !f.isEmpty()) all.insert(f);
    return all;
}

}  // namespace

QList<Finding> findingsOf(const Facts& f, calendar::SolarDate today) {
    QList<Finding> all;
    const std::optional<calendar::SolarDate> birth = dateOf(f.birth, today.year);
    if (birth && *birth > today)
        all.append({Check::BirthAfterToday, QStringLiteral("تاريخ تولد بعد از امروز"),
                    QStringLiteral("تاريخ تولد %1 است و امروز %2").arg(dates::formatSolar(*birth), dates::formatSolar(today))});
    if (f.damId > 0) {
        const QString sex = f.damSex.trimmed();
        if (!sex.isEmpty() && !isFemale(sex))
            all.append({Check::DamNotFemale, QStringLiteral("مادر ماده نيست"),
                        QStringLiteral("جنس ركورد مادر (ID %1) «%2» است").arg(idText(f.damId), sex)});
        const std::optional<calendar::SolarDate> damBirth = dateOf(f.damBirth, today.year);
        if (birth && damBirth && *birth < monthsLater(*damBirth, kYoungestDamMonths))
            all.append({Check::DamTooYoung, QStringLiteral("مادر كمتر از %1 ماه").arg(kYoungestDamMonths),
                        QStringLiteral("مادر (ID %1) در %2 به دنيا آمده و در تولد گوساله (%3) كمتر از %4 ماه داشته است")
                            .arg(idText(f.damId), dates::formatSolar(*damBirth), dates::formatSolar(*birth))
                            .arg(kYoungestDamMonths)});
    }
    const std::optional<calendar::SolarDate> conception = dateOf(f.conception, today.year);
    if (birth && conception) {
        const qint64 days = calendar::toDayNumber(*birth) - calendar::toDayNumber(*conception);
        if (days < kShortestGestation || days > kLongestGestation)
            all.append({Check::Gestation, QStringLiteral("طول آبستني"),
                        QStringLiteral("از تاريخ منجر به باروري تا تاريخ تولد %1 روز است، نه %2 تا %3 روز")
                            .arg(days)
                            .arg(kShortestGestation)
                            .arg(kLongestGestation)});
    }
    const std::pair<qint64, std::pair<Check, const char*>> shared[] = {
        {f.sameNumber, {Check::SameNumber, "شماره ثبت"}},
        {f.sameMetalTag, {Check::SameMetalTag, "گوش فلزي"}},
        {f.samePlasticTag, {Check::SamePlasticTag, "گوش پلاستيكي"}},
    };
    for (const auto& [other, what] : shared)
        if (other > 0)
            all.append({what.first, QStringLiteral("%1 تكراري").arg(QString::fromUtf8(what.second)),
                        QStringLiteral("ركورد ID %1 همين %2 را دارد").arg(idText(other), QString::fromUtf8(what.second))});
    for (const auto& [number, known] : {std::pair{f.sireForeign, f.sireForeignKnown}, std::pair{f.sireDomestic, f.sireDomesticKnown}})
        if (!known && !pedigree::fold(number).isEmpty())
            all.append({Check::UnknownSire, QStringLiteral("پدر در كاتالوگ نيست"),
                        QStringLiteral("هيچ گاو كاتالوگ شماره «%1» را ندارد").arg(number.trimmed())});
    return all;
}

std::optional<Facts> factsOf(const StoreLink& connection, qint64 id, const std::function<QString(const char*)>& value,
                             QString* error) {
    Statement statement(connection, value);
    statement.typedId_ = id;
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.prepare(statement.build())) {
        failed(error, query);
        return std::nullopt;
    }
    statement.bindAll(query);
    if (!query.exec() || !query.next()) {
        failed(error, query);
        return std::nullopt;
    }
    Facts f = FactReader(kFactColumns).read(query);
    f.id = id;
    return f;
}

bool forEachRecord(const StoreLink& connection, const std::optional<QString>& herd,
                   const std::function<bool(const Facts&)>& visit, QString* error, int chunk) {
    const SqlDialect& d = connection.dialect();
    Statement statement(connection, {});
    const QString where = herd ? QStringLiteral(" AND %1 = :herd")
                                     .arg(find::foldedColumn(d, "كد گله").replace(d.quote("كد گله"), QStringLiteral("c.") + d.quote("كد گله")))
                               : QString();
    // Read before the records: a server connection answers one statement at a time.
    const std::optional<QSet<QString>> bulls = bullNumbers(connection, error);
    if (!bulls) return false;
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    chunk = std::max(chunk, 1);
    if (!query.prepare(statement.build(where, chunk))) return failed(error, query);
    // From the lowest "ID" there can be: a hand-made file may hold 0 or below.
    FactReader facts(kFactColumns);
    for (qint64 after = std::numeric_limits<qint64>::min();;) {
        query.bindValue(QStringLiteral(":after"), after);
        if (herd) query.bindValue(QStringLiteral(":herd"), find::fold(*herd));
        if (!query.exec()) return failed(error, query);
        int rows = 0;
        while (query.next()) {
            ++rows;
            Facts f = facts.read(query);
            after = f.id;
            f.sireForeignKnown = bulls->contains(pedigree::fold(f.sireForeign));
            f.sireDomesticKnown = bulls->contains(pedigree::fold(f.sireDomestic));
            if (!visit(f)) {
                query.finish();
                return true;
            }
        }
        if (query.lastError().isValid()) return failed(error, query);
        query.finish();
        if (rows < chunk) return true;
    }
}

QString confirmationText(const QList<Finding>& findings) {
    QStringList lines{QStringLiteral("پيش از ثبت اين شناسنامه به اين موارد توجه كنيد:")};
    for (const Finding& f : findings) lines << QStringLiteral("• %1: %2").arg(f.title, f.details);
    lines << QString() << QStringLiteral("با اين حال ذخيره شود؟");
    return lines.join(QLatin1Char('\n'));
}

}  // namespace zartav::checks
