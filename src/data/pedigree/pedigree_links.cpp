#include "data/pedigree/pedigree_links.h"

#include "data/schema/record_schema.h"
#include "data/records/record_text.h"
#include "data/link/connection.h"
#include "util/digits.h"

#include <QSqlError>
#include <QSqlQuery>

namespace zartav::pedigree {
namespace {

const char* const kRecordNumber = "شماره ثبت";

// The bull's own numbers, and those of its parents and grandparents as its columns name them.
enum BullColumn {
    kName = 0, kForeign = 2, kDomestic = 3, kSireName = 4, kSireForeign = 5, kSireDomestic = 6, kDamNumber = 7,
    kSiresSireName = 8, kSiresSireForeign = 9, kSiresSireDomestic = 10, kDamsSireName = 12, kDamsSireForeign = 13,
    kDamsSireDomestic = 14, kDamsDam = 15,
};

QStringList foldedNumbers(std::initializer_list<QString> numbers) {
    QStringList folded;
    for (const QString& n : numbers) {
        const QString f = fold(n);
        if (!f.isEmpty() && !folded.contains(f)) folded << f;
    }
    return folded;
}

QString firstOf(std::initializer_list<QString> numbers) {
    for (const QString& n : numbers)
        if (!n.trimmed().isEmpty()) return n.trimmed();
    return {};
}

ParentRef refOf(std::initializer_list<QString> numbers, const QString& name, const QString& hf = {}) {
    ParentRef ref;
    ref.numbers = foldedNumbers(numbers);
    ref.number = firstOf(numbers);
    ref.name = name.trimmed();
    ref.hf = hf.trimmed();
    return ref;
}

QString placeholders(int n) {
    QStringList marks;
    for (int i = 0; i < n; ++i) marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

bool failed(QString* error, const QSqlQuery& query) {
    if (error) *error = query.lastError().text();
    return false;
}

// Statements stay short enough for either engine's count of placeholders.
constexpr int kBatch = 512;

// The batch size a statement is made for: a power of two, the rest of the batch NULL.
int paddedSize(qsizetype n) {
    int size = 1;
    while (size < n) size *= 2;
    return size;
}

QVariantList padded(const QStringList& folded) {
    QVariantList values;
    for (const QString& f : folded) values << f;
    while (values.size() < paddedSize(folded.size())) values << QVariant(QMetaType(QMetaType::QString));
    return values;
}

}  // namespace

QString fold(const QString& number) {
    QString folded;
    folded.reserve(number.size());
    for (const QChar c : normalizeDigits(number)) {
        if (numberBlanks().contains(c) || record_text::invisibleCharacters().contains(c)) continue;
        folded += c.unicode() >= u'a' && c.unicode() <= u'z' ? QChar(char16_t(c.unicode() - 32)) : c;
    }
    return folded;
}

QString withoutInvisibles(const SqlDialect& d, const QString& expression) {
    const QString& invisible = record_text::invisibleCharacters();
    if (d.isServer()) return QStringLiteral("translate(%1, '%2', '')").arg(expression, invisible);
    QString dropped = expression;
    for (const QChar c : invisible) dropped = QStringLiteral("replace(%1, '%2', '')").arg(dropped, c);
    return dropped;
}

AnimalReader::AnimalReader(const StoreLink& connection) : connection_(connection) {}

QStringList AnimalReader::recordColumns() {
    return {QString::fromUtf8(kRecordNumber), QStringLiteral("نام گوساله"), QStringLiteral("HFگوساله"),
            QStringLiteral("جنس گوساله"),     QStringLiteral("تاريخ تولد"), QStringLiteral("ثبت خارجي"),
            QStringLiteral("ثبت داخلي"),      QStringLiteral("نام"),        QStringLiteral("HFپدر"),
            QStringLiteral("ثبت مادر تني"),   QStringLiteral("نام گل مادر تني"), QStringLiteral("HFمادر تني")};
}

Animal AnimalReader::recordFrom(qint64 id, const QStringList& v) {
    Animal a;
    a.source = Source::Record;
    a.id = id;
    a.number = v.value(0).trimmed();
    a.name = v.value(1).trimmed();
    a.hf = v.value(2).trimmed();
    a.sex = v.value(3).trimmed();
    a.birth = v.value(4).trimmed();
    a.sire = refOf({v.value(5), v.value(6)}, v.value(7), v.value(8));
    a.dam = refOf({v.value(9)}, v.value(10), v.value(11));
    return a;
}

Animal AnimalReader::bullFrom(qint64 id, const QStringList& v) {
    Animal a;
    a.source = Source::Catalogue;
    a.id = id;
    a.number = firstOf({v.value(kForeign), v.value(kDomestic)});
    a.name = v.value(kName).trimmed();
    a.sire = refOf({v.value(kSireForeign), v.value(kSireDomestic)}, v.value(kSireName));
    a.dam = refOf({v.value(kDamNumber)}, QString());
    ParentRef siresSire = refOf({v.value(kSiresSireForeign), v.value(kSiresSireDomestic)}, v.value(kSiresSireName));
    if (siresSire.known()) a.sire.sire = std::make_shared<const ParentRef>(std::move(siresSire));
    ParentRef damsSire = refOf({v.value(kDamsSireForeign), v.value(kDamsSireDomestic)}, v.value(kDamsSireName));
    if (damsSire.known()) a.dam.sire = std::make_shared<const ParentRef>(std::move(damsSire));
    ParentRef damsDam = refOf({v.value(kDamsDam)}, QString());
    if (damsDam.known()) a.dam.dam = std::make_shared<const ParentRef>(std::move(damsDam));
    return a;
}

QStringList AnimalReader::bullNumbers(const QStringList& values) {
    return foldedNumbers({values.value(kForeign), values.value(kDomestic)});
}

bool AnimalReader::readRecords(const QString& where, const QVariantList& values, QHash<QString, Animal>* byNumber,
                               Animal* one, QString* error) const {
    const SqlDialect& d = connection_.dialect();
    QStringList names{d.quote(schema::kId)};
    for (const QString& c : recordColumns()) names << d.quote(c);
    QSqlQuery* statement = prepared(QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4")
                                        .arg(names.join(QStringLiteral(", ")), d.quote(schema::kRecordTable), where,
                                             d.quote(schema::kId)));
    QSqlQuery& query = *statement;
    for (int i = 0; i < values.size(); ++i) query.bindValue(i, values[i]);
    if (!query.exec()) return failed(error, query);
    const int columns = int(recordColumns().size());
    while (query.next()) {
        QStringList v;
        for (int i = 1; i <= columns; ++i) v << query.value(i).toString();
        Animal animal = recordFrom(query.value(0).toLongLong(), v);
        if (one) {
            *one = std::move(animal);
            query.finish();
            return true;
        }
        const QString key = fold(animal.number);
        if (!byNumber->contains(key)) byNumber->insert(key, std::move(animal));
    }
    const bool readWhole = !query.lastError().isValid();
    query.finish();
    if (!readWhole) return failed(error, query);
    return !one;
}

bool AnimalReader::readBulls(const QStringList& folded, QHash<QString, Animal>& found, QString* error) const {
    const SqlDialect& d = connection_.dialect();
    QStringList names{connection_.catalogueOrder()};
    for (const char* c : schema::kCatalogueColumns) names << d.quote(c);
    const QVariantList values = padded(folded);
    const QString marks = placeholders(int(values.size()));
    QSqlQuery& query = *prepared(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4) OR %5 IN (%4) ORDER BY %6")
                                     .arg(names.join(QStringLiteral(", ")), d.quote(schema::kCatalogueTable),
                                          foldedColumn(d, "RegNo_SPF"), marks, foldedColumn(d, "RegNo_Sp"),
                                          connection_.catalogueOrder()));
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < values.size(); ++i) query.bindValue(pass * int(values.size()) + i, values[i]);
    if (!query.exec()) return failed(error, query);
    while (query.next()) {
        QStringList v;
        for (int i = 1; i <= int(schema::kCatalogueColumns.size()); ++i) v << query.value(i).toString();
        const Animal bull = bullFrom(query.value(0).toLongLong(), v);
        for (const QString& key : bullNumbers(v))
            if (!found.contains(key)) found.insert(key, bull);
    }
    const bool readWhole = !query.lastError().isValid();
    query.finish();
    return readWhole || failed(error, query);
}

