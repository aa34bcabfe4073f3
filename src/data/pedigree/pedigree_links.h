#pragma once

// How an animal is found by its registration number: a calf of the store by "شماره ثبت", a bull
// of the catalogue by RegNo_SPF or RegNo_Sp. Numbers are compared folded (digits as 0-9, no
// blanks, Latin letters in capitals), each through an index on the folded column, so a lookup
// costs the same among a million records as among ten. Nothing is copied into the records.

#include "data/engine/sql_dialect.h"
#include "data/schema/folded_indexes.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace zartav {
class StoreLink;
}

namespace zartav::pedigree {

// `number` as compared: Persian and Arabic-Indic digits as 0-9, blanks and invisible characters
// (record_text::invisibleCharacters) dropped, a-z as A-Z. In SQL: foldedColumn()
// (data/schema/folded_indexes.h).
QString fold(const QString& number);
// `expression` without invisible characters, in SQL: for a number compared with the folded
// indexes, which keep them. Kept apart from the folding: the file's parser takes only so many
// nested calls in one expression.
QString withoutInvisibles(const SqlDialect& d, const QString& expression);

enum class Source { Record, Catalogue, Number };

// How a child names one of its parents: the numbers it may be known by (folded; the first that
// is found wins), and what the child itself says of it. A bull of the catalogue also names its
// grandparents, which serve when the parent itself is found nowhere.
struct ParentRef {
    QStringList numbers;
    QString number;  // as written
    QString name;
    QString hf;
    std::shared_ptr<const ParentRef> sire, dam;
    bool known() const { return !numbers.isEmpty(); }
};

// One animal as the store or the catalogue holds it.
struct Animal {
    Source source = Source::Number;
    qint64 id = 0;  // the record's "ID", or the bull's place in the catalogue
    QString number, name, hf;
    QString sex, birth;  // records only
    ParentRef sire, dam;
};

// The records and bulls carrying given folded numbers, a batch to a statement.
class AnimalReader {
public:
    explicit AnimalReader(const StoreLink& connection);

    struct Found {
        QHash<QString, Animal> records;    // by folded number: the one with the lowest "ID"
        QHash<QString, Animal> catalogue;  // by either folded number: the first bull
    };
    // From now on bulls are looked up in `bulls` (by folded number) instead of the store's
    // catalogue: the catalogue already held in memory, whose row numbers are the bulls' places.
    void useCatalogue(QHash<QString, Animal> bulls) { bulls_ = std::move(bulls); }

    // The animals known by the folded numbers of sires (bulls first, then records) and of dams
    // (records only: the catalogue holds bulls). False (with the engine's words) when the
    // store could not be read.
    bool find(const QStringList& sires, const QStringList& dams, Found& found, QString* error = nullptr) const;
    // The record of "ID" `id`; false when there is none or it cannot be read.
    bool record(qint64 id, Animal& animal, QString* error = nullptr) const;

    // The record columns read for an animal, in the order recordFrom() takes them.
    static QStringList recordColumns();
    // An animal from the values of recordColumns().
    static Animal recordFrom(qint64 id, const QStringList& values);
    // A bull from the values of every catalogue column, in the catalogue's order, and the
    // folded numbers it is known by.
    static Animal bullFrom(qint64 id, const QStringList& values);
    static QStringList bullNumbers(const QStringList& values);

private:
    bool readRecords(const QString& where, const QVariantList& values, QHash<QString, Animal>* byNumber,
                     Animal* one, QString* error) const;
    bool readBulls(const QStringList& folded, QHash<QString, Animal>& found, QString* error) const;
    bool findRecords(const QStringList& folded, QHash<QString, Animal>& found, QString* error) const;
    // A statement prepared once for this reader: the batches of numbers are padded to a few
    // sizes, so a pedigree of twenty generations prepares two or three.
    QSqlQuery* prepared(const QString& sql) const;

    const StoreLink& connection_;
    std::optional<QHash<QString, Animal>> bulls_;
    mutable QHash<QString, std::shared_ptr<QSqlQuery>> prepared_;
};

}  // namespace zartav::pedigree
