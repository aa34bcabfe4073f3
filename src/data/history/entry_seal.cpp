#include "data/history/entry_seal.h"

#include "data/engine/sql_dialect.h"
#include "data/schema/history_schema.h"

#include <QCryptographicHash>
#include <QStringList>
#include <QVariant>

namespace zartav::history {
namespace {

QString q(const QSqlDatabase& db, const char* name) { return SqlDialect::of(db).quote(name); }

void addField(QByteArray& text, const QString& field, bool absent) {
    if (absent) {
        text += '-';
        return;
    }
    const QByteArray bytes = field.toUtf8();
    text += QByteArray::number(bytes.size()) + ':' + bytes;
}

QString photoHash(const QVariant& photo) {
    if (photo.isNull()) return {};
    return QString::fromLatin1(QCryptographicHash::hash(photo.toByteArray(), QCryptographicHash::Sha256).toHex());
}

}  // namespace

QString sealedColumns(const QSqlDatabase& db) {
    QStringList columns;
    for (int i = 0; i < kFirstPhoto; ++i) columns << q(db, kColumns[i]);
    for (int slot = 0; slot < 3; ++slot)
        columns << (SqlDialect::of(db).isServer() ? QStringLiteral("encode(sha256(%1), 'hex')") : QStringLiteral("%1"))
                       .arg(q(db, kColumns[kFirstPhoto + slot]));
    columns << q(db, kColumns[kHashColumn]);
    return columns.join(QStringLiteral(", "));
}

Sealed sealedOf(const QSqlQuery& row, const QSqlDatabase& db, const QString& previous) {
    Sealed s;
    s.previous = previous;
    s.entry = row.value(0).toLongLong();
    s.recordId = row.value(1).toLongLong();
    s.action = row.value(2).toString();
    s.at = row.value(3).toString();
    s.desk = row.value(4).toString();
    s.role = row.value(5).toString();
    s.reason = row.value(6).toString();
    s.changes = row.value(7).toString();
    for (int slot = 0; slot < 3; ++slot) {
        const QVariant v = row.value(kFirstPhoto + slot);
        s.photoHashes[slot] = SqlDialect::of(db).isServer() ? (v.isNull() ? QString() : v.toString()) : photoHash(v);
    }
    return s;
}

QByteArray entryHash(const Sealed& f) {
    QByteArray text;
    addField(text, f.previous, f.previous.isEmpty());
    addField(text, QString::number(f.entry), false);
    addField(text, QString::number(f.recordId), false);
    addField(text, f.action, false);
    addField(text, f.at, false);
    addField(text, f.desk, f.desk.isEmpty());
    addField(text, f.role, f.role.isEmpty());
    addField(text, f.reason, f.reason.isEmpty());
    addField(text, f.changes, false);
    for (const QString& photo : f.photoHashes) addField(text, photo, photo.isEmpty());
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
}
}  // namespace zartav::history
