#include "data/certificates/office_texts.h"

#include "data/engine/sql_dialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace zartav::certificates {

namespace {

bool fail(QString* error, const QString& why) {
    if (error) *error = why;
    return false;
}

// A name or text bound as it is, an empty one as empty text, never NULL.
void bindText(QSqlQuery& query, const QString& text) { query.addBindValue(text.isNull() ? QStringLiteral("") : text); }

}  // namespace

const QList<OfficeText>& officeTexts() {
    static const QList<OfficeText> texts = {
        {kMinistryLine, "redaz oviv azodeze", true},
        {kDeputyLine, "معاونت امور دام"},
        {kCentreLine, "zida dovez ovev adi vazo", true},
        {kUnionLine, "صدور شناسنامه توسط rarudev erad evud ozorudiz eveza rivav", true},
        {kRegistryLine, "ثبت مشخصات و دفتر انساب zida dovez ovev adi vazo", true},
        // Every code names its issuer: an office without a name issues nothing.
        {kOfficeName, "", true},
        {kOfficeAddress, ""},
        {kOfficeContact, ""},
        {kSignatoryName, ""},
        {kSignatoryRole, ""},
    };
    return texts;
}

QStringList standInTexts(const QHash<QString, QString>& texts) {
    QStringList unset;
    for (const OfficeText& t : officeTexts()) {
        const QString name = QString::fromLatin1(t.name);
        const QString value = texts.value(name).trimmed();
        if (t.standIn && (value.isEmpty() || value == QString::fromUtf8(t.defaultText))) unset << name;
    }
    return unset;
}

QString standInTextsReason() {
    return QStringLiteral("سربرگ و پاي شناسنامه هنوز متن هاي جانشين نمونه را دارند و متن هاي اين دفتر در "
                          "«مشخصات صادر كننده» نوشته نشده است؛ تا آن ها نوشته نشوند شناسنامه رسمي چاپ نمي شود.");
}

std::optional<QHash<QString, QString>> readOfficeTexts(QSqlDatabase& db, QString* error) {
    QHash<QString, QString> texts;
    for (const OfficeText& t : officeTexts()) texts.insert(QString::fromLatin1(t.name), QString::fromUtf8(t.defaultText));
    const SqlDialect& d = SqlDialect::of(db);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT %1, %2 FROM %3").arg(d.quote("name"), d.quote("value"), d.quote(kOfficeTable)))) {
        const QString why = query.lastError().text();
        // An older store opened for reading has no such table yet: it prints the defaults.
        if (!db.tables().contains(QString::fromLatin1(kOfficeTable))) return texts;
        if (error) *error = why;
        return std::nullopt;
    }
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (texts.contains(name) && !query.value(1).toString().isEmpty()) texts[name] = query.value(1).toString();
    }
    return texts;
}

bool writeOfficeTexts(QSqlDatabase& db, const QHash<QString, QString>& texts, QString* error) {
    const SqlDialect& d = SqlDialect::of(db);
    if (!db.transaction()) return fail(error, db.lastError().text());
    const QString remove = QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(d.quote(kOfficeTable), d.quote("name"));
    const QString set = QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?) ON CONFLICT (%2) DO UPDATE SET %3 = excluded.%3")
                            .arg(d.quote(kOfficeTable), d.quote("name"), d.quote("value"));
    QSqlQuery query(db);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        bool ok = query.prepare(it.value().isEmpty() ? remove : set);
        if (ok) {
            bindText(query, it.key());
            if (!it.value().isEmpty()) bindText(query, it.value());
            ok = query.exec();
        }
        if (!ok) {
            const QString why = query.lastError().text();
            query.finish();
            db.rollback();
            return fail(error, why);
        }
    }
    query.finish();
    if (db.commit()) return true;
    const QString why = db.lastError().text();
    db.rollback();
    return fail(error, why);
}

}  // namespace zartav::certificates
