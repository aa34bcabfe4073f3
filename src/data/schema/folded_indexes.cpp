#include "data/schema/folded_indexes.h"

#include "data/schema/record_schema.h"

namespace zartav::find {

const Folding& folding() {
    static const Folding f = [] {
        Folding all;
        for (int d = 0; d < 10; ++d) {
            all.from += QChar(char16_t(0x06F0 + d));
            all.to += QChar(char16_t(u'0' + d));
        }
        for (int d = 0; d < 10; ++d) {
            all.from += QChar(char16_t(0x0660 + d));
            all.to += QChar(char16_t(u'0' + d));
        }
        // The Persian yeh and kaf as their Arabic twins.
        all.from += QChar(u'\u06CC');
        all.to += QChar(u'\u064A');
        all.from += QChar(u'\u06A9');
        all.to += QChar(u'\u0643');
        return all;
    }();
    return f;
}

QString foldedColumn(const SqlDialect& d, const char* column) {
    const Folding& f = folding();
    // Byte order on both engines, so a prefix is a range whatever the server's collation.
    if (d.isServer()) return QStringLiteral("(translate(%1, '%2', '%3') COLLATE \"C\")").arg(d.quote(column), f.from, f.to);
    QString expression = d.quote(column);
    for (int i = 0; i < f.from.size(); ++i)
        expression = QStringLiteral("replace(%1, '%2', '%3')").arg(expression, f.from.at(i), f.to.at(i));
    return expression;
}

QString indexName(int column) { return QStringLiteral("ix_VaskorTemp_find_%1").arg(column + 1); }

QString indexStatement(const SqlDialect& d, int column) {
    // The server's entries carry the "ID", so the records found are counted and ordered from
    // the index alone (the file's carry it as the rowid); and the column itself, or the server
    // would read the row to see that the folded value is what the entry holds.
    const QString carried =
        d.isServer() ? QStringLiteral(" INCLUDE (%1, %2)").arg(d.quote("ID"), d.quote(kColumns[column])) : QString();
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)%4")
        .arg(d.quote(indexName(column)), d.quote("VaskorTemp"), foldedColumn(d, kColumns[column]), carried);
}

}  // namespace zartav::find

namespace zartav::pedigree {
namespace {

struct DigitFolding {
    QString from, to;
};

const DigitFolding& digitFolding() {
    static const DigitFolding f = [] {
        DigitFolding all;
        for (const char16_t zero : {u'\u06F0', u'\u0660'})
            for (int d = 0; d < 10; ++d) {
                all.from += QChar(char16_t(zero + d));
                all.to += QChar(char16_t(u'0' + d));
            }
        return all;
    }();
    return f;
}

}  // namespace

const QString& numberBlanks() {
    static const QString blanks = QStringLiteral(" \u00A0");
    return blanks;
}

QString foldedColumn(const SqlDialect& d, const char* column) {
    const DigitFolding& f = digitFolding();
    const QString& blanks = numberBlanks();
    // translate() drops the characters of its first list that the second has no partner for.
    if (d.isServer())
        return QStringLiteral("upper(translate(%1, '%2%3', '%4') COLLATE \"C\")").arg(d.quote(column), f.from, blanks, f.to);
    // The file has no translate(): twenty-odd replace() calls, which cost a hundred times a
    // plain comparison. A number of printable ASCII alone (nearly all: the program stores digits
    // as 0-9) takes the short way.
    const QString name = d.quote(column);
    QString expression = name;
    for (int i = 0; i < f.from.size(); ++i)
        expression = QStringLiteral("replace(%1, '%2', '%3')").arg(expression, f.from.at(i), f.to.at(i));
    for (const QChar blank : blanks) expression = QStringLiteral("replace(%1, '%2', '')").arg(expression, blank);
    return QStringLiteral("(CASE WHEN %1 GLOB '*[^ -~]*' THEN upper(%2) ELSE upper(replace(%1, ' ', '')) END)")
        .arg(name, expression);
}

QList<StoreObject> indexObjects(const SqlDialect& d) {
    struct Made {
        const char* name;
        const char* table;
        const char* column;
    };
    const Made made[] = {
        {"ix_VaskorTemp_number", schema::kRecordTable, "شماره ثبت"},
        {"ix_VaskorTemp_tag_1", schema::kRecordTable, "گوش ف"},
        {"ix_VaskorTemp_tag_2", schema::kRecordTable, "گوش پ"},
        {"ix_DosSperm_number_1", schema::kCatalogueTable, "RegNo_SPF"},
        {"ix_DosSperm_number_2", schema::kCatalogueTable, "RegNo_Sp"},
    };
    QList<StoreObject> all;
    for (const Made& m : made) {
        const QString name = QString::fromLatin1(m.name);
        all.append({StoreObjectKind::Index, name, QString::fromUtf8(m.table),
                    QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                        .arg(d.quote(name), d.quote(m.table), foldedColumn(d, m.column))});
    }
    return all;
}

}  // namespace zartav::pedigree