QSqlQuery* AnimalReader::prepared(const QString& sql) const {
    std::shared_ptr<QSqlQuery>& query = prepared_[sql];
    if (!query) {
        query = std::make_shared<QSqlQuery>(connection_.database());
        query->setForwardOnly(true);
        query->prepare(sql);
    }
    return query.get();
}

bool AnimalReader::findRecords(const QStringList& folded, QHash<QString, Animal>& found, QString* error) const {
    const SqlDialect& d = connection_.dialect();
    for (qsizetype from = 0; from < folded.size(); from += kBatch) {
        const QVariantList values = padded(folded.mid(from, kBatch));
        const QString where =
            QStringLiteral("%1 IN (%2)").arg(foldedColumn(d, kRecordNumber), placeholders(int(values.size())));
        if (!readRecords(where, values, &found, nullptr, error)) return false;
    }
    return true;
}

bool AnimalReader::find(const QStringList& sires, const QStringList& dams, Found& found, QString* error) const {
    for (qsizetype from = 0; from < sires.size(); from += kBatch) {
        const QStringList batch = sires.mid(from, kBatch);
        if (bulls_) {
            for (const QString& f : batch)
                if (const auto bull = bulls_->constFind(f); bull != bulls_->cend() && !found.catalogue.contains(f))
                    found.catalogue.insert(f, *bull);
        } else if (!readBulls(batch, found.catalogue, error)) {
            return false;
        }
    }
    // A sire no bull carries may be a bull calf of the store.
    QStringList records = dams;
    for (const QString& f : sires)
        if (!found.catalogue.contains(f)) records << f;
    return findRecords(records, found.records, error);
}

bool AnimalReader::record(qint64 id, Animal& animal, QString* error) const {
    return readRecords(QStringLiteral("%1 = ?").arg(connection_.dialect().quote(schema::kId)), {id}, nullptr, &animal,
                       error);
}

}  // namespace zartav::pedigree
